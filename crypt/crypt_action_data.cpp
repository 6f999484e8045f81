#include "crypt_action_data.h"

#include <cstring>

namespace {

// The field starting at *cursor, ended in place at the next "|"; nullptr
// when there is no "|" or the field would not fit capacity.
char* TakeField(char** cursor, DWORD capacity)
{
    char* field = *cursor;
    char* end = std::strchr(field, '|');
    if (end == nullptr || static_cast<DWORD>(end - field) >= capacity) {
        return nullptr;
    }
    *end = '\0';
    *cursor = end + 1;
    return field;
}

}  // namespace

bool SplitCryptActionData(char* data, CryptActionFields* fields)
{
    char* cursor = data;
    char* folder = TakeField(&cursor, cryptFolderCapacity);
    char* files = folder != nullptr ? TakeField(&cursor, cryptFilesCapacity) : nullptr;
    char* params = files != nullptr ? TakeField(&cursor, cryptParamsCapacity) : nullptr;
    // Without a folder every path would be relative to wherever the installer runs.
    if (params == nullptr || *folder == '\0' || std::strlen(cursor) >= cryptPassCapacity) {
        return false;
    }
    fields->folder = folder;
    fields->files = files;
    fields->params = params;
    fields->pass = cursor;
    return true;
}
