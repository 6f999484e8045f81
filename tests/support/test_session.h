// An installer session for tests: natively the port's in-memory session,
// under Wine a real package session made from a fresh database.
#pragma once
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>

class CTestSession {
public:
    CTestSession();
    ~CTestSession();
    CTestSession(const CTestSession&) = delete;
    CTestSession& operator=(const CTestSession&) = delete;

    MSIHANDLE Handle() const { return session; }
    void SetProperty(const std::string& name, const std::string& value);
    // Folder keys a test may set: "_DBASE_".
    void SetTargetPath(const std::string& folderKey, const std::string& path);
    // Makes the session a deferred action's, which reads customActionData
    // from "CustomActionData". False under Wine, session unchanged: a package
    // opened in-process never runs from the installation script.
    bool MakeDeferred(const std::string& customActionData);

private:
    MSIHANDLE session = 0;
    // The unique name the database is named after stays taken until the
    // session ends, so that a test process beside this one cannot draw it too.
    std::string reservedName;
    std::string databasePath;
};
