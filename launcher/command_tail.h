// The command tail: what the launcher's command line holds after the
// program's name, the package path when it is not empty.
#pragma once

// A name that begins with a double quote ends at the next double quote, which
// goes with it (without one the whole line is the name); any other name ends
// before the first character of code 32 or below. The characters of codes 1
// to 32 after the name are skipped; the rest is the tail, verbatim. The
// result points into commandLine.
const char* CommandTailOf(const char* commandLine);
