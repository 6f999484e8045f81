// Lists in installer property values: items separated by "," or ";".
#pragma once
#include <windows.h>

// The next item of the text at *cursor, or nullptr when none is left. An item
// is a maximal run without separators; leading, trailing and repeated
// separators give no empty items. The text is split in place: the separator
// after an item is overwritten by a terminator, and *cursor moves past it.
char* NextPropertyItem(char** cursor);

// A decimal number by the rules of strtol with base 10 (leading white space,
// an optional sign, digits up to the first other character, 0 without
// digits), limited to the 32-bit signed range on every platform.
LONG PropertyItemToLong(const char* item);

// The range of "RectPyrc": the first item is the start, the second the
// length, further items are ignored. False when there are fewer than two.
// Splits params in place.
bool SplitRange(char* params, LONG* start, LONG* length);

// Whether an item of "Files", appended to the folder, names a file inside
// that folder: false for a drive or any other ":" (which would also name a
// file's alternate stream), a leading "\" or "/", and a component that
// climbs out (".." and the spellings Windows trims to it, like "..." or ".. ").
bool ItemStaysInFolder(const char* item);
