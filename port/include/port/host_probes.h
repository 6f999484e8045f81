// Host-side record of the drive and file probes (GetDriveTypeA,
// GetFileAttributesA, the profile reads), each with the error mode in effect
// when it was made: natively no box can show, and tests read here whether one
// could have.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct PortProbeCall {
    std::string function;
    std::string path;
    UINT errorMode;
};

// Probes are recorded only while asked for, as the system makes them by the
// thousand elsewhere; starting forgets the earlier record.
void PortRecordProbes(bool record);
const std::vector<PortProbeCall>& PortProbeCalls();
