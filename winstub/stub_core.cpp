/* The stand-in's bookkeeping: the trace, scripted results, windows, the message queue and timers. */
#include "stub_internal.h"

#include <stdarg.h>
#include <stdio.h>

namespace stub {

World &W()
{
    static World world;
    return world;
}

std::string Fmt(const char *pszFormat, ...)
{
    char sz[1024];
    va_list va;
    va_start(va, pszFormat);
    vsnprintf(sz, sizeof(sz), pszFormat, va);
    va_end(va);
    return sz;
}

std::string Quote(const char *psz)
{
    if (!psz)
        return "NULL";
    std::string s = "\"";
    for (const unsigned char *p = (const unsigned char *)psz; *p; ++p) {
        if (*p == '\n')
            s += "\\n";
        else if (*p == '"' || *p < 0x20 || *p >= 0x7F)
            s += Fmt("\\x%02X", *p);
        else
            s += (char)*p;
    }
    return s + "\"";
}

std::string Name(const void *pfn)
{
    if (!pfn)
        return "NULL";
    auto it = W().fnNames.find(pfn);
    return it != W().fnNames.end() ? it->second : std::string("fn");
}

bool Record(const char *pszCall, const std::string &args, long long failValue, long long *pValue, bool bLoop)
{
    World &w = W();
    int index = w.callIndex++;
    int occurrence = w.occurrences[pszCall]++;
    w.callNames.push_back(pszCall);
    if (!bLoop || w.traceLoop)
        w.trace.push_back(std::string(pszCall) + "(" + args + ")");
    for (const Injection &inj : w.injections) {
        if (inj.call == pszCall && (inj.nth < 0 || inj.nth == occurrence)) {
            *pValue = inj.value;
            return true;
        }
    }
    if (index == w.failAt) {
        w.failHit = true;
        w.failCall = pszCall;
        *pValue = failValue;
        w.trace.push_back(std::string("(failed: ") + pszCall + ")");
        return true;
    }
    return false;
}

void Note(const std::string &line)
{
    W().trace.push_back("(" + line + ")");
}

/* ---- Handles ---- */

HWND MakeWindow(const std::string &label)
{
    World &w = W();
    uintptr_t h = HANDLE_WINDOW + (++w.nextWindow);
    Win &win = w.wins[h];
    win.label = label;
    return (HWND)h;
}

Win *FindWin(HWND hWnd)
{
    auto it = W().wins.find((uintptr_t)hWnd);
    if (it == W().wins.end() || !it->second.alive)
        return nullptr;
    return &it->second;
}

std::string Label(HWND hWnd)
{
    if (!hWnd)
        return "NULL";
    if ((uintptr_t)hWnd == HANDLE_DESKTOP)
        return "DESKTOP";
    auto it = W().wins.find((uintptr_t)hWnd);
    if (it != W().wins.end())
        return it->second.label;
    return Fmt("hwnd:%#lx", (unsigned long)(uintptr_t)hWnd);
}

std::string InstLabel(HINSTANCE hInst)
{
    if (hInst == Instance())
        return "HINST";
    return hInst ? Fmt("hinst:%#lx", (unsigned long)(uintptr_t)hInst) : std::string("NULL");
}

std::string ResName(LPCSTR psz)
{
    if (IS_INTRESOURCE(psz))
        return Fmt("%u", (unsigned)(uintptr_t)psz);
    return Quote(psz);
}

static std::string DialogMessageText(UINT uMsg, WPARAM wParam)
{
    static const struct {
        UINT msg;
        const char *name;
        bool bShowWParam;
    } names[] = {
        { WM_DESTROY, "WM_DESTROY", false },       { WM_CLOSE, "WM_CLOSE", false },
        { WM_SETFONT, "WM_SETFONT", false },       { WM_NCDESTROY, "WM_NCDESTROY", false },
        { WM_INITDIALOG, "WM_INITDIALOG", false }, { WM_COMMAND, "WM_COMMAND", true },
        { WM_SYSCOMMAND, "WM_SYSCOMMAND", true },  { WM_TIMER, "WM_TIMER", true },
    };
    for (const auto &n : names) {
        if (n.msg == uMsg)
            return n.bShowWParam ? Fmt("%s %#lx", n.name, (unsigned long)wParam) : std::string(n.name);
    }
    return Fmt("%#x %#lx", uMsg, (unsigned long)wParam);
}

LRESULT CallWindow(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    Win *win = FindWin(hWnd);
    if (!win)
        return 0;
    if (win->dialog) {
        if (W().traceDialogMessages)
            Note(win->label + " <- " + DialogMessageText(uMsg, wParam));
        return win->dlgproc ? (LRESULT)win->dlgproc(hWnd, uMsg, wParam, lParam) : 0;
    }
    if (win->proc)
        return win->proc(hWnd, uMsg, wParam, lParam);
    return 0;
}

static void KillTimersOf(HWND hWnd)
{
    std::vector<TimerInfo> &timers = W().timers;
    for (size_t i = 0; i < timers.size();) {
        if (timers[i].hWnd == hWnd)
            timers.erase(timers.begin() + i);
        else
            ++i;
    }
}

/* Owned windows go first, then the window gets WM_DESTROY, then its children die. */
void DestroyTree(HWND hWnd)
{
    Win *win = FindWin(hWnd);
    if (!win || win->destroying)
        return;
    win->destroying = true;
    for (auto &kv : W().wins) {
        if (kv.second.alive && kv.second.owner == hWnd && !kv.second.destroying)
            DestroyTree((HWND)kv.first);
    }
    CallWindow(hWnd, WM_DESTROY, 0, 0);
    for (auto &kv : W().wins) {
        if (kv.second.alive && kv.second.parent == hWnd)
            kv.second.alive = false;
    }
    CallWindow(hWnd, WM_NCDESTROY, 0, 0);
    KillTimersOf(hWnd);
    win = FindWin(hWnd);
    if (win)
        win->alive = false;
    if (W().focus == hWnd)
        W().focus = nullptr;
}

/* ---- Test-facing ---- */

void Reset()
{
    World &w = W();
    w = World();
    w.desktop = RECT{ 0, 0, 1024, 768 };
    ResetResources();
}

HINSTANCE Instance()
{
    return (HINSTANCE)(uintptr_t)HANDLE_INSTANCE;
}

const std::vector<std::string> &Trace()
{
    return W().trace;
}

void ClearTrace()
{
    W().trace.clear();
}

void NameFunction(const void *pfn, const char *pszName)
{
    W().fnNames[pfn] = pszName;
}

void TraceLoop(bool bOn)
{
    W().traceLoop = bOn;
}

void TraceDialogMessages(bool bOn)
{
    W().traceDialogMessages = bOn;
}

void Inject(const std::string &call, int nth, long long value)
{
    W().injections.push_back(Injection{ call, nth, value });
}

void FailCallAt(int index)
{
    W().failAt = index;
}

int CallCount()
{
    return W().callIndex;
}

std::vector<std::string> CallNames()
{
    return W().callNames;
}

bool FailureHit(std::string *pCall)
{
    if (pCall)
        *pCall = W().failCall;
    return W().failHit;
}

HWND AddForeignWindow(const char *pszClass, const char *pszTitle)
{
    HWND h = MakeWindow(Fmt("F%d", ++W().nextForeign));
    Win *win = FindWin(h);
    win->cls = pszClass;
    win->title = pszTitle;
    win->foreign = true;
    return h;
}

HWND FindByTitle(const char *pszTitle)
{
    for (auto &kv : W().wins) {
        if (kv.second.alive && !kv.second.parent && kv.second.title == pszTitle)
            return (HWND)kv.first;
    }
    return nullptr;
}

bool IsAlive(HWND hWnd)
{
    return FindWin(hWnd) != nullptr;
}

bool IsVisible(HWND hWnd)
{
    Win *win = FindWin(hWnd);
    return win && win->visible;
}

std::string ClassName(HWND hWnd)
{
    Win *win = FindWin(hWnd);
    return win ? win->cls : std::string();
}

LRESULT Send(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return CallWindow(hWnd, uMsg, wParam, lParam);
}

void Post(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    MSG msg;
    memset(&msg, 0, sizeof(msg));
    msg.hwnd = hWnd;
    msg.message = uMsg;
    msg.wParam = wParam;
    msg.lParam = lParam;
    W().queue.push_back(msg);
}

void SetIdle(std::function<void()> fnIdle)
{
    W().idle = std::move(fnIdle);
}

bool Starved()
{
    return W().starved;
}

void FireTimers()
{
    std::vector<TimerInfo> timers = W().timers;
    for (const TimerInfo &t : timers)
        Post(t.hWnd, WM_TIMER, t.id, (LPARAM)t.pfn);
}

static LRESULT Dispatch(const MSG &msg)
{
    if (msg.message == WM_TIMER && msg.lParam) {
        /* Like the system, call a timer procedure only while its timer lives. */
        for (const TimerInfo &t : W().timers) {
            if (t.hWnd == msg.hwnd && t.id == msg.wParam && (LPARAM)t.pfn == msg.lParam) {
                t.pfn(msg.hwnd, WM_TIMER, msg.wParam, 0);
                return 0;
            }
        }
        return 0;
    }
    return CallWindow(msg.hwnd, msg.message, msg.wParam, msg.lParam);
}

void PumpPosted()
{
    World &w = W();
    while (!w.queue.empty() && !w.quitPosted) {
        MSG msg = w.queue.front();
        w.queue.pop_front();
        Dispatch(msg);
    }
}

std::vector<TimerInfo> Timers()
{
    return W().timers;
}

Live LiveCounts()
{
    World &w = W();
    Live live = { 0, (int)w.timers.size(), 0, 0, (int)w.openKeys.size() };
    for (auto &kv : w.wins)
        live.windows += kv.second.alive && !kv.second.foreign;
    for (auto &kv : w.menus)
        live.menus += kv.second.alive;
    for (auto &kv : w.icons)
        live.icons += kv.second;
    return live;
}

std::string ToString(const Live &live)
{
    return Fmt("windows %d, timers %d, menus %d, icons %d, keys %d", live.windows, live.timers, live.menus,
               live.icons, live.keys);
}

BayState &Bay()
{
    return W().bay;
}

}

using namespace stub;

/* ---- Windows ---- */

HWND FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName)
{
    long long v;
    if (Record("FindWindowA", Quote(lpClassName) + ", " + Quote(lpWindowName), 0, &v))
        return (HWND)(uintptr_t)v;
    for (auto &kv : W().wins) {
        const Win &win = kv.second;
        if (!win.alive || win.parent)
            continue;
        if (lpClassName && win.cls != lpClassName)
            continue;
        if (lpWindowName && win.title != lpWindowName)
            continue;
        return (HWND)kv.first;
    }
    return nullptr;
}

ATOM RegisterClassA(const WNDCLASSA *lpWndClass)
{
    long long v;
    if (Record("RegisterClassA", Quote(lpWndClass->lpszClassName), 0, &v))
        return (ATOM)v;
    World &w = W();
    std::string name = lpWndClass->lpszClassName;
    if (w.classes.count(name))
        return 0;   /* already registered */
    w.classes[name] = *lpWndClass;
    w.classNames[name] = name;
    w.classes[name].lpszClassName = w.classNames[name].c_str();
    return (ATOM)(0xC000 + w.classes.size());
}

const WNDCLASSA *stub::RegisteredClass(const char *pszName)
{
    auto it = W().classes.find(pszName);
    return it == W().classes.end() ? nullptr : &it->second;
}

static std::string CoordText(int n)
{
    return n == CW_USEDEFAULT ? std::string("CW_USEDEFAULT") : Fmt("%d", n);
}

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int x, int y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, void *lpParam)
{
    long long v;
    std::string args = Fmt("%#x, ", (unsigned)dwExStyle) + Quote(lpClassName) + ", " + Quote(lpWindowName) +
                       Fmt(", %#x, ", (unsigned)dwStyle) + CoordText(x) + ", " + CoordText(y) + ", " +
                       CoordText(nWidth) + ", " + CoordText(nHeight) + ", " + Label(hWndParent) + ", " +
                       (hMenu ? "menu" : "NULL") + ", " + InstLabel(hInstance) + ", " + (lpParam ? "param" : "NULL");
    if (Record("CreateWindowExA", args, 0, &v))
        return (HWND)(uintptr_t)v;
    World &w = W();
    auto it = w.classes.find(lpClassName ? lpClassName : "");
    if (it == w.classes.end())
        return nullptr;
    HWND h = MakeWindow(Fmt("W%d", ++w.nextTop));
    Win *win = FindWin(h);
    win->cls = lpClassName;
    win->title = lpWindowName ? lpWindowName : "";
    win->proc = it->second.lpfnWndProc;
    win->parent = hWndParent;
    win->visible = (dwStyle & WS_VISIBLE) != 0;
    win->rect = RECT{ 0, 0, 640, 480 };
    /* A refused WM_NCCREATE leaves a window that never lived: only WM_NCDESTROY follows.
       A refused WM_CREATE destroys it the ordinary way. */
    if (!CallWindow(h, WM_NCCREATE, 0, 0)) {
        CallWindow(h, WM_NCDESTROY, 0, 0);
        FindWin(h)->alive = false;
        return nullptr;
    }
    if (CallWindow(h, WM_CREATE, 0, 0) == -1) {
        DestroyTree(h);
        return nullptr;
    }
    return h;
}

BOOL DestroyWindow(HWND hWnd)
{
    long long v;
    if (Record("DestroyWindow", Label(hWnd), 0, &v))
        return (BOOL)v;
    Win *win = FindWin(hWnd);
    if (!win || win->foreign)
        return FALSE;
    DestroyTree(hWnd);
    return TRUE;
}

/* How the trace shows a message handed to a call. */
static std::string MessageArgs(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return Label(hWnd) + Fmt(", %#x, %#lx, %#lx", uMsg, (unsigned long)wParam, (unsigned long)lParam);
}

LRESULT DefWindowProcA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    long long v;
    if (Record("DefWindowProcA", MessageArgs(hWnd, uMsg, wParam, lParam), 0, &v))
        return (LRESULT)v;
    switch (uMsg) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyTree(hWnd);
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE)
            CallWindow(hWnd, WM_CLOSE, 0, 0);
        return 0;
    case WM_POWERBROADCAST:
        /* Grants every query. */
        return TRUE;
    case WM_DEVICECHANGE:
        return TRUE;
    }
    return 0;
}

void PostQuitMessage(int nExitCode)
{
    long long v;
    if (Record("PostQuitMessage", Fmt("%d", nExitCode), 0, &v))
        return;
    W().quitPosted = true;
    W().quitCode = nExitCode;
}

BOOL PostMessageA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    long long v;
    if (Record("PostMessageA", MessageArgs(hWnd, uMsg, wParam, lParam), 0, &v))
        return (BOOL)v;
    Post(hWnd, uMsg, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageA(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    long long v;
    if (Record("SendMessageA", MessageArgs(hWnd, uMsg, wParam, lParam), 0, &v))
        return (LRESULT)v;
    return CallWindow(hWnd, uMsg, wParam, lParam);
}

BOOL GetMessageA(MSG *lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    long long v;
    if (Record("GetMessageA", Label(hWnd) + Fmt(", %u, %u", wMsgFilterMin, wMsgFilterMax), -1, &v, true))
        return (BOOL)v;     /* a failed call leaves the record as it was */
    World &w = W();
    for (;;) {
        if (!w.queue.empty()) {
            *lpMsg = w.queue.front();
            w.queue.pop_front();
            return lpMsg->message != WM_QUIT;
        }
        if (w.quitPosted) {
            w.quitPosted = false;
            memset(lpMsg, 0, sizeof(*lpMsg));
            lpMsg->message = WM_QUIT;
            lpMsg->wParam = (WPARAM)(unsigned)w.quitCode;
            return FALSE;
        }
        if (w.idle && !w.inIdle) {
            w.inIdle = true;
            size_t before = w.idleRuns++;
            (void)before;
            w.idle();
            w.inIdle = false;
            if (!w.queue.empty() || w.quitPosted)
                continue;
        }
        /* Nothing will ever arrive: end the run instead of hanging the test. */
        w.starved = true;
        Note("message queue starved");
        memset(lpMsg, 0, sizeof(*lpMsg));
        lpMsg->message = WM_QUIT;
        lpMsg->wParam = 0xDEAD;
        return FALSE;
    }
}

BOOL TranslateMessage(const MSG *lpMsg)
{
    long long v;
    if (Record("TranslateMessage", Fmt("%#x", lpMsg->message), 0, &v, true))
        return (BOOL)v;
    return FALSE;
}

LRESULT DispatchMessageA(const MSG *lpMsg)
{
    long long v;
    if (Record("DispatchMessageA", Label(lpMsg->hwnd) + Fmt(", %#x", lpMsg->message), 0, &v, true))
        return (LRESULT)v;
    return Dispatch(*lpMsg);
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc)
{
    long long v;
    if (Record("SetTimer", Label(hWnd) + Fmt(", %lu, %u, ", (unsigned long)nIDEvent, uElapse) + Name((const void *)lpTimerFunc), 0, &v))
        return (UINT_PTR)v;
    if (!FindWin(hWnd))
        return 0;
    for (TimerInfo &t : W().timers) {
        if (t.hWnd == hWnd && t.id == nIDEvent) {
            t.uElapse = uElapse;
            t.pfn = lpTimerFunc;
            return nIDEvent;
        }
    }
    W().timers.push_back(TimerInfo{ hWnd, nIDEvent, uElapse, lpTimerFunc });
    return nIDEvent;
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent)
{
    long long v;
    if (Record("KillTimer", Label(hWnd) + Fmt(", %lu", (unsigned long)uIDEvent), 0, &v))
        return (BOOL)v;
    std::vector<TimerInfo> &timers = W().timers;
    for (size_t i = 0; i < timers.size(); ++i) {
        if (timers[i].hWnd == hWnd && timers[i].id == uIDEvent) {
            timers.erase(timers.begin() + i);
            return TRUE;
        }
    }
    return FALSE;
}

/* ---- Power and the rest of the kernel ---- */

BOOL SetSystemPowerState(BOOL fSuspend, BOOL fForce)
{
    long long v;
    if (Record("SetSystemPowerState", Fmt("%d, %d", fSuspend, fForce), 0, &v))
        return (BOOL)v;
    return W().powerHook ? W().powerHook() : TRUE;
}

void stub::SetPowerHook(std::function<BOOL()> fnHook)
{
    W().powerHook = std::move(fnHook);
}

void Sleep(DWORD dwMilliseconds)
{
    long long v;
    Record("Sleep", Fmt("%u", (unsigned)dwMilliseconds), 0, &v);
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...)
{
    /* The real one writes at most 1024 bytes. */
    va_list va;
    va_start(va, lpFmt);
    int n = vsnprintf(lpOut, 1024, lpFmt, va);
    va_end(va);
    return n;
}

/* ---- The bay controller ---- */

static DWORD BayAnswer(const char *pszCall, DWORD dwValue)
{
    long long v;
    if (Record(pszCall, "", 0, &v))
        return (DWORD)v;
    return (dwValue & 0xFFFF) | W().bay.upper;
}

extern "C" {

DWORD ThkGetSwapBayDevice(void)
{
    return BayAnswer("ThkGetSwapBayDevice", W().bay.device);
}

DWORD ThkGetSwapBayStatus(void)
{
    return BayAnswer("ThkGetSwapBayStatus", W().bay.status);
}

DWORD ThkGetCurSystemMode(void)
{
    return BayAnswer("ThkGetCurSystemMode", W().bay.mode);
}

DWORD ThkGetSwapCapability(void)
{
    return BayAnswer("ThkGetSwapCapability", W().bay.capability);
}

DWORD ThkDisableSwap(void)
{
    long long v;
    if (Record("ThkDisableSwap", "", 0, &v))
        return (DWORD)v;
    return 1;
}

DWORD WINAPI ThkEnableDisableDevice(DWORD dwEnable, LPCSTR pszClass, LPCSTR pszDevKey, DWORD dwFlags)
{
    long long v;
    if (Record("ThkEnableDisableDevice", Fmt("%u, ", (unsigned)dwEnable) + Quote(pszClass) + ", " +
                                             Quote(pszDevKey) + Fmt(", %#x", (unsigned)dwFlags), 0, &v))
        return (DWORD)v;
    return W().bay.enableResult;
}

}
