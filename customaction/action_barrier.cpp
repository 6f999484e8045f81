#include "action_barrier.h"

UINT RunBehindBarrier(SessionAction action, MSIHANDLE session, UINT onException) noexcept
{
    try {
        return action(session);
    } catch (...) {
        // A growable array or a path that could not get memory: the work is
        // incomplete, so only the failure result is left to give.
        return onException;
    }
}
