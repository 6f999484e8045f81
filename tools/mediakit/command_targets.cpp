#include "command_exit.h"
#include "command_files.h"
#include "command_targets.h"

void CheckOutputTargets(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& inputFolders)
{
    for (size_t n = 0; n < outputs.size(); ++n) {
        const NamedPath& output = outputs[n];
        for (size_t i = 0; i < n; ++i) {
            if (SameTarget(outputs[i].path, output.path)) {
                EndCommand(exitError, outputs[i].option + " " + outputs[i].path + " and " + output.option + " " +
                                          output.path + " are one file; give each its own");
            }
        }
        RefuseUnreplaceableOutput(output.path);
        for (const NamedPath& input : inputFolders) {
            if (LiesInside(output.path, input.path)) {
                EndCommand(exitError, output.option + " " + output.path + " lies inside " + input.path +
                                          ", which it is made from; write it elsewhere");
            }
        }
    }
}
