#include "base/module_instance.h"

HINSTANCE moduleInstance = nullptr;
