#include "package_library.h"

#include "command_exit.h"
#include "command_files.h"

// windows.h first: the Windows SDK's msi.h needs its types.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <cstdlib>

namespace {

// A custom action of base type 1 (a DLL) whose source is a Binary row.
const int actionTypeMask = 0x37;
const int dllInBinaryTable = 1;
const DWORD streamChunk = 1 << 16;

[[noreturn]] void Fail(const std::string& package, const std::string& reason)
{
    EndCommand(exitError, package + ": " + reason);
}

std::string FieldText(MSIHANDLE record, UINT field)
{
    DWORD length = 0;
    if (MsiRecordGetStringA(record, field, nullptr, &length) != ERROR_SUCCESS) {
        return "";
    }
    std::string text(length + 1, '\0');
    DWORD size = length + 1;
    if (MsiRecordGetStringA(record, field, &text[0], &size) != ERROR_SUCCESS) {
        return "";
    }
    text.resize(size);
    return text;
}

// Runs a query whose table may be missing from the package: then it fails,
// as the installer's SQL does for an unknown table.
UINT OpenTableView(MSIHANDLE database, const char* query, PMSIHANDLE& view)
{
    UINT result = MsiDatabaseOpenViewA(database, query, &view);
    return result == ERROR_SUCCESS ? MsiViewExecute(view, 0) : result;
}

std::string CheckItemsSource(const std::string& package, MSIHANDLE database)
{
    PMSIHANDLE view;
    UINT result = OpenTableView(database, "SELECT `Source`, `Target`, `Type` FROM `CustomAction`", view);
    if (result != ERROR_SUCCESS) {
        Fail(package, "the package has no CustomAction table the installer can read (error " +
                          std::to_string(result) + "), so it calls no library");
    }
    PMSIHANDLE record;
    while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        int type = std::atoi(FieldText(record, 3).c_str());
        if (FieldText(record, 2) == "CheckItems" && (type & actionTypeMask) == dllInBinaryTable) {
            return FieldText(record, 1);
        }
    }
    Fail(package, "the package calls no CheckItems from its Binary table");
}

std::string ReadStream(const std::string& package, MSIHANDLE record, UINT field)
{
    DWORD size = 0;
    UINT result = MsiRecordReadStream(record, field, nullptr, &size);
    std::string bytes;
    bytes.reserve(size);
    std::string chunk(streamChunk, '\0');
    while (result == ERROR_SUCCESS) {
        DWORD got = streamChunk;
        result = MsiRecordReadStream(record, field, &chunk[0], &got);
        if (result == ERROR_SUCCESS) {
            if (got == 0) {
                return bytes;
            }
            bytes.append(chunk, 0, got);
        }
    }
    Fail(package, "cannot read the library's data from the Binary table (error " + std::to_string(result) + ")");
}

}  // namespace

PackageLibrary ReadPackageLibrary(const std::string& packagePath)
{
    // The installer reads what it is given: a FIFO would block it, a folder mislead it.
    CheckInputFile(packagePath, "package");
    PMSIHANDLE database;
    UINT opened = MsiOpenDatabaseA(packagePath.c_str(), MSIDBOPEN_READONLY, &database);
    if (opened != ERROR_SUCCESS) {
        Fail(packagePath, "not an installer package: the installer cannot open it as a database (error " +
                              std::to_string(opened) + ")");
    }
    PackageLibrary library;
    library.key = CheckItemsSource(packagePath, database);
    PMSIHANDLE view;
    UINT result = OpenTableView(database, "SELECT `Name`, `Data` FROM `Binary`", view);
    if (result != ERROR_SUCCESS) {
        Fail(packagePath, "CheckItems is called from Binary row '" + library.key +
                              "', but the package has no Binary table the installer can read");
    }
    PMSIHANDLE record;
    while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        if (FieldText(record, 1) == library.key) {
            library.bytes = ReadStream(packagePath, record, 2);
            return library;
        }
    }
    Fail(packagePath, "CheckItems is called from Binary row '" + library.key + "', which the package lacks");
}
