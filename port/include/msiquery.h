#pragma once
#include <msi.h>
