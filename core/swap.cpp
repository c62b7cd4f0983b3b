/* Swap policy and bay state: the fixed-device rule, the poll, suspend and resume, confirm and unload. */
#include "moxu.h"

BYTE g_bCanSwap = 1;
BYTE g_bSwapSuspend = 0;
UINT_PTR g_uPollTimer = 0;

/* The bay device as the controller knows it; passed on every enable and disable. */
static const char c_szBayClass[] = "hdc";
static const char c_szBayDevKey[] = "Enum\\MF\\CHILD0001";
#define BAY_DEVICE_FLAGS    0x11

/* A refused suspend is asked for again a few times, then given up so that the
   change-bay dialog never seems hung: about a second in all. */
#define SUSPEND_TRIES       5
#define SUSPEND_RETRY_MS    250

bool ApplyFixedDeviceRule(WORD wDevice)
{
    if (wDevice < BAY_FIXED_FIRST || wDevice > BAY_FIXED_LAST)
        return false;
    /* Every sighting tells the controller again, although the flag is already clear. */
    g_bCanSwap = 0;
    ThkDisableSwap();
    return true;
}

void CheckBayDevice(void)
{
    ApplyFixedDeviceRule(LOWORD(ThkGetSwapBayDevice()));
}

void SetBayDeviceEnabled(DWORD dwEnable)
{
    ThkEnableDisableDevice(dwEnable, c_szBayClass, c_szBayDevKey, BAY_DEVICE_FLAGS);
}

VOID CALLBACK PollTimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime)
{
    (void)hWnd;
    (void)uMsg;
    (void)idEvent;
    (void)dwTime;

    if (LOWORD(ThkGetSwapBayStatus()) == 0)
        return;
    if (ApplyFixedDeviceRule(LOWORD(ThkGetSwapBayDevice())))
        return;
    /* The bay device is disabled at the suspend event, not here. A refusal is
       not repeated: the next tick asks again while the request stands. */
    g_bSwapSuspend = 1;
    SetSystemPowerState(TRUE, TRUE);
}

void OnPowerBroadcast(WPARAM wParam, LPARAM lParam)
{
    (void)lParam;

    switch (wParam) {
    case PBT_APMSUSPEND:
    case PBT_APMSTANDBY:
        if (LOWORD(ThkGetCurSystemMode()) == 0 && (LOWORD(ThkGetSwapBayStatus()) & 1))
            g_bSwapSuspend = 1;
        if (g_bCanSwap && g_bSwapSuspend == 1)
            SetBayDeviceEnabled(0);
        break;
    case PBT_APMRESUMECRITICAL:
    case PBT_APMRESUMESUSPEND:
    case PBT_APMRESUMESTANDBY:
    case PBT_APMRESUMEAUTOMATIC: {
        WORD wDevice = LOWORD(ThkGetSwapBayDevice());
        /* 0xFFFF counts as a module here. The first of two resume events
           clears the flag, so the device is enabled once. */
        if (wDevice != 0 && g_bSwapSuspend == 1)
            SetBayDeviceEnabled(1);
        g_bSwapSuspend = 0;
        ApplyFixedDeviceRule(wDevice);
        break;
    }
    }
}

void ConfirmBayChange(void)
{
    if (!g_bCanSwap)
        return;

    bool bDisabled = false;
    if (IsDevnodeStarted(g_dwBayDevnode)) {
        SetBayDeviceEnabled(0);
        bDisabled = true;
    }

    for (int nTry = 0; nTry < SUSPEND_TRIES; ++nTry) {
        if (nTry)
            Sleep(SUSPEND_RETRY_MS);
        g_bSwapSuspend = 1;
        if (SetSystemPowerState(TRUE, TRUE))
            return;
    }

    /* The system keeps refusing: the user is still awake and must get the bay back. */
    g_bSwapSuspend = 0;
    if (bDisabled)
        SetBayDeviceEnabled(1);
}

void UnloadProgram(void)
{
    ThkDisableSwap();
    StopPollTimer();
    /* WM_DESTROY runs inside DestroyWindow: it posts WM_QUIT and tells the controller again. */
    HWND hWnd = FindWindowA(NULL, MOXU_WINDOW_NAME);
    DestroyWindow(hWnd);
}

void StopPollTimer(void)
{
    if (g_uPollTimer == 0)
        return;
    g_uPollTimer = 0;
    KillTimer(g_hMainWnd, POLL_TIMER_ID);
}
