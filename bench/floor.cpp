/* The footprint floor: a hidden window, a tray icon and a message loop, nothing else.
   Built with the program's own flags, it shows what any resident tray program of this
   kind costs before it does any work: the runtime's start-up, the imports, the loop. */
#include <windows.h>
#include <shellapi.h>
#include <stddef.h>

#define FLOOR_NAME      "MOXUFLOOR"
#define FLOOR_ICON_UID  1
#define WM_FLOORNOTIFY  (WM_USER + 0x100)

static HWND s_hWnd;

static LRESULT CALLBACK FloorWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

static BOOL FloorIcon(DWORD dwMessage)
{
    NOTIFYICONDATAA nid;
    ZeroMemory(&nid, sizeof(nid));
    /* The first shells' 88-byte record, as the program uses. */
    nid.cbSize = (DWORD)(offsetof(NOTIFYICONDATAA, szTip) + 64);
    nid.hWnd = s_hWnd;
    nid.uID = FLOOR_ICON_UID;
    nid.uFlags = NIF_MESSAGE | NIF_ICON;
    nid.uCallbackMessage = WM_FLOORNOTIFY;
    nid.hIcon = LoadIconA(NULL, (LPCSTR)IDI_APPLICATION);
    return Shell_NotifyIconA(dwMessage, &nid);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = FloorWndProc;
    wc.hInstance = hInstance;
    wc.lpszClassName = FLOOR_NAME;
    if (!RegisterClassA(&wc))
        return 1;
    s_hWnd = CreateWindowExA(0, FLOOR_NAME, FLOOR_NAME, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, NULL, NULL, hInstance, NULL);
    if (!s_hWnd)
        return 1;
    FloorIcon(NIM_ADD);

    MSG msg;
    msg.wParam = 0;
    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    FloorIcon(NIM_DELETE);
    return (int)msg.wParam;
}
