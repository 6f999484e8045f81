// The one way into an action's work: nothing thrown inside may leave an
// export, since the installer's custom-action server would end at once
// (std::terminate, no unwinding) instead of reading a result.
#pragma once
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

typedef UINT (*SessionAction)(MSIHANDLE session);

// action's own result, or onException when anything was thrown out of it.
// What the action held is given back by unwinding before the result is made.
UINT RunBehindBarrier(SessionAction action, MSIHANDLE session, UINT onException) noexcept;
