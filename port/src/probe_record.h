// The port's drive and file services note each probe here (see host_probes.h).
#pragma once
#include <windows.h>

void PortNoteProbe(const char* function, LPCSTR path);
