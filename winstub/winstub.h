/* Our host stand-in for the Win32 surface MOXU uses: types, constants and calls, written from what the program expects. */
#ifndef MOXU_WINSTUB_H
#define MOXU_WINSTUB_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

/* ---- Calling conventions vanish on the host ---- */
#define WINAPI
#define CALLBACK
#define VOID void

/* ---- Scalar types, with the widths Win32 gives them ---- */
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef char CHAR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;
typedef uintptr_t ULONG_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef WORD ATOM;
typedef BYTE *LPBYTE;
typedef DWORD *LPDWORD;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef void *HANDLE;

#define DECLARE_STUB_HANDLE(name) struct name##__; typedef struct name##__ *name
DECLARE_STUB_HANDLE(HWND);
DECLARE_STUB_HANDLE(HINSTANCE);
DECLARE_STUB_HANDLE(HMENU);
DECLARE_STUB_HANDLE(HICON);
DECLARE_STUB_HANDLE(HKEY);
DECLARE_STUB_HANDLE(HCURSOR);
DECLARE_STUB_HANDLE(HBRUSH);
typedef HKEY *PHKEY;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define LOWORD(l)           ((WORD)(((ULONG_PTR)(l)) & 0xFFFF))
#define HIWORD(l)           ((WORD)((((ULONG_PTR)(l)) >> 16) & 0xFFFF))
#define MAKELONG(lo, hi)    ((LONG)(((WORD)(lo)) | (((DWORD)(WORD)(hi)) << 16)))
#define MAKEWPARAM(lo, hi)  ((WPARAM)(DWORD)MAKELONG(lo, hi))
#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(p)   ((((ULONG_PTR)(p)) >> 16) == 0)

/* ---- Messages ---- */
#define WM_NULL             0x0000
#define WM_CREATE           0x0001
#define WM_DESTROY          0x0002
#define WM_CLOSE            0x0010
#define WM_QUIT             0x0012
#define WM_SETFONT          0x0030
#define WM_NCCREATE         0x0081
#define WM_NCDESTROY        0x0082
#define WM_KEYDOWN          0x0100
#define WM_INITDIALOG       0x0110
#define WM_COMMAND          0x0111
#define WM_SYSCOMMAND       0x0112
#define WM_TIMER            0x0113
#define WM_MOUSEMOVE        0x0200
#define WM_LBUTTONDOWN      0x0201
#define WM_LBUTTONUP        0x0202
#define WM_LBUTTONDBLCLK    0x0203
#define WM_RBUTTONDOWN      0x0204
#define WM_RBUTTONUP        0x0205
#define WM_POWERBROADCAST   0x0218
#define WM_DEVICECHANGE     0x0219
#define WM_USER             0x0400

#define SC_CLOSE            0xF060
#define VK_RETURN           0x0D
#define VK_ESCAPE           0x1B

#define IDOK                1
#define IDCANCEL            2

/* ---- Power and device broadcasts ---- */
#define PBT_APMQUERYSUSPEND     0x0000
#define PBT_APMSUSPEND          0x0004
#define PBT_APMSTANDBY          0x0005
#define PBT_APMRESUMECRITICAL   0x0006
#define PBT_APMRESUMESUSPEND    0x0007
#define PBT_APMRESUMESTANDBY    0x0008
#define PBT_APMRESUMEAUTOMATIC  0x0012

#define DBT_DEVICEARRIVAL       0x8000
#define DBT_DEVICEREMOVECOMPLETE 0x8004
#define DBT_DEVTYP_DEVNODE      0x00000001

typedef struct {
    DWORD dbch_size;
    DWORD dbch_devicetype;
    DWORD dbch_reserved;
} DEV_BROADCAST_HDR;

typedef struct {
    DWORD dbcd_size;
    DWORD dbcd_devicetype;
    DWORD dbcd_reserved;
    DWORD dbcd_devnode;
} DEV_BROADCAST_DEVNODE;

/* ---- Windows, classes, the loop ---- */
#define WS_OVERLAPPEDWINDOW 0x00CF0000
#define WS_VISIBLE          0x10000000
#define CW_USEDEFAULT       ((int)0x80000000)
#define MB_ICONEXCLAMATION  0x00000030

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef INT_PTR (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef VOID (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

typedef struct {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
} WNDCLASSA;

typedef struct {
    LONG x;
    LONG y;
} POINT;

typedef struct {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

typedef struct {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
} MSG;

/* ---- Shell notification area: the first, 64-byte-tip form of the record ---- */
#define NIM_ADD             0x00000000
#define NIM_MODIFY          0x00000001
#define NIM_DELETE          0x00000002
#define NIF_MESSAGE         0x00000001
#define NIF_ICON            0x00000002
#define NIF_TIP             0x00000004

typedef struct {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    CHAR szTip[64];
} NOTIFYICONDATAA;

/* ---- Menus ---- */
#define MF_STRING           0x00000000
#define MF_POPUP            0x00000010
#define MF_BYPOSITION       0x00000400
#define MF_SEPARATOR        0x00000800
#define TPM_LEFTBUTTON      0x0000
#define TPM_LEFTALIGN       0x0000

/* ---- Registry ---- */
#define HKEY_DYN_DATA       ((HKEY)(ULONG_PTR)0x80000006)
#define ERROR_SUCCESS       0L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_MORE_DATA     234L
#define ERROR_NO_MORE_ITEMS 259L

/* ---- The calls ---- */
int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine, int nCmdShow);

HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);
ATOM RegisterClassA(const WNDCLASSA *lpWndClass);
HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int x, int y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, void *lpParam);
BOOL DestroyWindow(HWND hWnd);
LRESULT DefWindowProcA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int nExitCode);
BOOL PostMessageA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
BOOL GetMessageA(MSG *lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL TranslateMessage(const MSG *lpMsg);
LRESULT DispatchMessageA(const MSG *lpMsg);
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

HWND GetDesktopWindow(void);
BOOL GetWindowRect(HWND hWnd, RECT *lpRect);
BOOL MoveWindow(HWND hWnd, int x, int y, int nWidth, int nHeight, BOOL bRepaint);
BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString);
BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString);
HWND GetDlgItem(HWND hDlg, int nIDDlgItem);
HWND SetFocus(HWND hWnd);
BOOL MessageBeep(UINT uType);
INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam);
BOOL EndDialog(HWND hDlg, INT_PTR nResult);

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax);
HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName);
BOOL DestroyIcon(HICON hIcon);
HMENU LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName);
HMENU GetSubMenu(HMENU hMenu, int nPos);
BOOL ModifyMenuA(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem);
BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd, const RECT *prcRect);
BOOL DestroyMenu(HMENU hMenu);
BOOL GetCursorPos(POINT *lpPoint);
BOOL SetForegroundWindow(HWND hWnd);

BOOL Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA *lpData);

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
LONG RegCloseKey(HKEY hKey);

BOOL SetSystemPowerState(BOOL fSuspend, BOOL fForce);
void Sleep(DWORD dwMilliseconds);

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...);

#endif
