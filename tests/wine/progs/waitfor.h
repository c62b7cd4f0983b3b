/* Shared by our driver programs: polling a condition with a time limit. */
#ifndef MOXU_WAITFOR_H
#define MOXU_WAITFOR_H

#include <windows.h>

/* Polls cond every dwPollMs until it holds (true) or dwMs have passed (false). */
template <typename Cond> static bool WaitFor(DWORD dwMs, Cond cond, DWORD dwPollMs)
{
    DWORD dwStart = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - dwStart >= dwMs)
            return false;
        Sleep(dwPollMs);
    }
}

#endif
