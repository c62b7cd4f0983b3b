/* moxudrv: drives a running MOXU from another process under the same wineserver, for the Wine tests.
 *
 * Usage: moxudrv COMMAND [ARGS...] [COMMAND [ARGS...]]...   (numbers are decimal or 0x-hex)
 *
 *   find                        "class=MOXU visible=0" for the top-level window titled "MOXU",
 *                               or "none" (exit status 1)
 *   waitwin MS / waitgone MS    wait until that window exists / is gone (exit status 1 on timeout)
 *   post MSG WPARAM LPARAM      PostMessageA to it
 *   send MSG WPARAM LPARAM      SendMessageA to it; prints "result=0x..."
 *   devchange EVENT TYPE NODE   sends WM_DEVICECHANGE with a DEV_BROADCAST_DEVNODE record (a record
 *                               only crosses processes with a sent message)
 *   regnode NODE HWKEY STATUS   creates HKEY_DYN_DATA\Config Manager\Enum\%08X with "HardWareKey"
 *                               (REG_SZ) and "Status" (4-byte REG_BINARY; "-" leaves it out)
 *   regclear                    deletes every node under Config Manager\Enum
 *   reglist                     prints "NAME HWKEY STATUS" for every node, in enumeration order
 *   fakewin MS                  shows a window of another class titled "MOXU" for MS milliseconds
 *   waitdlg MS                  waits for a dialog of MOXU's thread; prints "dialog=CAPTION"
 *   waitnodlg MS                waits until MOXU's thread shows no dialog
 *   dlgpost MSG WPARAM LPARAM   PostMessageA to that dialog
 *   dlginfo                     that dialog's caption, window rectangle, the desktop's rectangle,
 *                               the control with the keyboard focus and every control in template
 *                               order ("item ID CLASS TEXT", "icon=0|1" for a static icon); texts
 *                               are the code-page bytes, escaped as \n, \\ and \xNN
 *                               (a trailing blank as \x20)
 *   click ID                    BM_CLICK posted to control ID of that dialog: the button's own press
 *   cursor X Y                  SetCursorPos
 *   waitmenu MS                 waits for a popup menu (class #32768) of MOXU's thread; prints
 *                               "menu=LEFT,TOP,RIGHT,BOTTOM"
 *   waitnomenu MS               waits until MOXU's thread shows no popup menu
 *   menupost MSG WPARAM LPARAM  PostMessageA to that popup menu
 *   traywin                     "tray=LEFT,TOP,RIGHT,BOTTOM visible=0|1 icons=N" for the shell's
 *                               notification-area window, or "tray=none" (exit status 1)
 *   windows                     every top-level window: "HWND CLASS visible=0|1 L,T,R,B TEXT"
 *   sleep MS
 *
 * Commands run in order; the first one that fails ends the run with exit status 1.
 */
#include <windows.h>

#include "waitfor.h"
#include <dbt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char c_szTitle[] = "MOXU";
static const char c_szEnumKey[] = "Config Manager\\Enum";
#define POLL_MS 50

static ULONG_PTR Number(const char *psz)
{
    return (ULONG_PTR)strtoull(psz, NULL, 0);
}

static HWND FindMoxu(void)
{
    return FindWindowA(NULL, c_szTitle);
}

/* Polls a condition every POLL_MS until it holds or the time is up. */
template <typename Cond> static bool WaitFor(DWORD dwMs, Cond cond)
{
    return WaitFor(dwMs, cond, POLL_MS);
}

static HWND TargetWindow(void)
{
    HWND hWnd = FindMoxu();
    if (!hWnd)
        fprintf(stderr, "moxudrv: no window titled \"%s\"\n", c_szTitle);
    return hWnd;
}

static bool CmdFind(void)
{
    HWND hWnd = FindMoxu();
    if (!hWnd) {
        printf("none\n");
        return false;
    }
    char szClass[256] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    printf("class=%s visible=%d\n", szClass, IsWindowVisible(hWnd) ? 1 : 0);
    return true;
}

static bool CmdPost(HWND hWnd, char **argv)
{
    if (!hWnd)
        return false;
    if (!PostMessageA(hWnd, (UINT)Number(argv[0]), (WPARAM)Number(argv[1]), (LPARAM)Number(argv[2]))) {
        fprintf(stderr, "moxudrv: PostMessageA failed, error %lu\n", GetLastError());
        return false;
    }
    return true;
}

static bool CmdSend(char **argv)
{
    HWND hWnd = TargetWindow();
    if (!hWnd)
        return false;
    LRESULT lResult = SendMessageA(hWnd, (UINT)Number(argv[0]), (WPARAM)Number(argv[1]), (LPARAM)Number(argv[2]));
    printf("result=0x%llX\n", (unsigned long long)lResult);
    return true;
}

static bool CmdDevChange(char **argv)
{
    HWND hWnd = TargetWindow();
    if (!hWnd)
        return false;
    DEV_BROADCAST_DEVNODE rec;
    rec.dbcd_size = sizeof(rec);
    rec.dbcd_devicetype = (DWORD)Number(argv[1]);
    rec.dbcd_reserved = 0;
    rec.dbcd_devnode = (DWORD)Number(argv[2]);
    LRESULT lResult = SendMessageA(hWnd, WM_DEVICECHANGE, (WPARAM)Number(argv[0]), (LPARAM)&rec);
    printf("result=0x%llX\n", (unsigned long long)lResult);
    return true;
}

static bool CmdRegNode(char **argv)
{
    char szPath[64];
    wsprintfA(szPath, "%s\\%08X", c_szEnumKey, (unsigned)Number(argv[0]));
    HKEY hKey = NULL;
    LONG lResult = RegCreateKeyA(HKEY_DYN_DATA, szPath, &hKey);
    if (lResult != ERROR_SUCCESS) {
        fprintf(stderr, "moxudrv: cannot create %s: error %ld\n", szPath, lResult);
        return false;
    }
    lResult = RegSetValueExA(hKey, "HardWareKey", 0, REG_SZ, (const BYTE *)argv[1], (DWORD)strlen(argv[1]) + 1);
    if (lResult == ERROR_SUCCESS && strcmp(argv[2], "-") != 0) {
        DWORD dwStatus = (DWORD)Number(argv[2]);
        lResult = RegSetValueExA(hKey, "Status", 0, REG_BINARY, (const BYTE *)&dwStatus, sizeof(dwStatus));
    }
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS)
        fprintf(stderr, "moxudrv: cannot set the values of %s: error %ld\n", szPath, lResult);
    return lResult == ERROR_SUCCESS;
}

static bool CmdRegClear(void)
{
    HKEY hEnum = NULL;
    if (RegOpenKeyA(HKEY_DYN_DATA, c_szEnumKey, &hEnum) != ERROR_SUCCESS)
        return true;
    char szName[256];
    /* Always index 0: each deletion moves the next name up. */
    while (RegEnumKeyA(hEnum, 0, szName, sizeof(szName)) == ERROR_SUCCESS) {
        if (RegDeleteKeyA(hEnum, szName) != ERROR_SUCCESS) {
            fprintf(stderr, "moxudrv: cannot delete %s\n", szName);
            RegCloseKey(hEnum);
            return false;
        }
    }
    RegCloseKey(hEnum);
    return true;
}

static bool CmdRegList(void)
{
    HKEY hEnum = NULL;
    if (RegOpenKeyA(HKEY_DYN_DATA, c_szEnumKey, &hEnum) != ERROR_SUCCESS) {
        fprintf(stderr, "moxudrv: cannot open %s\n", c_szEnumKey);
        return false;
    }
    char szName[256];
    for (DWORD i = 0; RegEnumKeyA(hEnum, i, szName, sizeof(szName)) == ERROR_SUCCESS; ++i) {
        HKEY hNode = NULL;
        char szHwKey[1024] = "-";
        DWORD dwStatus = 0;
        bool bStatus = false;
        if (RegOpenKeyA(hEnum, szName, &hNode) == ERROR_SUCCESS) {
            DWORD cb = sizeof(szHwKey) - 1;
            if (RegQueryValueExA(hNode, "HardWareKey", NULL, NULL, (BYTE *)szHwKey, &cb) != ERROR_SUCCESS)
                strcpy(szHwKey, "-");
            cb = sizeof(dwStatus);
            bStatus = RegQueryValueExA(hNode, "Status", NULL, NULL, (BYTE *)&dwStatus, &cb) == ERROR_SUCCESS;
            RegCloseKey(hNode);
        }
        if (bStatus)
            printf("%s %s 0x%lX\n", szName, szHwKey, (unsigned long)dwStatus);
        else
            printf("%s %s -\n", szName, szHwKey);
    }
    RegCloseKey(hEnum);
    return true;
}

static bool CmdFakeWin(DWORD dwMs)
{
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(NULL);
    wc.lpszClassName = "MOXUDRV-OTHER";
    if (!RegisterClassA(&wc))
        return false;
    HWND hWnd = CreateWindowExA(0, wc.lpszClassName, c_szTitle, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                NULL, NULL, wc.hInstance, NULL);
    if (!hWnd)
        return false;
    printf("fakewin up\n");
    fflush(stdout);
    DWORD dwStart = GetTickCount();
    while (GetTickCount() - dwStart < dwMs) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(10);
    }
    DestroyWindow(hWnd);
    return true;
}

/* A dialog of the program: a visible top-level window of class #32770 on MOXU's thread. */
struct DialogSearch {
    DWORD dwThread;
    HWND hDlg;
};

static BOOL CALLBACK FindDialogProc(HWND hWnd, LPARAM lParam)
{
    DialogSearch *pSearch = (DialogSearch *)lParam;
    char szClass[64] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (strcmp(szClass, "#32770") == 0 && GetWindowThreadProcessId(hWnd, NULL) == pSearch->dwThread
        && IsWindowVisible(hWnd)) {
        pSearch->hDlg = hWnd;
        return FALSE;
    }
    return TRUE;
}

static HWND FindMoxuDialog(void)
{
    HWND hMain = FindMoxu();
    if (!hMain)
        return NULL;
    DialogSearch search = { GetWindowThreadProcessId(hMain, NULL), NULL };
    EnumWindows(FindDialogProc, (LPARAM)&search);
    return search.hDlg;
}

static bool CmdWaitDialog(DWORD dwMs)
{
    HWND hDlg = NULL;
    if (!WaitFor(dwMs, [&] { return (hDlg = FindMoxuDialog()) != NULL; })) {
        printf("dialog=none\n");
        return false;
    }
    char szCaption[256] = "";
    GetWindowTextA(hDlg, szCaption, sizeof(szCaption));
    printf("dialog=%s\n", szCaption);
    return true;
}

/* A text as its code-page bytes: printable ASCII stays, the rest is escaped, so that a table in a
   script can hold the expected bytes of either code page and a mismatch stays readable. */
static void PrintEscaped(const char *psz)
{
    for (const unsigned char *p = (const unsigned char *)psz; *p; ++p) {
        if (*p == '\n')
            printf("\\n");
        else if (*p == '\\')
            printf("\\\\");
        else if (*p == ' ' && p[1] == 0)
            printf("\\x20");      /* a trailing blank stays visible in a table */
        else if (*p >= 0x20 && *p < 0x7F)
            putchar(*p);
        else
            printf("\\x%02X", *p);
    }
}

static void PrintRect(const char *pszName, HWND hWnd)
{
    RECT rc = { 0, 0, 0, 0 };
    GetWindowRect(hWnd, &rc);
    printf("%s=%ld,%ld,%ld,%ld\n", pszName, rc.left, rc.top, rc.right, rc.bottom);
}

/* Text of another process's window: WM_GETTEXT, which crosses processes where GetWindowTextA
   of a control would not ask the control itself. */
static void GetText(HWND hWnd, char *psz, int cch)
{
    psz[0] = 0;
    SendMessageA(hWnd, WM_GETTEXT, (WPARAM)cch, (LPARAM)psz);
}

static bool CmdDialogInfo(void)
{
    HWND hDlg = FindMoxuDialog();
    if (!hDlg) {
        printf("dialog=none\n");
        return false;
    }
    char szText[1024];
    GetWindowTextA(hDlg, szText, sizeof(szText));
    printf("caption=");
    PrintEscaped(szText);
    printf("\n");
    PrintRect("rect", hDlg);
    PrintRect("desktop", GetDesktopWindow());

    GUITHREADINFO gti;
    memset(&gti, 0, sizeof(gti));
    gti.cbSize = sizeof(gti);
    int nFocus = 0;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hDlg, NULL), &gti) && gti.hwndFocus)
        nFocus = GetDlgCtrlID(gti.hwndFocus);
    printf("focus=%d\n", nFocus);

    for (HWND hItem = GetWindow(hDlg, GW_CHILD); hItem; hItem = GetWindow(hItem, GW_HWNDNEXT)) {
        char szClass[64] = "";
        GetClassNameA(hItem, szClass, sizeof(szClass));
        printf("item %d %s ", GetDlgCtrlID(hItem), szClass);
        LONG lStyle = GetWindowLongA(hItem, GWL_STYLE);
        if (!_stricmp(szClass, "Static") && (lStyle & SS_TYPEMASK) == SS_ICON) {
            printf("icon=%d\n", SendMessageA(hItem, STM_GETICON, 0, 0) ? 1 : 0);
            continue;
        }
        GetText(hItem, szText, sizeof(szText));
        PrintEscaped(szText);
        printf("\n");
    }
    return true;
}

/* A popup menu of MOXU's thread: a visible top-level window of class #32768. */
static HWND FindMoxuMenu(void)
{
    HWND hMain = FindMoxu();
    if (!hMain)
        return NULL;
    DWORD dwThread = GetWindowThreadProcessId(hMain, NULL);
    for (HWND hWnd = FindWindowExA(NULL, NULL, "#32768", NULL); hWnd;
         hWnd = FindWindowExA(NULL, hWnd, "#32768", NULL)) {
        if (IsWindowVisible(hWnd) && GetWindowThreadProcessId(hWnd, NULL) == dwThread)
            return hWnd;
    }
    return NULL;
}

static bool CmdWaitMenu(DWORD dwMs)
{
    HWND hMenu = NULL;
    if (!WaitFor(dwMs, [&] { return (hMenu = FindMoxuMenu()) != NULL; })) {
        printf("menu=none\n");
        return false;
    }
    PrintRect("menu", hMenu);
    return true;
}

/* Wine's notification area: the shell's tray window, or the small stand-alone one titled
   "Wine System Tray" when there is no desktop; the icons are its child windows. */
static bool CmdTrayWindow(void)
{
    HWND hTray = FindWindowA(NULL, "Wine System Tray");
    if (!hTray || !IsWindowVisible(hTray))
        hTray = FindWindowA("Shell_TrayWnd", NULL);
    if (!hTray) {
        printf("tray=none\n");
        return false;
    }
    int nIcons = 0;
    for (HWND hIcon = GetWindow(hTray, GW_CHILD); hIcon; hIcon = GetWindow(hIcon, GW_HWNDNEXT))
        ++nIcons;
    RECT rc = { 0, 0, 0, 0 };
    GetWindowRect(hTray, &rc);
    printf("tray=%ld,%ld,%ld,%ld visible=%d icons=%d\n", rc.left, rc.top, rc.right, rc.bottom,
           IsWindowVisible(hTray) ? 1 : 0, nIcons);
    return true;
}

static BOOL CALLBACK ListWindowProc(HWND hWnd, LPARAM lParam)
{
    (void)lParam;
    char szClass[128] = "", szText[256] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    GetWindowTextA(hWnd, szText, sizeof(szText));
    RECT rc = { 0, 0, 0, 0 };
    GetWindowRect(hWnd, &rc);
    printf("%p %s visible=%d %ld,%ld,%ld,%ld ", (void *)hWnd, szClass, IsWindowVisible(hWnd) ? 1 : 0,
           rc.left, rc.top, rc.right, rc.bottom);
    PrintEscaped(szText);
    printf("\n");
    return TRUE;
}

struct Command {
    const char *pszName;
    int nArgs;
};

static const Command c_aCommands[] = {
    { "find", 0 }, { "waitwin", 1 }, { "waitgone", 1 }, { "post", 3 }, { "send", 3 },
    { "devchange", 3 }, { "regnode", 3 }, { "regclear", 0 }, { "reglist", 0 },
    { "fakewin", 1 }, { "waitdlg", 1 }, { "waitnodlg", 1 }, { "dlgpost", 3 }, { "sleep", 1 },
    { "dlginfo", 0 }, { "click", 1 }, { "cursor", 2 }, { "waitmenu", 1 }, { "waitnomenu", 1 }, { "menupost", 3 },
    { "traywin", 0 }, { "windows", 0 },
};

static bool Run(const char *pszName, char **argv)
{
    if (!strcmp(pszName, "find"))
        return CmdFind();
    if (!strcmp(pszName, "waitwin"))
        return WaitFor((DWORD)Number(argv[0]), [] { return FindMoxu() != NULL; });
    if (!strcmp(pszName, "waitgone"))
        return WaitFor((DWORD)Number(argv[0]), [] { return FindMoxu() == NULL; });
    if (!strcmp(pszName, "post"))
        return CmdPost(TargetWindow(), argv);
    if (!strcmp(pszName, "send"))
        return CmdSend(argv);
    if (!strcmp(pszName, "devchange"))
        return CmdDevChange(argv);
    if (!strcmp(pszName, "regnode"))
        return CmdRegNode(argv);
    if (!strcmp(pszName, "regclear"))
        return CmdRegClear();
    if (!strcmp(pszName, "reglist"))
        return CmdRegList();
    if (!strcmp(pszName, "fakewin"))
        return CmdFakeWin((DWORD)Number(argv[0]));
    if (!strcmp(pszName, "waitdlg"))
        return CmdWaitDialog((DWORD)Number(argv[0]));
    if (!strcmp(pszName, "waitnodlg"))
        return WaitFor((DWORD)Number(argv[0]), [] { return FindMoxuDialog() == NULL; });
    if (!strcmp(pszName, "dlgpost"))
        return CmdPost(FindMoxuDialog(), argv);
    if (!strcmp(pszName, "dlginfo"))
        return CmdDialogInfo();
    if (!strcmp(pszName, "click")) {
        HWND hDlg = FindMoxuDialog();
        HWND hItem = hDlg ? GetDlgItem(hDlg, (int)Number(argv[0])) : NULL;
        return hItem && PostMessageA(hItem, BM_CLICK, 0, 0);
    }
    if (!strcmp(pszName, "cursor"))
        return SetCursorPos((int)strtol(argv[0], NULL, 0), (int)strtol(argv[1], NULL, 0)) != FALSE;
    if (!strcmp(pszName, "waitmenu"))
        return CmdWaitMenu((DWORD)Number(argv[0]));
    if (!strcmp(pszName, "waitnomenu"))
        return WaitFor((DWORD)Number(argv[0]), [] { return FindMoxuMenu() == NULL; });
    if (!strcmp(pszName, "menupost"))
        return CmdPost(FindMoxuMenu(), argv);
    if (!strcmp(pszName, "traywin"))
        return CmdTrayWindow();
    if (!strcmp(pszName, "windows"))
        return EnumWindows(ListWindowProc, 0) != FALSE;
    if (!strcmp(pszName, "sleep")) {
        Sleep((DWORD)Number(argv[0]));
        return true;
    }
    return false;
}

int main(int argc, char **argv)
{
    if (argc < 2) {
        fprintf(stderr, "usage: moxudrv COMMAND [ARGS...]...\n");
        return 2;
    }
    for (int i = 1; i < argc;) {
        const Command *pCmd = NULL;
        for (size_t k = 0; k < sizeof(c_aCommands) / sizeof(c_aCommands[0]); ++k) {
            if (!strcmp(argv[i], c_aCommands[k].pszName))
                pCmd = &c_aCommands[k];
        }
        if (!pCmd || i + pCmd->nArgs >= argc) {
            fprintf(stderr, "moxudrv: bad command or missing arguments at \"%s\"\n", argv[i]);
            return 2;
        }
        bool bOk = Run(pCmd->pszName, argv + i + 1);
        fflush(stdout);
        if (!bOk) {
            fprintf(stderr, "moxudrv: %s failed\n", pCmd->pszName);
            return 1;
        }
        i += 1 + pCmd->nArgs;
    }
    return 0;
}
