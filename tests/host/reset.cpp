/* A fresh program and stand-in for each test or fuzz input. */
#include "reset.h"
#include "moxu.h"
#include "stub.h"

void ResetProgram()
{
    stub::Reset();
    g_hInst = NULL;
    g_hMainWnd = NULL;
    g_dwBayDevnode = 0;
    g_bCanSwap = 1;
    g_bSwapSuspend = 0;
    g_uPollTimer = 0;
    stub::NameFunction((const void *)PollTimerProc, "PollTimerProc");
    stub::NameFunction((const void *)MainWndProc, "MainWndProc");
    stub::NameFunction((const void *)ChangeBayDlgProc, "ChangeBayDlgProc");
    stub::NameFunction((const void *)UnloadDlgProc, "UnloadDlgProc");
    stub::NameFunction((const void *)AboutDlgProc, "AboutDlgProc");
}
