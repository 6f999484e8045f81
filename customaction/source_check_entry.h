// The shared face of the two source checks: read "SourceDir" and map the
// body's 1/0 answer to an installer result.
#pragma once
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

// A check body: 1 when the source passes, 0 when it fails.
typedef int (*SourceCheckBody)(const char* sourcePath, int recursive);

UINT RunSourceCheck(MSIHANDLE session, SourceCheckBody body);
