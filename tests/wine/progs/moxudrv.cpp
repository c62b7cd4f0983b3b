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
 *   sleep MS
 *
 * Commands run in order; the first one that fails ends the run with exit status 1.
 */
#include <windows.h>
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
    DWORD dwStart = GetTickCount();
    for (;;) {
        if (cond())
            return true;
        if (GetTickCount() - dwStart >= dwMs)
            return false;
        Sleep(POLL_MS);
    }
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

struct Command {
    const char *pszName;
    int nArgs;
};

static const Command c_aCommands[] = {
    { "find", 0 }, { "waitwin", 1 }, { "waitgone", 1 }, { "post", 3 }, { "send", 3 },
    { "devchange", 3 }, { "regnode", 3 }, { "regclear", 0 }, { "reglist", 0 },
    { "fakewin", 1 }, { "waitdlg", 1 }, { "waitnodlg", 1 }, { "dlgpost", 3 }, { "sleep", 1 },
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
