#include "test_session.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <propidl.h>
#include <stdexcept>

namespace {

void Check(UINT result, const char* what)
{
    if (result != ERROR_SUCCESS) {
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(result));
    }
}

void Execute(MSIHANDLE database, const char* query)
{
    MSIHANDLE view = 0;
    Check(MsiDatabaseOpenViewA(database, query, &view), query);
    UINT result = MsiViewExecute(view, 0);
    MsiCloseHandle(view);
    Check(result, query);
}

void WriteSummary(MSIHANDLE database)
{
    MSIHANDLE summary = 0;
    Check(MsiGetSummaryInformationA(database, nullptr, 5, &summary), "summary information");
    MsiSummaryInfoSetPropertyA(summary, PIDSI_TEMPLATE, VT_LPSTR, 0, nullptr, "x64;1033");
    MsiSummaryInfoSetPropertyA(summary, PIDSI_REVNUMBER, VT_LPSTR, 0, nullptr,
                               "{5B1A52B8-7A67-4E1C-9A57-3D2F0C6E8B11}");
    MsiSummaryInfoSetPropertyA(summary, PIDSI_PAGECOUNT, VT_I4, 200, nullptr, nullptr);
    MsiSummaryInfoSetPropertyA(summary, PIDSI_WORDCOUNT, VT_I4, 0, nullptr, nullptr);
    UINT result = MsiSummaryInfoPersist(summary);
    MsiCloseHandle(summary);
    Check(result, "summary persist");
}

}  // namespace

CTestSession::CTestSession()
{
    char tempFolder[MAX_PATH] = {};
    char tempName[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, tempFolder);
    GetTempFileNameA(tempFolder, "kit", 0, tempName);
    reservedName = tempName;
    databasePath = reservedName + ".msi";

    MSIHANDLE database = 0;
    Check(MsiOpenDatabaseA(databasePath.c_str(), MSIDBOPEN_CREATE, &database), "create database");
    WriteSummary(database);
    Execute(database,
            "CREATE TABLE `Property` (`Property` CHAR(72) NOT NULL, `Value` CHAR(0) NOT NULL "
            "LOCALIZABLE PRIMARY KEY `Property`)");
    Execute(database,
            "CREATE TABLE `Directory` (`Directory` CHAR(72) NOT NULL, `Directory_Parent` CHAR(72), "
            "`DefaultDir` CHAR(255) NOT NULL LOCALIZABLE PRIMARY KEY `Directory`)");
    Execute(database,
            "INSERT INTO `Property` (`Property`, `Value`) VALUES "
            "('ProductCode', '{3F6E2C1A-8B4D-4C57-9E21-6A0D5B7C9E42}')");
    Execute(database,
            "INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES "
            "('TARGETDIR', '', 'SourceDir')");
    Execute(database,
            "INSERT INTO `Directory` (`Directory`, `Directory_Parent`, `DefaultDir`) VALUES "
            "('_DBASE_', 'TARGETDIR', 'DBASE')");
    Check(MsiDatabaseCommit(database), "commit");

    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    std::string packageName = "#" + std::to_string(database);
    UINT opened = MsiOpenPackageA(packageName.c_str(), &session);
    MsiCloseHandle(database);
    Check(opened, "open package");
    Check(MsiDoActionA(session, "CostInitialize"), "CostInitialize");
    Check(MsiDoActionA(session, "CostFinalize"), "CostFinalize");
}

CTestSession::~CTestSession()
{
    MsiCloseHandle(session);
    DeleteFileA(databasePath.c_str());
    DeleteFileA(reservedName.c_str());
}

void CTestSession::SetTargetPath(const std::string& folderKey, const std::string& path)
{
    ASSERT_EQ(ERROR_SUCCESS, MsiSetTargetPathA(session, folderKey.c_str(), path.c_str()))
        << "folder " << folderKey << " to " << path;
}

bool CTestSession::MakeDeferred(const std::string&)
{
    return false;
}

#else
#include <port/host.h>

CTestSession::CTestSession() : session(PortCreateSession()) {}

CTestSession::~CTestSession()
{
    MsiCloseHandle(session);
}

void CTestSession::SetTargetPath(const std::string& folderKey, const std::string& path)
{
    ASSERT_EQ(ERROR_SUCCESS, MsiSetTargetPathA(session, folderKey.c_str(), path.c_str()));
}

bool CTestSession::MakeDeferred(const std::string& customActionData)
{
    SetProperty("CustomActionData", customActionData);
    PortSetSessionDeferred(session, true);
    return true;
}
#endif

void CTestSession::SetProperty(const std::string& name, const std::string& value)
{
    ASSERT_EQ(ERROR_SUCCESS, MsiSetPropertyA(session, name.c_str(), value.c_str()))
        << "property " << name;
}
