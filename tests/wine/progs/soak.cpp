/* soak: drives a running MOXU through thousands of mixed messages and watches its counts from another process.
 *
 * Usage: soak [-n STEPS] [-k EVERY] [-w WARMUP] [-seed S] [-fixed-from PERCENT] [-unixpid PID]
 *             [-serverpid PID] [-slack-handles N] [-slack-kib N] [-slack-rss-kib N] [-report PATH]
 *
 * Each step sends or posts one message to the program's hidden window, chosen in a seeded
 * pseudo-random order (the same seed gives the same order):
 *   tip        WM_TRAYNOTIFY mouse move, sent: a tool-tip refresh
 *   lmenu      WM_TRAYNOTIFY left button up, posted: the popup is found and cancelled
 *   rmenu      the same with the right button
 *   dblclick   WM_TRAYNOTIFY double click, posted: the change-bay dialog, cancelled
 *   change / unload / about   WM_COMMAND 40002 / 40003 / 40007, posted: the dialog, cancelled
 *   power      WM_POWERBROADCAST query-suspend, suspend or one of two resume events, sent
 *   bay        a new controller state (status, device) for the poll ticks that follow
 *   tick       a new controller state, then the wait for the next poll tick to read it (seen in the
 *              stand-in controller's log, MOXU2_LOG): the poll timer must keep running
 * Popups are cancelled by turns with a posted Esc key and a posted WM_CANCELMODE; dialogs by turns
 * with a posted Esc key and a posted IDCANCEL. After every step the program must answer WM_NULL.
 *
 * The counts are read at the start, after the warm-up, every EVERY steps and at the end, always while
 * the program is idle (it has just answered WM_NULL): memory and handle counts through OpenProcess on
 * the program's process, GetGuiResources, the program's entries in the system's handle list, the
 * slots in use in the window manager's handle table, the windows of the program's thread, and VmRSS
 * of the Wine process (and of the wineserver) from /proc through the drive that maps the Unix root.
 * The Markdown report goes to stdout and to PATH.
 *
 * Flat means: the last value is at most the warm-up value plus a slack, and the value did not rise at
 * every checkpoint after the warm-up. The slacks, against what a flat program shows under Wine:
 *   handles (4)        the handle list and the USER table stay at the same count from the warm-up on;
 *                      the warm-up has run every kind of step, so the platform's lazily made objects
 *                      exist by then, and a handle or menu lost per dialog or popup adds hundreds
 *   private (256 KiB)  moves by a few pages in 10000 steps; a menu lost per popup adds some 150 KiB
 *                      per 1000 steps, more than a page between any two checkpoints of the short run
 *   VmRSS (2048 KiB)   file pages come and go by some hundreds of KiB, so only gross growth counts
 *   windows (0)        only the program's own windows: every popup and dialog is closed when counted
 *
 * Exit status: 0 when the program answered throughout and its counts stayed flat after the warm-up,
 * 1 when it did not, 2 on bad arguments.
 */
#define _WIN32_WINNT 0x0601
#define PSAPI_VERSION 2
#include <windows.h>

#include "waitfor.h"
#include <psapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>

static const char c_szTitle[] = "MOXU";
#define WM_TRAYNOTIFY_MSG   0x0500
#define TRAY_UID            0x3456
#define CMD_SWAP_BAY        40002
#define CMD_UNLOAD          40003
#define CMD_ABOUT           40007
#define ANSWER_MS           10000   /* a program that takes longer to answer counts as hung */
#define WINDOW_MS           10000   /* a popup or dialog that takes longer to come or go is a fault */
#define TICK_MS             3000    /* the poll timer runs every 1000 ms */
#define PAGE_KIB            4

/* ---- What the run is told on the command line. */

struct Options {
    unsigned long nSteps = 10000;
    unsigned long nEvery = 500;
    unsigned long nWarmup = 0;          /* 0: a twentieth of the run, at least 200 */
    unsigned long nSeed = 20240611;
    unsigned long nFixedFrom = 90;      /* percent of the run after which fixed devices may appear */
    unsigned long nUnixPid = 0;
    unsigned long nServerPid = 0;
    unsigned long nSlackHandles = 4;
    unsigned long nSlackKib = 256;
    unsigned long nSlackRssKib = 2048;
    std::string strReport;
};

/* ---- The mix. */

enum StepKind { S_TIP, S_LMENU, S_RMENU, S_DBLCLICK, S_CHANGE, S_UNLOAD, S_ABOUT, S_POWER, S_BAY, S_TICK, S_KINDS };

struct KindInfo {
    const char *pszName;
    unsigned uWeight;
};

/* Tool-tip refreshes are what the program meets most; the modal steps are slower, and a tick step
   waits for the timer (half a second on average), so it is the rarest. */
static const KindInfo c_aKinds[S_KINDS] = {
    { "tip", 500 }, { "lmenu", 80 }, { "rmenu", 80 }, { "dblclick", 40 }, { "change", 40 },
    { "unload", 30 }, { "about", 40 }, { "power", 100 }, { "bay", 80 }, { "tick", 10 },
};

/* Query-suspend, suspend, resume-suspend, resume-automatic. */
static const WPARAM c_aPowerEvents[] = { 0, 4, 7, 18 };

/* A small generator of our own, so that the order does not depend on the C library. */
struct Random {
    unsigned long long x;
    explicit Random(unsigned long seed) : x(seed * 0x9E3779B97F4A7C15ull + 1) {}
    unsigned Next(unsigned n)
    {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        return (unsigned)((x >> 11) % n);
    }
};

/* ---- Finding the program and its windows. */

static HWND g_hMoxu;
static DWORD g_dwThread;
static DWORD g_dwPid;

struct ClassSearch {
    const char *pszClass;
    HWND hWnd;
};

static BOOL CALLBACK FindVisibleClassProc(HWND hWnd, LPARAM lParam)
{
    ClassSearch *pSearch = (ClassSearch *)lParam;
    char szClass[64] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (strcmp(szClass, pSearch->pszClass) == 0 && GetWindowThreadProcessId(hWnd, NULL) == g_dwThread
        && IsWindowVisible(hWnd)) {
        pSearch->hWnd = hWnd;
        return FALSE;
    }
    return TRUE;
}

/* A visible top-level window of the class on the program's thread: "#32768" a popup, "#32770" a dialog. */
static HWND FindVisible(const char *pszClass)
{
    ClassSearch search = { pszClass, NULL };
    EnumWindows(FindVisibleClassProc, (LPARAM)&search);
    return search.hWnd;
}

static BOOL CALLBACK CountChildProc(HWND, LPARAM lParam)
{
    ++*(long *)lParam;
    return TRUE;
}

static BOOL CALLBACK CountThreadWindowProc(HWND hWnd, LPARAM lParam)
{
    ++*(long *)lParam;
    EnumChildWindows(hWnd, CountChildProc, lParam);
    return TRUE;
}

static std::string g_strStartWindows;

static BOOL CALLBACK ListThreadWindowProc(HWND hWnd, LPARAM)
{
    char szClass[64] = "", szTitle[64] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
    if (!g_strStartWindows.empty())
        g_strStartWindows += ", ";
    g_strStartWindows += std::string("class \"") + szClass + "\" titled \"" + szTitle + "\"";
    return TRUE;
}

/* Every window the program's thread owns, hidden ones and controls included. */
static long CountThreadWindows(void)
{
    long n = 0;
    EnumThreadWindows(g_dwThread, CountThreadWindowProc, (LPARAM)&n);
    return n;
}

template <typename Cond> static bool WaitFor(DWORD dwMs, Cond cond)
{
    return WaitFor(dwMs, cond, 2);
}

/* ---- Failing. */

static std::string g_strFault;

static void Fault(const char *pszFormat, ...)
{
    if (!g_strFault.empty())
        return;
    char sz[512];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(sz, sizeof(sz), pszFormat, args);
    va_end(args);
    g_strFault = sz;
    fprintf(stderr, "soak: %s\n", sz);
}

/* ---- Talking to the program. */

static unsigned long g_nMessages;       /* every message sent or posted to the program, answers checks included */

static bool Send(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR dwResult = 0;
    ++g_nMessages;
    if (!SendMessageTimeoutA(g_hMoxu, uMsg, wParam, lParam, SMTO_NORMAL, ANSWER_MS, &dwResult)) {
        Fault("message 0x%X (0x%llX, 0x%llX) got no answer within %u ms (error %lu)", uMsg,
              (unsigned long long)wParam, (unsigned long long)lParam, ANSWER_MS, GetLastError());
        return false;
    }
    return true;
}

static bool Post(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    ++g_nMessages;
    if (!PostMessageA(hWnd, uMsg, wParam, lParam)) {
        Fault("cannot post message 0x%X: error %lu", uMsg, GetLastError());
        return false;
    }
    return true;
}

static bool Answers(void)
{
    return Send(WM_NULL, 0, 0);
}

/* Posts what opens a modal window of the class, waits for it and closes it by the given message. */
static bool OpenAndClose(const char *pszWhat, UINT uMsg, WPARAM wParam, LPARAM lParam, const char *pszClass,
                         HWND hClosedVia, UINT uCloseMsg, WPARAM wCloseParam)
{
    if (!Post(g_hMoxu, uMsg, wParam, lParam))
        return false;
    HWND hWnd = NULL;
    if (!WaitFor(WINDOW_MS, [&] { return (hWnd = FindVisible(pszClass)) != NULL; })) {
        if (Answers())
            Fault("%s: no %s window within %u ms", pszWhat, pszClass, WINDOW_MS);
        return false;
    }
    if (!Post(hClosedVia ? hClosedVia : hWnd, uCloseMsg, wCloseParam, 0))
        return false;
    if (!WaitFor(WINDOW_MS, [&] { return !IsWindow(hWnd) || !IsWindowVisible(hWnd); })) {
        Fault("%s: the %s window stayed open %u ms after message 0x%X", pszWhat, pszClass, WINDOW_MS, uCloseMsg);
        return false;
    }
    return true;
}

static unsigned long g_nCloseTurn;

static bool StepMenu(const char *pszWhat, LPARAM lButton)
{
    /* The popup's own loop takes the Esc key from the thread's queue; WM_CANCELMODE to the owner ends it
       from the window manager's side. */
    if (g_nCloseTurn++ % 2 == 0)
        return OpenAndClose(pszWhat, WM_TRAYNOTIFY_MSG, TRAY_UID, lButton, "#32768", NULL, WM_KEYDOWN, VK_ESCAPE);
    return OpenAndClose(pszWhat, WM_TRAYNOTIFY_MSG, TRAY_UID, lButton, "#32768", g_hMoxu, WM_CANCELMODE, 0);
}

static bool StepDialog(const char *pszWhat, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    /* Cancel only: OK in the unload dialog would end the program and OK in the change-bay dialog asks for
       a suspend. */
    if (g_nCloseTurn++ % 2 == 0)
        return OpenAndClose(pszWhat, uMsg, wParam, lParam, "#32770", NULL, WM_KEYDOWN, VK_ESCAPE);
    return OpenAndClose(pszWhat, uMsg, wParam, lParam, "#32770", NULL, WM_COMMAND, IDCANCEL);
}

/* ---- The stand-in controller's state file, rewritten whole and renamed into place. */

static std::string g_strStatePath;
static std::string g_strLogPath;

static bool WriteBayState(unsigned uStatus, unsigned uDevice)
{
    if (g_strStatePath.empty())
        return true;
    std::string strNew = g_strStatePath + ".soak";
    FILE *pFile = fopen(strNew.c_str(), "wb");
    if (!pFile) {
        Fault("cannot write %s", strNew.c_str());
        return false;
    }
    fprintf(pFile, "mode=1\nstatus=%u\ndevice=0x%X\n", uStatus, uDevice);
    fclose(pFile);
    /* Wine refuses to rename over a file that is open, and the controller opens the state on every call:
       try again until it has let go. */
    DWORD dwError = 0;
    bool bDone = WaitFor(WINDOW_MS, [&] {
        if (MoveFileExA(strNew.c_str(), g_strStatePath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            dwError = 0;
            return true;
        }
        dwError = GetLastError();
        return dwError != ERROR_ACCESS_DENIED && dwError != ERROR_SHARING_VIOLATION;
    });
    if (!bDone || dwError) {
        Fault("cannot replace %s: error %lu", g_strStatePath.c_str(), dwError);
        return false;
    }
    return true;
}

/* Size of the controller log, or -1. */
static long long LogSize(void)
{
    WIN32_FILE_ATTRIBUTE_DATA fad;
    if (g_strLogPath.empty() || !GetFileAttributesExA(g_strLogPath.c_str(), GetFileExInfoStandard, &fad))
        return -1;
    return ((long long)fad.nFileSizeHigh << 32) | fad.nFileSizeLow;
}

/* Whether the log holds a line starting with pszCall after byte llFrom. */
static bool LogHasCallAfter(long long llFrom, const char *pszCall)
{
    HANDLE hFile = CreateFileA(g_strLogPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER li;
    li.QuadPart = llFrom;
    std::string strText;
    char buf[4096];
    DWORD cbRead = 0;
    if (SetFilePointerEx(hFile, li, NULL, FILE_BEGIN)) {
        while (ReadFile(hFile, buf, sizeof(buf), &cbRead, NULL) && cbRead)
            strText.append(buf, cbRead);
    }
    CloseHandle(hFile);
    size_t cchCall = strlen(pszCall);
    for (size_t i = 0; i < strText.size(); ++i) {
        if ((i == 0 || strText[i - 1] == '\n') && strText.compare(i, cchCall, pszCall) == 0)
            return true;
    }
    return false;
}

/* Sets the bay and waits until a poll tick has read the swap status afterwards (in system mode 1 only
   the tick reads it). */
static bool SetBayAndWaitTick(unsigned uStatus, unsigned uDevice)
{
    long long llFrom = LogSize();
    if (llFrom < 0) {
        Fault("the controller log (MOXU2_LOG) cannot be read");
        return false;
    }
    if (!WriteBayState(uStatus, uDevice))
        return false;
    if (!WaitFor(TICK_MS, [&] { return LogHasCallAfter(llFrom, "ThkGetSwapBayStatus()"); })) {
        Fault("no poll tick within %u ms", TICK_MS);
        return false;
    }
    return true;
}

/* ---- The counts. */

/* USER objects (windows, menus, icons) of every process on this desktop, as far as the window manager's
   handle table shows them; -1 when the table does not behave as expected. GetGuiResources counts
   nothing here, and another process's menus cannot be looked at, so the table is sounded out with
   menus of our own: a new handle takes a freed slot while there is one, and slots past the end of the
   table, one after the other, when there is none. The slots in use are then the end of the table
   minus the freed slots that our menus took. The handle's low word holds the slot: 0x20 + 2 * slot. */
static long CountUserObjects(void)
{
    std::vector<HMENU> made;
    long nPrev = -2, nRun = 0, nRunStart = -1;
    size_t iRunStart = 0;
    const long c_nRun = 16;             /* so many slots in a row: the end of the table */
    while (nRun < c_nRun && made.size() < 60000) {
        HMENU hMenu = CreateMenu();
        if (!hMenu)
            break;
        made.push_back(hMenu);
        long nSlot = (long)((((ULONG_PTR)hMenu & 0xFFFF) - 0x20) >> 1);
        if (nSlot == nPrev + 1) {
            ++nRun;
        } else {
            nRun = 1;
            nRunStart = nSlot;
            iRunStart = made.size() - 1;
        }
        nPrev = nSlot;
    }
    /* Freed in the order made, so that the next sounding does not meet them as a run. */
    for (HMENU hMenu : made)
        DestroyMenu(hMenu);
    return nRun == c_nRun ? nRunStart - (long)iRunStart : -1;
}

struct Sample {
    std::string strLabel;
    unsigned long nStep;
    double dSeconds;
    unsigned long long cbPrivate;       /* PrivateUsage (PagefileUsage) */
    unsigned long long cbWorkingSet;
    DWORD dwHandles;                    /* GetProcessHandleCount */
    long nListed;                       /* the system's handle list; -1: not read */
    long nUserTable;                    /* CountUserObjects */
    DWORD dwGdi;
    DWORD dwUser;
    long nWindows;
    long nVmRssKib;                     /* -1: not read */
    long nRssAnonKib;
    long nServerRssKib;
};

static HANDLE g_hProcess;

/* The system's handle list, laid out as ntdll returns it for information class 16. */
struct HandleEntry {
    ULONG ulOwnerPid;
    BYTE bObjectType;
    BYTE bFlags;
    USHORT usHandle;
    PVOID pObject;
    ULONG ulAccess;
};
struct HandleList {
    ULONG ulCount;
    HandleEntry aEntries[1];
};
typedef LONG(WINAPI *QuerySystemInfoFn)(ULONG, PVOID, ULONG, PULONG);
#define SYSTEM_HANDLE_INFORMATION_CLASS 16
#define STATUS_LENGTH_MISMATCH ((LONG)0xC0000004)

/* The program's handles as the system lists them, or -1 when the list cannot be had. */
static long CountListedHandles(DWORD dwPid)
{
    static QuerySystemInfoFn pfnQuery =
        (QuerySystemInfoFn)(void *)GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation");
    if (!pfnQuery)
        return -1;
    std::vector<BYTE> buf(1 << 16);
    for (int nTry = 0; nTry < 8; ++nTry) {
        ULONG cbNeeded = 0;
        LONG lStatus = pfnQuery(SYSTEM_HANDLE_INFORMATION_CLASS, buf.data(), (ULONG)buf.size(), &cbNeeded);
        if (lStatus == STATUS_LENGTH_MISMATCH) {
            buf.resize(buf.size() * 2 > cbNeeded ? buf.size() * 2 : cbNeeded + 4096);
            continue;
        }
        if (lStatus < 0)
            return -1;
        const HandleList *pList = (const HandleList *)buf.data();
        long n = 0;
        for (ULONG i = 0; i < pList->ulCount; ++i)
            n += pList->aEntries[i].ulOwnerPid == dwPid;
        return n;
    }
    return -1;
}

/* One "Name:   value kB" field of /proc/PID/status, read through the drive that maps the Unix root. */
static long ProcStatusKib(unsigned long nPid, const char *pszField)
{
    if (!nPid)
        return -1;
    char szPath[64];
    snprintf(szPath, sizeof(szPath), "Z:\\proc\\%lu\\status", nPid);
    HANDLE hFile = CreateFileA(szPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return -1;
    char szText[8192];
    DWORD cb = 0, cbRead = 0;
    while (cb < sizeof(szText) - 1 && ReadFile(hFile, szText + cb, (DWORD)(sizeof(szText) - 1 - cb), &cbRead, NULL)
           && cbRead)
        cb += cbRead;
    CloseHandle(hFile);
    szText[cb] = 0;
    size_t cchField = strlen(pszField);
    for (const char *psz = szText; psz && *psz;) {
        if (strncmp(psz, pszField, cchField) == 0 && psz[cchField] == ':')
            return strtol(psz + cchField + 1, NULL, 10);
        psz = strchr(psz, '\n');
        if (psz)
            ++psz;
    }
    return -1;
}

static bool TakeSample(const Options &opt, const char *pszLabel, unsigned long nStep, DWORD dwStart, Sample *pSample)
{
    /* The program is idle when it has answered: no popup, dialog or handler is half-way. */
    if (!Answers())
        return false;
    pSample->strLabel = pszLabel;
    pSample->nStep = nStep;
    pSample->dSeconds = (GetTickCount() - dwStart) / 1000.0;
    PROCESS_MEMORY_COUNTERS_EX pmc;
    memset(&pmc, 0, sizeof(pmc));
    pmc.cb = sizeof(pmc);
    if (!K32GetProcessMemoryInfo(g_hProcess, (PROCESS_MEMORY_COUNTERS *)&pmc, sizeof(pmc))) {
        Fault("GetProcessMemoryInfo failed: error %lu", GetLastError());
        return false;
    }
    pSample->cbPrivate = pmc.PrivateUsage ? pmc.PrivateUsage : pmc.PagefileUsage;
    pSample->cbWorkingSet = pmc.WorkingSetSize;
    pSample->dwHandles = 0;
    if (!GetProcessHandleCount(g_hProcess, &pSample->dwHandles)) {
        Fault("GetProcessHandleCount failed: error %lu", GetLastError());
        return false;
    }
    pSample->nListed = CountListedHandles(g_dwPid);
    pSample->nUserTable = CountUserObjects();
    pSample->dwGdi = GetGuiResources(g_hProcess, GR_GDIOBJECTS);
    pSample->dwUser = GetGuiResources(g_hProcess, GR_USEROBJECTS);
    pSample->nWindows = CountThreadWindows();
    pSample->nVmRssKib = ProcStatusKib(opt.nUnixPid, "VmRSS");
    pSample->nRssAnonKib = ProcStatusKib(opt.nUnixPid, "RssAnon");
    pSample->nServerRssKib = ProcStatusKib(opt.nServerPid, "VmRSS");
    return true;
}

/* ---- The verdict: flat after the warm-up. */

struct Check {
    std::string strText;
    bool bOk;
};

typedef long long (*SampleValue)(const Sample &);

/* A count passes when its last value stays within the slack of the warm-up value and it did not rise at
   every single checkpoint after the warm-up (a slow leak that the slack would still hide). Memory grows
   by whole pages, and a heap settling down may take one more now and then: a rise counts only when it
   exceeds llQuantum. */
static Check JudgeFlat(const char *pszName, const char *pszUnit, const std::vector<Sample> &samples, size_t iWarm,
                       SampleValue value, long long llSlack, long long llQuantum = 0)
{
    Check check;
    long long llWarm = value(samples[iWarm]), llEnd = value(samples.back());
    size_t nRises = 0, nIntervals = samples.size() - 1 - iWarm;
    for (size_t i = iWarm + 1; i < samples.size(); ++i)
        nRises += value(samples[i]) > value(samples[i - 1]) + llQuantum;
    bool bSteady = nIntervals < 4 || nRises < nIntervals;
    check.bOk = llEnd <= llWarm + llSlack && bSteady;
    char szRise[32] = "";
    if (llQuantum)
        snprintf(szRise, sizeof(szRise), " by more than %lld", llQuantum);
    char sz[256];
    snprintf(sz, sizeof(sz), "%s: %lld%s%s after the warm-up, %lld at the end (slack %lld), rose%s at %zu of %zu checkpoints",
             pszName, llWarm, *pszUnit ? " " : "", pszUnit, llEnd, llSlack, szRise, nRises, nIntervals);
    check.strText = sz;
    return check;
}

static long long PrivateKib(const Sample &s) { return (long long)(s.cbPrivate / 1024); }
static long long Handles(const Sample &s) { return s.dwHandles; }
static long long ListedHandles(const Sample &s) { return s.nListed; }
static long long UserTable(const Sample &s) { return s.nUserTable; }
static long long GdiObjects(const Sample &s) { return s.dwGdi; }
static long long UserObjects(const Sample &s) { return s.dwUser; }
static long long Windows(const Sample &s) { return s.nWindows; }
static long long VmRss(const Sample &s) { return s.nVmRssKib; }
static long long RssAnon(const Sample &s) { return s.nRssAnonKib; }
static long long WorkingSetKib(const Sample &s) { return (long long)(s.cbWorkingSet / 1024); }

static bool SameAt(const std::vector<Sample> &samples, SampleValue a, SampleValue b)
{
    for (const Sample &s : samples) {
        if (a(s) != b(s))
            return false;
    }
    return !samples.empty();
}

/* ---- The report. */

static std::string g_strReport;

static void Out(const char *pszFormat, ...)
{
    char sz[1024];
    va_list args;
    va_start(args, pszFormat);
    vsnprintf(sz, sizeof(sz), pszFormat, args);
    va_end(args);
    g_strReport += sz;
}

static std::string Kib(long long n)
{
    if (n < 0)
        return "-";
    char sz[32];
    snprintf(sz, sizeof(sz), "%lld", n);
    return sz;
}

static bool AllZero(const std::vector<Sample> &samples, SampleValue value)
{
    for (const Sample &s : samples) {
        if (value(s) != 0)
            return false;
    }
    return true;
}

static bool Parse(int argc, char **argv, Options *pOpt)
{
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 >= argc)
            return false;
        const char *pszName = argv[i], *pszValue = argv[i + 1];
        unsigned long n = strtoul(pszValue, NULL, 0);
        if (!strcmp(pszName, "-n"))
            pOpt->nSteps = n;
        else if (!strcmp(pszName, "-k"))
            pOpt->nEvery = n;
        else if (!strcmp(pszName, "-w"))
            pOpt->nWarmup = n;
        else if (!strcmp(pszName, "-seed"))
            pOpt->nSeed = n;
        else if (!strcmp(pszName, "-fixed-from"))
            pOpt->nFixedFrom = n;
        else if (!strcmp(pszName, "-unixpid"))
            pOpt->nUnixPid = n;
        else if (!strcmp(pszName, "-serverpid"))
            pOpt->nServerPid = n;
        else if (!strcmp(pszName, "-slack-handles"))
            pOpt->nSlackHandles = n;
        else if (!strcmp(pszName, "-slack-kib"))
            pOpt->nSlackKib = n;
        else if (!strcmp(pszName, "-slack-rss-kib"))
            pOpt->nSlackRssKib = n;
        else if (!strcmp(pszName, "-report"))
            pOpt->strReport = pszValue;
        else
            return false;
    }
    if (!pOpt->nWarmup)
        pOpt->nWarmup = pOpt->nSteps / 20 > 200 ? pOpt->nSteps / 20 : 200;
    return pOpt->nSteps > pOpt->nWarmup && pOpt->nEvery > 0;
}

/* The warm-up opens every kind once before the random part, so that everything the platform sets up
   lazily (window classes, fonts, the popup window) exists before the first counts that are judged. */
static StepKind PickKind(Random &rng, unsigned long nStep)
{
    if (nStep < S_KINDS)
        return (StepKind)nStep;
    unsigned uTotal = 0;
    for (const KindInfo &k : c_aKinds)
        uTotal += k.uWeight;
    unsigned u = rng.Next(uTotal);
    for (int i = 0; i < S_KINDS; ++i) {
        if (u < c_aKinds[i].uWeight)
            return (StepKind)i;
        u -= c_aKinds[i].uWeight;
    }
    return S_TIP;
}

static bool RunStep(StepKind kind, Random &rng, bool bFixedAllowed)
{
    switch (kind) {
    case S_TIP:
        return Send(WM_TRAYNOTIFY_MSG, TRAY_UID, WM_MOUSEMOVE);
    case S_LMENU:
        return StepMenu("left-button menu", WM_LBUTTONUP);
    case S_RMENU:
        return StepMenu("right-button menu", WM_RBUTTONUP);
    case S_DBLCLICK:
        return StepDialog("double click", WM_TRAYNOTIFY_MSG, TRAY_UID, WM_LBUTTONDBLCLK);
    case S_CHANGE:
        return StepDialog("change-bay command", WM_COMMAND, CMD_SWAP_BAY, 0);
    case S_UNLOAD:
        return StepDialog("unload command", WM_COMMAND, CMD_UNLOAD, 0);
    case S_ABOUT:
        return StepDialog("about command", WM_COMMAND, CMD_ABOUT, 0);
    case S_POWER:
        return Send(WM_POWERBROADCAST, c_aPowerEvents[rng.Next(4)], 0);
    case S_BAY:
    case S_TICK: {
        /* A swap request now and then; the poll tick then asks for a suspend, which Wine grants silently. */
        static const unsigned c_aDevices[] = { 0, 5, 0xFFFF };
        unsigned uStatus = rng.Next(4) == 0 ? 1 : 0;
        unsigned uDevice = c_aDevices[rng.Next(3)];
        if (bFixedAllowed && rng.Next(4) == 0)
            uDevice = 40;
        return kind == S_TICK ? SetBayAndWaitTick(uStatus, uDevice) : WriteBayState(uStatus, uDevice);
    }
    default:
        return false;
    }
}

int main(int argc, char **argv)
{
    Options opt;
    if (!Parse(argc, argv, &opt)) {
        fprintf(stderr, "usage: soak [-n STEPS] [-k EVERY] [-w WARMUP] [-seed S] [-fixed-from PERCENT] [-unixpid PID]\n"
                        "            [-serverpid PID] [-slack-handles N] [-slack-kib N] [-slack-rss-kib N]\n"
                        "            [-report PATH]\n");
        return 2;
    }
    const char *pszState = getenv("MOXU2_STATE");
    if (pszState)
        g_strStatePath = pszState;
    const char *pszLog = getenv("MOXU2_LOG");
    if (pszLog)
        g_strLogPath = pszLog;

    g_hMoxu = FindWindowA(NULL, c_szTitle);
    if (!g_hMoxu) {
        fprintf(stderr, "soak: no window titled \"%s\"\n", c_szTitle);
        return 1;
    }
    g_dwThread = GetWindowThreadProcessId(g_hMoxu, &g_dwPid);
    g_hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, g_dwPid);
    if (!g_hProcess) {
        fprintf(stderr, "soak: OpenProcess(%lu) failed: error %lu\n", g_dwPid, GetLastError());
        return 1;
    }

    EnumThreadWindows(g_dwThread, ListThreadWindowProc, 0);
    Random rng(opt.nSeed);
    std::vector<Sample> samples;
    unsigned long aCount[S_KINDS] = {};
    unsigned long nFixedStep = (unsigned long)((unsigned long long)opt.nSteps * opt.nFixedFrom / 100);
    size_t iWarm = 0;
    DWORD dwStart = GetTickCount();
    unsigned long nStep = 0;
    bool bOk = WriteBayState(0, 5);

    Sample sample;
    if (bOk && (bOk = TakeSample(opt, "start", 0, dwStart, &sample)))
        samples.push_back(sample);
    while (bOk && nStep < opt.nSteps) {
        StepKind kind = PickKind(rng, nStep);
        bOk = RunStep(kind, rng, nStep >= nFixedStep) && Answers();
        if (!bOk) {
            Fault("step %lu (%s) failed", nStep + 1, c_aKinds[kind].pszName);
            break;
        }
        ++aCount[kind];
        ++nStep;
        const char *pszLabel = NULL;
        if (nStep == opt.nWarmup)
            pszLabel = "after warm-up";
        else if (nStep == opt.nSteps)
            pszLabel = "end";
        else if (nStep % opt.nEvery == 0)
            pszLabel = "";
        if (pszLabel) {
            if (!(bOk = TakeSample(opt, pszLabel, nStep, dwStart, &sample)))
                break;
            if (nStep == opt.nWarmup)
                iWarm = samples.size();
            samples.push_back(sample);
            fprintf(stderr, "soak: %lu steps, %.1f s, private %llu KiB, %lu handles\n", nStep, sample.dSeconds,
                    sample.cbPrivate / 1024, (unsigned long)sample.dwHandles);
        }
    }
    double dSeconds = (GetTickCount() - dwStart) / 1000.0;
    /* Leave the bay as the run found it: a removable module, no request. */
    WriteBayState(0, 5);

    Out("# Soak run\n\n");
    Out("%lu of %lu steps (%lu messages sent or posted, answer checks and closing keys included) in %.1f s: "
        "%.0f steps/s, %.0f messages/s. Seed %lu, warm-up %lu steps, counts every %lu steps, fixed devices "
        "from step %lu.\n\n",
        nStep, opt.nSteps, g_nMessages, dSeconds, dSeconds > 0 ? nStep / dSeconds : 0.0,
        dSeconds > 0 ? g_nMessages / dSeconds : 0.0, opt.nSeed, opt.nWarmup, opt.nEvery, nFixedStep);
    Out("| Steps by kind |");
    for (int i = 0; i < S_KINDS; ++i)
        Out(" %s |", c_aKinds[i].pszName);
    Out("\n|---|");
    for (int i = 0; i < S_KINDS; ++i)
        Out("---:|");
    Out("\n| count |");
    for (int i = 0; i < S_KINDS; ++i)
        Out(" %lu |", aCount[i]);
    Out("\n\n");

    Out("| Checkpoint | Step | s | Private KiB | Working set KiB | Handles (count) | Handles (list) | GDI | USER | "
        "USER table | Windows | VmRSS KiB | RssAnon KiB | wineserver VmRSS KiB |\n");
    Out("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Sample &s : samples) {
        Out("| %s | %lu | %.1f | %llu | %llu | %lu | %s | %lu | %lu | %s | %ld | %s | %s | %s |\n", s.strLabel.c_str(),
            s.nStep, s.dSeconds, s.cbPrivate / 1024, s.cbWorkingSet / 1024, (unsigned long)s.dwHandles,
            Kib(s.nListed).c_str(), (unsigned long)s.dwGdi, (unsigned long)s.dwUser, Kib(s.nUserTable).c_str(), s.nWindows, Kib(s.nVmRssKib).c_str(),
            Kib(s.nRssAnonKib).c_str(), Kib(s.nServerRssKib).c_str());
    }
    Out("\n");
    Out("Private and working set: GetProcessMemoryInfo (PrivateUsage, WorkingSetSize). Handles (count): "
        "GetProcessHandleCount. Handles (list): the entries of the system's handle list owned by the program. "
        "GDI, USER: GetGuiResources. USER table: the slots in use in the window manager's handle table "
        "(windows, menus, icons of every process on the desktop), sounded out with menus of our own. Windows: the windows of the program's thread, controls included. VmRSS, "
        "RssAnon: /proc/PID/status of the program's Unix process; wineserver VmRSS: of the server that holds "
        "the windows and handles. All read from this process.%s%s\n\n",
        SameAt(samples, PrivateKib, RssAnon) ? " Private bytes equal RssAnon at every checkpoint: the platform "
                                               "reports the resident anonymous memory." : "",
        SameAt(samples, WorkingSetKib, VmRss) ? " The working set equals VmRSS at every checkpoint." : "");
    Out("Windows of the program's thread at the start: %s.\n\n", g_strStartWindows.c_str());

    std::vector<Check> checks;
    if (!g_strFault.empty())
        checks.push_back({ "the run stopped: " + g_strFault, false });
    else
        checks.push_back({ "the program answered every step and every WM_NULL within " + std::to_string(ANSWER_MS) + " ms",
                           true });
    if (bOk && iWarm > 0 && samples.size() > iWarm) {
        checks.push_back(JudgeFlat("private bytes", "KiB", samples, iWarm, PrivateKib, opt.nSlackKib, PAGE_KIB));
        if (ListedHandles(samples[iWarm]) >= 0)
            checks.push_back(JudgeFlat("handles in the system's list", "", samples, iWarm, ListedHandles,
                                       opt.nSlackHandles));
        if (AllZero(samples, Handles))
            checks.push_back({ "GetProcessHandleCount answered 0 at every checkpoint (not counted for another "
                               "process by this platform), not judged", true });
        else
            checks.push_back(JudgeFlat("GetProcessHandleCount", "", samples, iWarm, Handles, opt.nSlackHandles));
        checks.push_back(JudgeFlat("windows of the thread", "", samples, iWarm, Windows, 0));
        if (UserTable(samples[iWarm]) >= 0)
            checks.push_back(JudgeFlat("USER table slots in use", "", samples, iWarm, UserTable, opt.nSlackHandles));
        if (opt.nUnixPid && VmRss(samples[iWarm]) >= 0)
            checks.push_back(JudgeFlat("VmRSS", "KiB", samples, iWarm, VmRss, opt.nSlackRssKib, PAGE_KIB));
        if (AllZero(samples, GdiObjects) && AllZero(samples, UserObjects))
            checks.push_back({ "GDI and USER objects: GetGuiResources answered 0 at every checkpoint "
                               "(not counted by this platform), not judged", true });
        else {
            checks.push_back(JudgeFlat("GDI objects", "", samples, iWarm, GdiObjects, opt.nSlackHandles));
            checks.push_back(JudgeFlat("USER objects", "", samples, iWarm, UserObjects, opt.nSlackHandles));
        }
    }
    bool bPass = bOk;
    for (const Check &c : checks) {
        Out("- %s %s\n", c.bOk ? "ok:" : "**FAIL**:", c.strText.c_str());
        bPass = bPass && c.bOk;
    }
    Out("\nVerdict: %s\n", bPass ? "PASS" : "FAIL");

    fputs(g_strReport.c_str(), stdout);
    if (!opt.strReport.empty()) {
        FILE *pFile = fopen(opt.strReport.c_str(), "wb");
        if (!pFile || fputs(g_strReport.c_str(), pFile) < 0) {
            fprintf(stderr, "soak: cannot write %s\n", opt.strReport.c_str());
            bPass = false;
        }
        if (pFile)
            fclose(pFile);
    }
    CloseHandle(g_hProcess);
    return bPass ? 0 : 1;
}
