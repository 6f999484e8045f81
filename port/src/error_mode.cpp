// The error mode and the probes made under it. Natively no error box exists,
// so the mode changes nothing; it is kept so that a caller's save and restore
// behave as on Windows and tests can see the mode each probe ran under.
#include <windows.h>
#include <port/host.h>
#include "probe_record.h"

namespace {

UINT errorMode = 0;

struct ProbeRecord {
    bool recording = false;
    std::vector<PortProbeCall> calls;
};

ProbeRecord& Probes()
{
    static ProbeRecord record;
    return record;
}

}  // namespace

UINT WINAPI SetErrorMode(UINT mode)
{
    UINT previous = errorMode;
    errorMode = mode;
    return previous;
}

UINT WINAPI GetErrorMode()
{
    return errorMode;
}

void PortNoteProbe(const char* function, LPCSTR path)
{
    ProbeRecord& record = Probes();
    if (record.recording) {
        record.calls.push_back({function, path != nullptr ? path : "", errorMode});
    }
}

void PortRecordProbes(bool record)
{
    ProbeRecord& probes = Probes();
    if (record) {
        probes.calls.clear();
    }
    probes.recording = record;
}

const std::vector<PortProbeCall>& PortProbeCalls()
{
    return Probes().calls;
}
