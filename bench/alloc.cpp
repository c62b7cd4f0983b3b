/* Counts the heap allocations the program itself makes, action by action, on the host build,
   and the controller calls and timer wake-ups that go with them.

   How an allocation is told to be the program's: the program's sources are built into a
   shared object of their own (moxu_bench_prog), the stand-in and this harness into the
   executable. Every malloc, calloc and realloc of the process passes through the hooks
   below; while an action is measured, a hook walks the stack and looks for the innermost
   frame that lies either in the program's object or in the executable, skipping the C and
   C++ libraries (operator new, string internals). A program frame counts the allocation,
   an executable frame (the stand-in working for a Win32 call, or this harness) does not.
   So the stand-in's own bookkeeping never counts, and an allocation the program makes
   through the standard library (operator new, realloc) does.

   Output, one fact a line, for tools/bench.sh:
     timers MODE WAKEUPS_PER_S
     startup ALLOCS CALLS
     action NAME ALLOCS,ALLOCS,... CALLS,CALLS,...     one figure per round */
#include "moxu.h"
#include "stub.h"

#include <dlfcn.h>
#include <execinfo.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

extern "C" {
void *__libc_malloc(size_t cb);
void *__libc_calloc(size_t n, size_t cb);
void *__libc_realloc(void *p, size_t cb);
}

namespace {

bool s_bCounting = false;
bool s_bInHook = false;
int s_nAllocs = 0;
const void *s_pProgBase = nullptr;
const void *s_pExeBase = nullptr;

/* The innermost frame in the program or in the executable decides; frames 0 to 2 are
   this function, NoteAllocation and the hook. */
__attribute__((noinline)) bool CalledFromProgram()
{
    void *apFrames[64];
    int n = backtrace(apFrames, 64);
    for (int i = 3; i < n; ++i) {
        Dl_info info;
        if (!dladdr(apFrames[i], &info))
            continue;
        if (info.dli_fbase == s_pProgBase)
            return true;
        if (info.dli_fbase == s_pExeBase)
            return false;
    }
    return false;
}

__attribute__((noinline)) void NoteAllocation()
{
    if (!s_bCounting || s_bInHook)
        return;
    s_bInHook = true;
    if (CalledFromProgram())
        ++s_nAllocs;
    s_bInHook = false;
}

}

extern "C" {
__attribute__((noinline)) void *malloc(size_t cb)
{
    NoteAllocation();
    return __libc_malloc(cb);
}
__attribute__((noinline)) void *calloc(size_t n, size_t cb)
{
    NoteAllocation();
    return __libc_calloc(n, cb);
}
__attribute__((noinline)) void *realloc(void *p, size_t cb)
{
    NoteAllocation();
    return __libc_realloc(p, cb);
}
}

namespace {

const void *ObjectBase(const void *pAddress)
{
    Dl_info info;
    return dladdr(pAddress, &info) ? info.dli_fbase : nullptr;
}

int ControllerCalls()
{
    int n = 0;
    for (const std::string &s : stub::Trace())
        n += s.compare(0, 3, "Thk") == 0;
    return n;
}

struct Action {
    const char *pszName;
    std::function<void(HWND)> fnStart;
    std::vector<int> allocs;
    std::vector<int> calls;
};

HWND MainWindow()
{
    return stub::FindByTitle(MOXU_WINDOW_NAME);
}

void PostTray(HWND hWnd, LPARAM lMouse)
{
    stub::Post(hWnd, WM_TRAYNOTIFY, TRAY_ICON_UID, lMouse);
}

/* The timers fire as when they are due; without a timer (system mode 0) a null message
   keeps the loop turning so that the run goes on. */
void PollTick(HWND hWnd)
{
    if (stub::Timers().empty())
        stub::Post(hWnd, WM_NULL, 0, 0);
    else
        stub::FireTimers();
}

void OpenDialog(HWND hWnd, int nCommand, int nClose)
{
    stub::QueueCommand(nClose);
    stub::Post(hWnd, WM_COMMAND, (WPARAM)nCommand, 0);
}

std::string Join(const std::vector<int> &v)
{
    std::string s;
    for (size_t i = 0; i < v.size(); ++i)
        s += (i ? "," : "") + std::to_string(v[i]);
    return s;
}

}

int main(int argc, char **argv)
{
    DWORD dwMode = (argc > 1) ? strtoul(argv[1], nullptr, 0) : 1;
    int nRounds = (argc > 2) ? atoi(argv[2]) : 3;

    /* The unwinder loads itself at its first use; that must not happen inside a hook. */
    void *apPrime[4];
    backtrace(apPrime, 4);
    s_pProgBase = ObjectBase((const void *)&MainWndProc);
    s_pExeBase = ObjectBase((const void *)&main);
    if (!s_pProgBase || !s_pExeBase || s_pProgBase == s_pExeBase) {
        fprintf(stderr, "alloc: the program must be in its own shared object\n");
        return 1;
    }

    stub::Reset();
    stub::Bay().mode = dwMode;
    stub::SetPopupHook([](HMENU) -> UINT { return 0; });  /* shown, then dismissed */

    /* The about dialog first: the captions' buffer grows at the first dialog of any kind. */
    std::vector<Action> actions = {
        { "dialog_about", [](HWND h) { OpenDialog(h, ID_ABOUT, IDOK); }, {}, {} },
        { "dialog_change_bay", [](HWND h) { OpenDialog(h, ID_SWAP_BAY, IDCANCEL); }, {}, {} },
        { "dialog_unload", [](HWND h) { OpenDialog(h, ID_UNLOAD, IDCANCEL); }, {}, {} },
        { "poll_tick", [](HWND h) { PollTick(h); }, {}, {} },
        { "tooltip_refresh", [](HWND h) { PostTray(h, WM_MOUSEMOVE); }, {}, {} },
        { "menu_left", [](HWND h) { PostTray(h, WM_LBUTTONUP); }, {}, {} },
        { "menu_right", [](HWND h) { PostTray(h, WM_RBUTTONUP); }, {}, {} },
    };

    size_t nStep = 0;
    Action *pCurrent = nullptr;
    int nStartAllocs = -1, nStartCalls = -1;
    double dWakeups = 0;
    stub::SetIdle([&] {
        s_bCounting = false;
        if (nStartAllocs < 0) {
            nStartAllocs = s_nAllocs;
            nStartCalls = ControllerCalls();
            for (const stub::TimerInfo &t : stub::Timers())
                dWakeups += t.uElapse ? 1000.0 / t.uElapse : 0;
        }
        if (pCurrent) {
            pCurrent->allocs.push_back(s_nAllocs);
            pCurrent->calls.push_back(ControllerCalls());
        }
        HWND hWnd = MainWindow();
        if (!hWnd)
            return;
        if (nStep >= actions.size() * (size_t)nRounds) {
            pCurrent = nullptr;
            stub::Post(hWnd, WM_CLOSE, 0, 0);
            return;
        }
        pCurrent = &actions[nStep++ % actions.size()];
        stub::ClearTrace();
        s_nAllocs = 0;
        s_bCounting = true;
        pCurrent->fnStart(hWnd);
    });

    s_nAllocs = 0;
    s_bCounting = true;
    int nExit = WinMain(stub::Instance(), NULL, (LPSTR) "", 1);
    s_bCounting = false;
    if (nExit != 0 || stub::Starved()) {
        fprintf(stderr, "alloc: the program did not end normally (exit %#x)\n", nExit);
        return 1;
    }

    printf("timers %lu %g\n", (unsigned long)dwMode, dWakeups);
    printf("startup %d %d\n", nStartAllocs, nStartCalls);
    for (const Action &a : actions)
        printf("action %s %s %s\n", a.pszName, Join(a.allocs).c_str(), Join(a.calls).c_str());
    return 0;
}
