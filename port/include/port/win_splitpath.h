// The C runtime's path splitting (stdlib.h of the Windows C runtime).
#pragma once

#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

// Splits path into drive ("X:"), directory (up to and including the last '\'
// or '/'), base name and extension (from the last period of what remains).
// A null destination is skipped; the others must hold their part.
void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
