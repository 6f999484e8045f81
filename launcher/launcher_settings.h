// What one run reads from its settings file, in reading order. Each text is
// empty until its key has been read.
#pragma once
#include <string>

struct LauncherSettings {
    unsigned debug = 0;           // "Info" / "Debug": nonzero shows the command line first
    std::string product;          // "Info" / "Product", up to 254 characters
    std::string id;               // "Info" / "Id", up to 39 characters
    std::string transformName;    // "Command" / "Transform", up to 259 characters
    std::string commandTemplate;  // "Command" / "Setup", up to 1023 characters
};

// Capacities (terminator included) with which the values are read; the
// profile service cuts longer values to one less.
const unsigned productCapacity = 255;
const unsigned idCapacity = 40;
const unsigned transformCapacity = 260;
const unsigned commandTemplateCapacity = 1024;
