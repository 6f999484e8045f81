// Copy and append ANSI text into fixed-capacity buffers, cutting what does
// not fit. Capacities count characters including the terminator.
#pragma once
#include <windows.h>

// S_OK when the whole text fitted, HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER)
// when it was cut, E_INVALIDARG (destination untouched) for unusable arguments.
HRESULT CopyBounded(char* destination, size_t capacity, const char* source);
HRESULT AppendBounded(char* destination, size_t capacity, const char* source);
