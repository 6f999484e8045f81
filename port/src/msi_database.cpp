// The installer's database functions over msitools' libmsi: a package is
// opened read-only, queried with the installer's SQL, and its records read
// with the installer's buffer rules.
#include <msi.h>
#include <msiquery.h>

#include "installer_object.h"

#include <libmsi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

// GObject references held by the port's objects, dropped when they close.
template <typename T>
struct GObjectRef {
    T* object = nullptr;

    explicit GObjectRef(T* taken) : object(taken) {}
    GObjectRef(const GObjectRef&) = delete;
    GObjectRef& operator=(const GObjectRef&) = delete;
    ~GObjectRef()
    {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};

struct Database : PortInstallerObject {
    GObjectRef<LibmsiDatabase> database;
    explicit Database(LibmsiDatabase* opened) : database(opened) {}
};

struct View : PortInstallerObject {
    GObjectRef<LibmsiQuery> query;
    bool executed = false;
    explicit View(LibmsiQuery* made) : query(made) {}
};

// A stream field as MsiRecordReadStream reads it: its bytes, and how far the
// reads have come.
struct StreamField {
    std::vector<char> bytes;
    size_t position = 0;
};

struct Record : PortInstallerObject {
    GObjectRef<LibmsiRecord> record;
    std::map<UINT, StreamField> streams;
    explicit Record(LibmsiRecord* fetched) : record(fetched) {}
};

// The installer's code for what libmsi reports; libmsi numbers its results
// as the installer names them.
UINT InstallerResult(GError* error)
{
    if (error == nullptr || error->domain != LIBMSI_RESULT_ERROR) {
        return ERROR_FUNCTION_FAILED;
    }
    switch (error->code) {
    case LIBMSI_RESULT_ACCESS_DENIED:
        return ERROR_ACCESS_DENIED;
    case LIBMSI_RESULT_INVALID_HANDLE:
        return ERROR_INVALID_HANDLE;
    case LIBMSI_RESULT_NOT_ENOUGH_MEMORY:
    case LIBMSI_RESULT_OUTOFMEMORY:
        return ERROR_NOT_ENOUGH_MEMORY;
    case LIBMSI_RESULT_INVALID_DATA:
        return ERROR_INVALID_DATA;
    case LIBMSI_RESULT_INVALID_PARAMETER:
        return ERROR_INVALID_PARAMETER;
    case LIBMSI_RESULT_OPEN_FAILED:
        return ERROR_OPEN_FAILED;
    case LIBMSI_RESULT_BAD_QUERY_SYNTAX:
        return ERROR_BAD_QUERY_SYNTAX;
    case LIBMSI_RESULT_INVALID_FIELD:
        return ERROR_INVALID_FIELD;
    case LIBMSI_RESULT_INVALID_TABLE:
        return ERROR_INVALID_TABLE;
    case LIBMSI_RESULT_DATATYPE_MISMATCH:
        return ERROR_DATATYPE_MISMATCH;
    case LIBMSI_RESULT_INVALID_DATATYPE:
        return ERROR_INVALID_DATATYPE;
    default:
        return ERROR_FUNCTION_FAILED;
    }
}

// What a failed libmsi call answers, its error freed.
UINT Failed(GError* error, UINT otherwise)
{
    UINT result = error != nullptr ? InstallerResult(error) : otherwise;
    g_clear_error(&error);
    return result;
}

// The whole stream of a record's field, read once on the first read of it.
UINT LoadStream(Record& record, UINT field, StreamField*& loaded)
{
    auto found = record.streams.find(field);
    if (found != record.streams.end()) {
        loaded = &found->second;
        return ERROR_SUCCESS;
    }
    LibmsiRecord* fields = record.record.object;
    if (field > libmsi_record_get_field_count(fields)) {
        return ERROR_INVALID_PARAMETER;
    }
    if (libmsi_record_is_null(fields, field)) {
        return ERROR_INVALID_DATA;
    }
    GInputStream* input = libmsi_record_get_stream(fields, field);
    if (input == nullptr) {
        return ERROR_INVALID_DATATYPE;  // a string or an integer
    }
    GObjectRef<GInputStream> stream(input);
    StreamField read;
    char chunk[65536];
    for (;;) {
        GError* error = nullptr;
        gssize got = g_input_stream_read(input, chunk, sizeof chunk, nullptr, &error);
        if (got < 0) {
            g_clear_error(&error);
            return ERROR_FUNCTION_FAILED;
        }
        if (got == 0) {
            break;
        }
        read.bytes.insert(read.bytes.end(), chunk, chunk + got);
    }
    loaded = &record.streams.emplace(field, std::move(read)).first->second;
    return ERROR_SUCCESS;
}

// libmsi warns on standard error about what it cannot read; the installer
// says it only in its result, and so does the port.
void KeepLibraryQuiet()
{
    static bool quiet = false;
    if (!quiet) {
        g_log_set_handler(nullptr, static_cast<GLogLevelFlags>(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE),
                          [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {}, nullptr);
        quiet = true;
    }
}

}  // namespace

UINT WINAPI MsiOpenDatabaseA(LPCSTR databasePath, LPCSTR persist, MSIHANDLE* database)
{
    if (databasePath == nullptr || database == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // Only reading is asked of the port.
    if (persist != MSIDBOPEN_READONLY) {
        return ERROR_INVALID_PARAMETER;
    }
    KeepLibraryQuiet();
    GError* error = nullptr;
    LibmsiDatabase* opened = libmsi_database_new(databasePath, LIBMSI_DB_FLAGS_READONLY, nullptr, &error);
    if (opened == nullptr) {
        // Not there, not a compound file, or not a database: the installer says one thing.
        g_clear_error(&error);
        return ERROR_OPEN_FAILED;
    }
    g_clear_error(&error);
    *database = PortAddInstallerObject(std::make_unique<Database>(opened));
    return ERROR_SUCCESS;
}

UINT WINAPI MsiDatabaseOpenViewA(MSIHANDLE database, LPCSTR query, MSIHANDLE* view)
{
    Database* opened = PortInstallerObjectAs<Database>(database);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (query == nullptr || view == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    GError* error = nullptr;
    LibmsiQuery* made = libmsi_query_new(opened->database.object, query, &error);
    if (made == nullptr) {
        return Failed(error, ERROR_BAD_QUERY_SYNTAX);
    }
    g_clear_error(&error);
    *view = PortAddInstallerObject(std::make_unique<View>(made));
    return ERROR_SUCCESS;
}

UINT WINAPI MsiViewExecute(MSIHANDLE view, MSIHANDLE record)
{
    View* opened = PortInstallerObjectAs<View>(view);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    // Parameters of a query ('?') are not asked of the port.
    if (record != 0) {
        return ERROR_INVALID_PARAMETER;
    }
    GError* error = nullptr;
    if (!libmsi_query_execute(opened->query.object, nullptr, &error)) {
        return Failed(error, ERROR_FUNCTION_FAILED);
    }
    g_clear_error(&error);
    opened->executed = true;
    return ERROR_SUCCESS;
}

UINT WINAPI MsiViewFetch(MSIHANDLE view, MSIHANDLE* record)
{
    View* opened = PortInstallerObjectAs<View>(view);
    if (opened == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (record == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    if (!opened->executed) {
        return ERROR_FUNCTION_FAILED;
    }
    GError* error = nullptr;
    LibmsiRecord* fetched = libmsi_query_fetch(opened->query.object, &error);
    if (fetched == nullptr) {
        // libmsi tells the end of the rows by no record and no error.
        return error == nullptr ? ERROR_NO_MORE_ITEMS : Failed(error, ERROR_FUNCTION_FAILED);
    }
    g_clear_error(&error);
    *record = PortAddInstallerObject(std::make_unique<Record>(fetched));
    return ERROR_SUCCESS;
}

// The text comes as libmsi decodes the package: UTF-8, the active code page
// of the port's host programs.
UINT WINAPI MsiRecordGetStringA(MSIHANDLE record, UINT field, LPSTR valueBuf, LPDWORD valueBufSize)
{
    Record* fetched = PortInstallerObjectAs<Record>(record);
    if (fetched == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (valueBufSize == nullptr && valueBuf != nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    gchar* text = libmsi_record_get_string(fetched->record.object, field);
    if (text == nullptr) {
        return ERROR_INVALID_DATATYPE;  // a stream has no text
    }
    UINT result = PortCopyInstallerText(text, static_cast<DWORD>(strlen(text)), valueBuf, valueBufSize);
    g_free(text);
    return result;
}

UINT WINAPI MsiRecordReadStream(MSIHANDLE record, UINT field, char* dataBuf, LPDWORD dataBufSize)
{
    Record* fetched = PortInstallerObjectAs<Record>(record);
    if (fetched == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (dataBufSize == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    StreamField* stream = nullptr;
    UINT loaded = LoadStream(*fetched, field, stream);
    if (loaded != ERROR_SUCCESS) {
        if (loaded == ERROR_INVALID_DATA) {
            *dataBufSize = 0;
        }
        return loaded;
    }
    size_t left = stream->bytes.size() - stream->position;
    // Without a buffer the size is what is left to read, and nothing is read.
    if (dataBuf == nullptr) {
        *dataBufSize = static_cast<DWORD>(left);
        return ERROR_SUCCESS;
    }
    size_t count = left < *dataBufSize ? left : *dataBufSize;
    std::copy(stream->bytes.begin() + static_cast<std::ptrdiff_t>(stream->position),
              stream->bytes.begin() + static_cast<std::ptrdiff_t>(stream->position + count), dataBuf);
    stream->position += count;
    *dataBufSize = static_cast<DWORD>(count);
    return ERROR_SUCCESS;
}
