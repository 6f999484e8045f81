/* Makes and applies Windows Installer transforms with the installer's own
 * database functions, for tests of discs that ship one; run under 64-bit Wine.
 *   msi_transform generate BASE.msi CHANGED.msi OUT.mst
 *   msi_transform apply BASE.msi MST OUT.msi
 * Exit status: 0 done, 1 the installer refused, 2 bad usage.
 *
 * Wine 8.0's installer applies transforms but cannot make one (its
 * MsiDatabaseGenerateTransform answers ERROR_CALL_NOT_IMPLEMENTED). Then the
 * differences of the Property table, the one table tests change, are written
 * as a transform storage by hand; any other difference is refused. */
#define COBJMACROS
#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* No MSITRANSFORM_ERROR_* bit: applying it fails on any row it cannot apply. */
static const int suppressNoErrors = 0;
/* No MSITRANSFORM_VALIDATE_* bit: it applies to any package with the rows it changes. */
static const int validateNothing = 0;
static const CLSID transformClass = {0x000C1082, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

static int Failed(const char* what, const char* path, UINT result)
{
    fprintf(stderr, "msi_transform: %s %s failed with %u\n", what, path, result);
    return 1;
}

typedef struct {
    char* name;
    char* value;
} CRow;

typedef struct {
    CRow* rows;
    int count;
} CRows;

static void* Grown(void* block, size_t size)
{
    void* grown = realloc(block, size);
    if (grown == NULL) {
        fprintf(stderr, "msi_transform: out of memory\n");
        exit(1);
    }
    return grown;
}

static char* RecordString(MSIHANDLE record, UINT field)
{
    DWORD size = 0;
    char probe[1];
    MsiRecordGetStringA(record, field, probe, &size);
    char* text = Grown(NULL, size + 1);
    size += 1;
    if (MsiRecordGetStringA(record, field, text, &size) != ERROR_SUCCESS) {
        free(text);
        return NULL;
    }
    return text;
}

/* The rows a query gives: its first field as the name, its second (where FIELDS is 2) as the value. */
static UINT ReadRows(MSIHANDLE db, const char* query, UINT fields, CRows* out)
{
    MSIHANDLE view = 0;
    MSIHANDLE record = 0;
    UINT result = MsiDatabaseOpenViewA(db, query, &view);
    out->rows = NULL;
    out->count = 0;
    if (result == ERROR_SUCCESS) {
        result = MsiViewExecute(view, 0);
    }
    while (result == ERROR_SUCCESS && (result = MsiViewFetch(view, &record)) == ERROR_SUCCESS) {
        out->rows = Grown(out->rows, (out->count + 1) * sizeof(CRow));
        out->rows[out->count].name = RecordString(record, 1);
        out->rows[out->count].value = fields == 2 ? RecordString(record, 2) : "";
        if (out->rows[out->count].name == NULL || out->rows[out->count].value == NULL) {
            result = ERROR_FUNCTION_FAILED;
        } else {
            out->count++;
        }
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    return result == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : result;
}

static UINT ReadProperties(MSIHANDLE db, CRows* out)
{
    UINT result = ReadRows(db, "SELECT `Property`, `Value` FROM `Property`", 2, out);
    /* No Property table: no rows. */
    return result == ERROR_BAD_QUERY_SYNTAX || result == ERROR_INVALID_TABLE ? ERROR_SUCCESS : result;
}

static const char* ValueOf(const CRows* rows, const char* name)
{
    for (int i = 0; i < rows->count; i++) {
        if (strcmp(rows->rows[i].name, name) == 0) {
            return rows->rows[i].value;
        }
    }
    return NULL;
}

/* A table stream's name packs two characters of its 64-letter alphabet into one. */
static void StreamName(const char* table, WCHAR* out)
{
    static const char alphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";
    *out++ = 0x4840;
    while (*table) {
        const char* first = strchr(alphabet, *table);
        const char* second = table[1] ? strchr(alphabet, table[1]) : NULL;
        if (first != NULL && second != NULL) {
            *out++ = (WCHAR)(0x3800 + (first - alphabet) + ((second - alphabet) << 6));
            table += 2;
        } else {
            *out++ = first != NULL ? (WCHAR)(0x4800 + (first - alphabet)) : (WCHAR)(unsigned char)*table;
            table += 1;
        }
    }
    *out = 0;
}

typedef struct {
    unsigned char* bytes;
    size_t size;
} CBuffer;

static void Put16(CBuffer* buffer, unsigned value)
{
    buffer->bytes = Grown(buffer->bytes, buffer->size + 2);
    buffer->bytes[buffer->size++] = (unsigned char)(value & 0xFF);
    buffer->bytes[buffer->size++] = (unsigned char)(value >> 8);
}

static void PutBytes(CBuffer* buffer, const char* text, size_t length)
{
    buffer->bytes = Grown(buffer->bytes, buffer->size + length + 1);
    memcpy(buffer->bytes + buffer->size, text, length);
    buffer->size += length;
}

/* The transform's own string pool: ids from 1, each with its count of uses. */
typedef struct {
    const char* strings[0x8000];
    unsigned refs[0x8000];
    unsigned count;
} CStringPool;

static unsigned StringId(CStringPool* pool, const char* text)
{
    for (unsigned i = 0; i < pool->count; i++) {
        if (strcmp(pool->strings[i], text) == 0) {
            pool->refs[i]++;
            return i + 1;
        }
    }
    if (pool->count == sizeof pool->strings / sizeof pool->strings[0]) {
        fprintf(stderr, "msi_transform: over %u strings are not written\n", pool->count);
        exit(1);
    }
    pool->strings[pool->count] = text;
    pool->refs[pool->count] = 1;
    return ++pool->count;
}

static int WriteStream(IStorage* storage, const char* table, const CBuffer* data)
{
    WCHAR name[64];
    IStream* stream = NULL;
    ULONG written = 0;
    StreamName(table, name);
    if (FAILED(IStorage_CreateStream(storage, name, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &stream))) {
        return 0;
    }
    HRESULT hr = data->size ? IStream_Write(stream, data->bytes, (ULONG)data->size, &written) : S_OK;
    IStream_Release(stream);
    return SUCCEEDED(hr) && written == data->size;
}

/* Rows of the Property table: a full row (mask 0x201: two columns follow) for
 * one added or changed, the key alone (mask 0) for one removed. */
static int WritePropertyTransform(const char* path, const CRows* base, const CRows* changed)
{
    static CStringPool pool;
    CBuffer rows = {NULL, 0};
    CBuffer poolStream = {NULL, 0};
    CBuffer data = {NULL, 0};
    memset(&pool, 0, sizeof pool);
    for (int i = 0; i < changed->count; i++) {
        const char* before = ValueOf(base, changed->rows[i].name);
        if (before == NULL || strcmp(before, changed->rows[i].value) != 0) {
            Put16(&rows, 0x0201);
            Put16(&rows, StringId(&pool, changed->rows[i].name));
            Put16(&rows, StringId(&pool, changed->rows[i].value));
        }
    }
    for (int i = 0; i < base->count; i++) {
        if (ValueOf(changed, base->rows[i].name) == NULL) {
            Put16(&rows, 0);
            Put16(&rows, StringId(&pool, base->rows[i].name));
        }
    }
    if (rows.size == 0) {
        fprintf(stderr, "msi_transform: the Property tables do not differ: no transform to make\n");
        return 1;
    }
    // The pool's first entry is the code page the A functions gave the strings in.
    UINT codePage = GetACP();
    Put16(&poolStream, codePage & 0xFFFF);
    Put16(&poolStream, codePage >> 16);
    for (unsigned i = 0; i < pool.count; i++) {
        size_t length = strlen(pool.strings[i]);
        if (length > 0xFFFF) {
            fprintf(stderr, "msi_transform: a value of over 65535 bytes is not written\n");
            return 1;
        }
        Put16(&poolStream, (unsigned)length);
        Put16(&poolStream, pool.refs[i]);
        PutBytes(&data, pool.strings[i], length);
    }
    WCHAR wide[MAX_PATH];
    IStorage* storage = NULL;
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH);
    if (FAILED(StgCreateDocfile(wide, STGM_CREATE | STGM_WRITE | STGM_SHARE_EXCLUSIVE | STGM_DIRECT, 0, &storage))) {
        return Failed("creating", path, GetLastError());
    }
    int done = SUCCEEDED(IStorage_SetClass(storage, &transformClass)) && WriteStream(storage, "_StringPool", &poolStream) &&
               WriteStream(storage, "_StringData", &data) && WriteStream(storage, "Property", &rows);
    IStorage_Release(storage);
    free(rows.bytes);
    free(poolStream.bytes);
    free(data.bytes);
    return done ? 0 : Failed("writing", path, GetLastError());
}

static int ReadFileBytes(const char* path, CBuffer* out)
{
    FILE* f = fopen(path, "rb");
    char chunk[4096];
    size_t got;
    out->bytes = NULL;
    out->size = 0;
    if (f == NULL) {
        return 0;
    }
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0) {
        PutBytes(out, chunk, got);
    }
    fclose(f);
    return 1;
}

/* Whether TABLE exports to the same text from both databases (a missing one
 * exports to nothing). */
static int SameTable(MSIHANDLE baseDb, MSIHANDLE changedDb, const char* table, const char* folder)
{
    char basePath[MAX_PATH];
    char changedPath[MAX_PATH];
    CBuffer a;
    CBuffer b;
    snprintf(basePath, sizeof basePath, "%s\\base.idt", folder);
    snprintf(changedPath, sizeof changedPath, "%s\\changed.idt", folder);
    DeleteFileA(basePath);
    DeleteFileA(changedPath);
    MsiDatabaseExportA(baseDb, table, folder, "base.idt");
    MsiDatabaseExportA(changedDb, table, folder, "changed.idt");
    ReadFileBytes(basePath, &a);
    ReadFileBytes(changedPath, &b);
    int same = a.size == b.size && (a.size == 0 || memcmp(a.bytes, b.bytes, a.size) == 0);
    free(a.bytes);
    free(b.bytes);
    DeleteFileA(basePath);
    DeleteFileA(changedPath);
    return same;
}

static UINT TableNames(MSIHANDLE db, CRows* out)
{
    return ReadRows(db, "SELECT `Name` FROM `_Tables`", 1, out);
}

/* What is written by hand is the Property table: any other table must not differ. */
static int OnlyPropertiesDiffer(MSIHANDLE baseDb, MSIHANDLE changedDb)
{
    CRows tables[2];
    char folder[MAX_PATH];
    int same = 1;
    if (TableNames(baseDb, &tables[0]) != ERROR_SUCCESS || TableNames(changedDb, &tables[1]) != ERROR_SUCCESS) {
        fprintf(stderr, "msi_transform: the tables of the databases cannot be listed\n");
        return 0;
    }
    GetTempPathA(sizeof folder, folder);
    snprintf(folder + strlen(folder), sizeof folder - strlen(folder), "msi_transform.%lu", GetCurrentProcessId());
    CreateDirectoryA(folder, NULL);
    for (int side = 0; side < 2 && same; side++) {
        for (int i = 0; i < tables[side].count && same; i++) {
            const char* table = tables[side].rows[i].name;
            if (strcmp(table, "Property") != 0 && !SameTable(baseDb, changedDb, table, folder)) {
                fprintf(stderr, "msi_transform: the %s tables differ; only a change of Property is written here\n",
                        table);
                same = 0;
            }
        }
    }
    RemoveDirectoryA(folder);
    return same;
}

static int GenerateByHand(MSIHANDLE baseDb, MSIHANDLE changedDb, const char* base, const char* changed,
                          const char* transform)
{
    CRows before;
    CRows after;
    UINT result = ReadProperties(baseDb, &before);
    if (result != ERROR_SUCCESS) {
        return Failed("reading the Property table of", base, result);
    }
    if ((result = ReadProperties(changedDb, &after)) != ERROR_SUCCESS) {
        return Failed("reading the Property table of", changed, result);
    }
    if (!OnlyPropertiesDiffer(baseDb, changedDb)) {
        return 1;
    }
    return WritePropertyTransform(transform, &before, &after);
}

static int Generate(const char* base, const char* changed, const char* transform)
{
    MSIHANDLE baseDb = 0;
    MSIHANDLE changedDb = 0;
    int status = 0;
    UINT result = MsiOpenDatabaseA(base, MSIDBOPEN_READONLY, &baseDb);
    if (result != ERROR_SUCCESS) {
        return Failed("opening", base, result);
    }
    result = MsiOpenDatabaseA(changed, MSIDBOPEN_READONLY, &changedDb);
    if (result != ERROR_SUCCESS) {
        status = Failed("opening", changed, result);
    } else {
        result = MsiDatabaseGenerateTransformA(changedDb, baseDb, transform, 0, 0);
        int byHand = result == ERROR_CALL_NOT_IMPLEMENTED;
        if (byHand) {
            status = GenerateByHand(baseDb, changedDb, base, changed, transform);
        } else if (result == ERROR_NO_DATA) {
            fprintf(stderr, "msi_transform: %s and %s do not differ: no transform to make\n", base, changed);
            status = 1;
        } else if (result != ERROR_SUCCESS) {
            status = Failed("generating the transform", transform, result);
        }
        if (status == 0) {
            result = MsiCreateTransformSummaryInfoA(changedDb, baseDb, transform, suppressNoErrors, validateNothing);
            if (result != ERROR_SUCCESS && byHand) {
                // Wine's installer writes none either; without it a transform validates nothing.
                fprintf(stderr, "msi_transform: no summary information written (the installer answered %u)\n",
                        result);
            } else if (result != ERROR_SUCCESS) {
                status = Failed("writing the summary information of", transform, result);
            }
        }
        MsiCloseHandle(changedDb);
    }
    MsiCloseHandle(baseDb);
    if (status != 0) {
        DeleteFileA(transform);
    }
    return status;
}

static int Apply(const char* base, const char* transform, const char* target)
{
    MSIHANDLE db = 0;
    int status = 0;
    if (!CopyFileA(base, target, FALSE)) {
        return Failed("copying to", target, GetLastError());
    }
    SetFileAttributesA(target, FILE_ATTRIBUTE_NORMAL);  // a copy from a disc is read-only
    UINT result = MsiOpenDatabaseA(target, MSIDBOPEN_TRANSACT, &db);
    if (result != ERROR_SUCCESS) {
        status = Failed("opening", target, result);
    } else {
        result = MsiDatabaseApplyTransformA(db, transform, suppressNoErrors);
        if (result != ERROR_SUCCESS) {
            status = Failed("applying", transform, result);
        } else if ((result = MsiDatabaseCommit(db)) != ERROR_SUCCESS) {
            status = Failed("committing", target, result);
        }
        MsiCloseHandle(db);
    }
    if (status != 0) {
        DeleteFileA(target);
    }
    return status;
}

int main(int argc, char** argv)
{
    if (argc == 5 && strcmp(argv[1], "generate") == 0) {
        return Generate(argv[2], argv[3], argv[4]);
    }
    if (argc == 5 && strcmp(argv[1], "apply") == 0) {
        return Apply(argv[2], argv[3], argv[4]);
    }
    fprintf(stderr, "usage: msi_transform generate BASE.msi CHANGED.msi OUT.mst\n"
                    "       msi_transform apply BASE.msi MST OUT.msi\n");
    return 2;
}
