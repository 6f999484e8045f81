#pragma once
#include <msi.h>

// The run modes this system asks about, numbered as the installer numbers them.
typedef enum tagMSIRUNMODE {
    MSIRUNMODE_SCHEDULED = 16,
    MSIRUNMODE_ROLLBACK = 17,
    MSIRUNMODE_COMMIT = 18,
} MSIRUNMODE;

BOOL WINAPI MsiGetMode(MSIHANDLE install, MSIRUNMODE runMode);

// Reading a package's tables: the database, a view of a query, the records it
// fetches. Every handle is closed with MsiCloseHandle. On POSIX hosts these
// live in the port's own library over libmsi (port_msi_database).
#define MSIDBOPEN_READONLY (static_cast<LPCSTR>(nullptr))

UINT WINAPI MsiOpenDatabaseA(LPCSTR databasePath, LPCSTR persist, MSIHANDLE* database);
UINT WINAPI MsiDatabaseOpenViewA(MSIHANDLE database, LPCSTR query, MSIHANDLE* view);
UINT WINAPI MsiViewExecute(MSIHANDLE view, MSIHANDLE record);
UINT WINAPI MsiViewFetch(MSIHANDLE view, MSIHANDLE* record);
UINT WINAPI MsiRecordGetStringA(MSIHANDLE record, UINT field, LPSTR valueBuf, LPDWORD valueBufSize);
UINT WINAPI MsiRecordReadStream(MSIHANDLE record, UINT field, char* dataBuf, LPDWORD dataBufSize);
