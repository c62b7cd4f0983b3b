/* The bench's helper beside the program under Wine: starts a program and times it to its
   window and its tray icon, reads a process's memory figures, and closes a program.
     probe start TITLE EXE    prints "pid=N window_ms=T tray_ms=T" and leaves the program running
     probe mem TITLE          prints "working_set=B private=B peak_working_set=B" of the window's process
     probe close TITLE        asks the window to close, waits for its process, prints "exit=N"
   The tray icon counts as added when the shell shows one more icon window than before the start
   (Wine's system tray makes a window per icon while Shell_NotifyIconA runs). */
#include <windows.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char c_szTrayIconClass[] = "__winex11_tray_icon";

static BOOL CALLBACK CountTrayIcon(HWND hWnd, LPARAM lParam)
{
    char szClass[64];
    if (GetClassNameA(hWnd, szClass, sizeof(szClass)) && strcmp(szClass, c_szTrayIconClass) == 0)
        ++*(int *)lParam;
    return TRUE;
}

static BOOL CALLBACK CountTrayIconTop(HWND hWnd, LPARAM lParam)
{
    CountTrayIcon(hWnd, lParam);
    EnumChildWindows(hWnd, CountTrayIcon, lParam);
    return TRUE;
}

static int TrayIconCount(void)
{
    int n = 0;
    EnumWindows(CountTrayIconTop, (LPARAM)&n);
    return n;
}

static double Millis(const LARGE_INTEGER &from, const LARGE_INTEGER &to, const LARGE_INTEGER &freq)
{
    return (double)(to.QuadPart - from.QuadPart) * 1000.0 / (double)freq.QuadPart;
}

static int Start(const char *pszTitle, const char *pszExe)
{
    if (FindWindowA(NULL, pszTitle)) {
        fprintf(stderr, "probe: \"%s\" is running already\n", pszTitle);
        return 1;
    }
    int nIconsBefore = TrayIconCount();

    char szCmd[MAX_PATH + 3];
    snprintf(szCmd, sizeof(szCmd), "\"%s\"", pszExe);
    STARTUPINFOA si;
    ZeroMemory(&si, sizeof(si));
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi;
    LARGE_INTEGER freq, t0, tWindow, tTray, tNow;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessA(NULL, szCmd, NULL, NULL, FALSE, 0, NULL, NULL, &si, &pi)) {
        fprintf(stderr, "probe: cannot start %s (error %lu)\n", pszExe, GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);

    /* Busy polling at 1 ms steps: the figures are tens to hundreds of milliseconds. */
    bool bWindow = false, bTray = false;
    for (;;) {
        QueryPerformanceCounter(&tNow);
        if (!bWindow && FindWindowA(NULL, pszTitle)) {
            tWindow = tNow;
            bWindow = true;
        }
        if (bWindow && !bTray && TrayIconCount() > nIconsBefore) {
            tTray = tNow;
            bTray = true;
        }
        if (bTray)
            break;
        if (Millis(t0, tNow, freq) > 20000.0 || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) {
            fprintf(stderr, "probe: no %s of \"%s\"\n", bWindow ? "tray icon" : "window", pszTitle);
            CloseHandle(pi.hProcess);
            return 1;
        }
        Sleep(1);
    }
    printf("pid=%lu window_ms=%.1f tray_ms=%.1f\n", pi.dwProcessId, Millis(t0, tWindow, freq),
           Millis(t0, tTray, freq));
    CloseHandle(pi.hProcess);
    return 0;
}

static HANDLE OpenWindowProcess(const char *pszTitle, DWORD dwAccess, HWND *phWnd)
{
    HWND hWnd = FindWindowA(NULL, pszTitle);
    if (!hWnd) {
        fprintf(stderr, "probe: no window \"%s\"\n", pszTitle);
        return NULL;
    }
    DWORD dwPid = 0;
    GetWindowThreadProcessId(hWnd, &dwPid);
    HANDLE hProcess = OpenProcess(dwAccess, FALSE, dwPid);
    if (!hProcess)
        fprintf(stderr, "probe: cannot open process %lu (error %lu)\n", dwPid, GetLastError());
    if (phWnd)
        *phWnd = hWnd;
    return hProcess;
}

static int Mem(const char *pszTitle)
{
    HANDLE hProcess = OpenWindowProcess(pszTitle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, NULL);
    if (!hProcess)
        return 1;
    PROCESS_MEMORY_COUNTERS_EX pmc;
    ZeroMemory(&pmc, sizeof(pmc));
    BOOL bOk = GetProcessMemoryInfo(hProcess, (PROCESS_MEMORY_COUNTERS *)&pmc, sizeof(pmc));
    CloseHandle(hProcess);
    if (!bOk) {
        fprintf(stderr, "probe: GetProcessMemoryInfo failed (error %lu)\n", GetLastError());
        return 1;
    }
    printf("working_set=%llu private=%llu peak_working_set=%llu\n", (unsigned long long)pmc.WorkingSetSize,
           (unsigned long long)pmc.PrivateUsage, (unsigned long long)pmc.PeakWorkingSetSize);
    return 0;
}

static int Close(const char *pszTitle)
{
    HWND hWnd = NULL;
    HANDLE hProcess = OpenWindowProcess(pszTitle, SYNCHRONIZE | PROCESS_QUERY_INFORMATION, &hWnd);
    if (!hProcess)
        return 1;
    PostMessageA(hWnd, WM_CLOSE, 0, 0);
    DWORD dwExit = (DWORD)-1;
    bool bEnded = WaitForSingleObject(hProcess, 10000) == WAIT_OBJECT_0;
    if (bEnded)
        GetExitCodeProcess(hProcess, &dwExit);
    CloseHandle(hProcess);
    if (!bEnded) {
        fprintf(stderr, "probe: \"%s\" did not end\n", pszTitle);
        return 1;
    }
    printf("exit=%lu\n", dwExit);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 4 && strcmp(argv[1], "start") == 0)
        return Start(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "mem") == 0)
        return Mem(argv[2]);
    if (argc == 3 && strcmp(argv[1], "close") == 0)
        return Close(argv[2]);
    fprintf(stderr, "usage: probe start TITLE EXE | mem TITLE | close TITLE\n");
    return 2;
}
