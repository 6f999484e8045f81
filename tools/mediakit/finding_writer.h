// Where verify tells what it finds: text lines for people, one JSON object a
// line for scripts (--json), or nothing but errors (--quiet). The JSON names
// are part of the tool's interface: README's "mediakit for scripts" lists them.
#pragma once
#include "verify/walk_observer.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <ostream>
#include <string>

enum class ReportStyle { text, json, quiet };

class CFindingWriter {
public:
    CFindingWriter(ReportStyle style, std::ostream& out, std::ostream& errors);

    // One finding: line is its text form, record its JSON form (see Record).
    // --quiet tells only errors, on the error stream.
    void Tell(const std::string& line, const nlohmann::ordered_json& record);
    // The same for findings told by the many (a manifest's rows): the line
    // and the record of kind are made only when one is written.
    void Tell(const char* kind, const std::function<std::string()>& makeLine,
              const std::function<nlohmann::ordered_json()>& makeRecord);
    // One check's summary: its text line, and its counts for the closing record.
    void Summarize(const char* check, const std::string& line, const nlohmann::ordered_json& counts);
    // The closing record {"summary": {"exit_code": N, <check>: counts...}}; JSON only.
    void Close(int exitCode);
    bool ShowsProgress() const { return style != ReportStyle::quiet; }

    // A finding's record: kind is missing, extra, changed, note or error;
    // check is listing or manifest; path is below the root, "\Help\a.htm".
    static nlohmann::ordered_json Record(const char* kind, const char* check, const std::string& path);

private:
    ReportStyle style;
    std::ostream& out;
    std::ostream& errors;
    nlohmann::ordered_json checks = nlohmann::ordered_json::object();
};

// Tells a trouble of the walk as an error; the two reasons are the ones only
// the check's own input can give.
void TellTrouble(CFindingWriter& writer, const char* check, CWalkObserver::Trouble kind,
                 const char* relativePath, const char* name, const char* inputRefused,
                 const char* inputUnreadable);
