/* Entry point, the hidden main window and the thread's message loop. */
#include "moxu.h"

HINSTANCE g_hInst = NULL;
HWND g_hMainWnd = NULL;

BOOL CreateMainWindow(void)
{
    WNDCLASSA wc;
    wc.style = 0;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = g_hInst;
    wc.hIcon = NULL;
    wc.hCursor = NULL;
    wc.hbrBackground = NULL;
    wc.lpszMenuName = NULL;
    wc.lpszClassName = MOXU_WINDOW_NAME;
    if (!RegisterClassA(&wc))
        return 0;

    /* Never shown: the window only receives the tray callback, commands and
       broadcasts, owns the dialogs and the timer, and marks the instance. */
    g_hMainWnd = CreateWindowExA(0, MOXU_WINDOW_NAME, MOXU_WINDOW_NAME, WS_OVERLAPPEDWINDOW,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                 NULL, NULL, g_hInst, NULL);
    return g_hMainWnd != NULL;
}

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_DESTROY:
        StopPollTimer();
        PostQuitMessage((int)wParam);
        ThkDisableSwap();
        return 0;
    case WM_QUIT:
        return 0;
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_POWERBROADCAST:
        OnPowerBroadcast(wParam, lParam);
        break;
    case WM_DEVICECHANGE:
        OnDeviceChange(wParam, lParam);
        break;
    case WM_TRAYNOTIFY:
        OnTrayMessage(wParam, lParam);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    (void)nCmdShow;

    /* One instance: any top-level window with our title, whatever its class. */
    if (FindWindowA(NULL, MOXU_WINDOW_NAME))
        return 0;

    g_hInst = hInstance;
    if (!CreateMainWindow())
        return 0;

    TrayIconNotify(NIM_ADD, IDI_TRAY, NULL);
    FindBayDevnode();

    WORD wDevice = LOWORD(ThkGetSwapBayDevice());
    ThkGetSwapCapability();
    ApplyFixedDeviceRule(wDevice);
    ThkGetSwapBayStatus();
    if (LOWORD(ThkGetCurSystemMode()) == 1)
        g_uPollTimer = SetTimer(g_hMainWnd, POLL_TIMER_ID, POLL_PERIOD_MS, PollTimerProc);

    /* GetMessageA answers -1 on failure; looping on it would spin for ever,
       so the loop ends then too, with exit code 0. */
    MSG msg;
    BOOL bRet;
    while ((bRet = GetMessageA(&msg, NULL, 0, 0)) != 0) {
        if (bRet == -1) {
            msg.wParam = 0;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    TrayIconNotify(NIM_DELETE, 0, NULL);
    return (int)msg.wParam;
}
