// The Win32 subset this system calls, for POSIX hosts. On Windows the
// platform's own header is found instead of this one.
#pragma once
#include <port/win_types.h>
#include <port/win_ansi.h>
#include <port/win_drives.h>
#include <port/win_error_mode.h>
#include <port/win_errors.h>
#include <port/win_files.h>
#include <port/win_find.h>
#include <port/win_nls.h>
#include <port/win_memory.h>
#include <port/win_modules.h>
#include <port/win_paths.h>
#include <port/win_profile.h>
#include <port/win_splitpath.h>
#include <port/win_user.h>
