#pragma once
#include <msi.h>

// The run modes this system asks about, numbered as the installer numbers them.
typedef enum tagMSIRUNMODE {
    MSIRUNMODE_SCHEDULED = 16,
    MSIRUNMODE_ROLLBACK = 17,
    MSIRUNMODE_COMMIT = 18,
} MSIRUNMODE;

BOOL WINAPI MsiGetMode(MSIHANDLE install, MSIRUNMODE runMode);
