/* What a host test sees of our Win32 stand-in: the recorded calls, scripted results, and the simulated desktop. */
#ifndef MOXU_STUB_H
#define MOXU_STUB_H

#include "winstub.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace stub {

/* A fresh world: no windows, timers, menus, icons or open keys; an empty registry;
   an empty bay in system mode 1; English; nothing injected; an empty trace. */
void Reset();

/* printf into a string, as the trace's lines are made. */
std::string Fmt(const char *pszFormat, ...) __attribute__((format(printf, 1, 2)));

/* The instance handle tests pass to WinMain; the trace calls it HINST. */
HINSTANCE Instance();

/* ---- The trace: one line per call the program makes, in order ----
   Handles are named: W1.. windows, D1.. dialogs, D1.1001 a control, M1.. menus,
   I1.. icons, K1.. keys; functions by the names given here. */
const std::vector<std::string> &Trace();
void ClearTrace();
void NameFunction(const void *pfn, const char *pszName);
/* GetMessageA, TranslateMessage and DispatchMessageA are left out unless asked for. */
void TraceLoop(bool bOn);

/* ---- Scripted results ----
   Inject: the nth call (0-based) of that name, or every call with nth = -1, returns
   value instead of doing its work. FailCallAt: the call with that global index
   (counting every recorded call from 0) fails with its usual failure value. */
void Inject(const std::string &call, int nth, long long value);
void FailCallAt(int index);
int CallCount();
/* The call names recorded so far with their global index, for systematic failing. */
std::vector<std::string> CallNames();
/* Whether a FailCallAt took effect, and on which call. */
bool FailureHit(std::string *pCall = nullptr);

/* ---- Windows and messages ---- */
/* A copy of what RegisterClassA received for that class, or NULL. */
const WNDCLASSA *RegisteredClass(const char *pszName);
HWND AddForeignWindow(const char *pszClass, const char *pszTitle);
HWND FindByTitle(const char *pszTitle);
bool IsAlive(HWND hWnd);
bool IsVisible(HWND hWnd);
std::string ClassName(HWND hWnd);
std::string Label(HWND hWnd);
LRESULT Send(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
void Post(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
/* Called when the message loop finds the queue empty; it may post messages or fire
   timers. Without one, or when it posts nothing, the loop is starved: GetMessageA
   then ends the run with exit code 0xDEAD so that no test can hang. */
void SetIdle(std::function<void()> fnIdle);
bool Starved();
/* Posts one WM_TIMER for every live timer, as the system does when they are due. */
void FireTimers();
/* Dispatches what is posted now, as a nested modal loop does. */
void PumpPosted();

struct TimerInfo {
    HWND hWnd;
    UINT_PTR id;
    UINT uElapse;
    TIMERPROC pfn;
};
std::vector<TimerInfo> Timers();

/* ---- Live resources ---- */
struct Live {
    int windows;    /* program windows, dialogs and their controls included */
    int timers;
    int menus;      /* every menu object, popups included */
    int icons;
    int keys;
    bool operator==(const Live &o) const
    {
        return windows == o.windows && timers == o.timers && menus == o.menus && icons == o.icons && keys == o.keys;
    }
};
Live LiveCounts();
std::string ToString(const Live &live);

/* ---- The bay controller ---- */
struct BayState {
    DWORD device = 0;
    DWORD status = 0;
    DWORD mode = 1;
    DWORD capability = 1;
    DWORD upper = 0;        /* OR-ed into the four reading calls' results */
    DWORD enableResult = 1;
};
BayState &Bay();

/* ---- Power ---- */
/* SetSystemPowerState answers TRUE unless injected, or what the hook answers: the hook runs
   inside the call, where the system would broadcast its power events. */
void SetPowerHook(std::function<BOOL()> fnHook);

/* ---- Registry under HKEY_DYN_DATA ---- */
void RegCreateKey(const std::string &path);
void RegSetValue(const std::string &keyPath, const std::string &name, const std::vector<BYTE> &data);
void RegSetString(const std::string &keyPath, const std::string &name, const std::string &text);
void RegSetDword(const std::string &keyPath, const std::string &name, DWORD value);

/* ---- Resources and language ---- */
/* 1033 (code page 1252) or 1041 (code page 932). */
void SetLanguage(unsigned lang);
unsigned CodePage();
/* Missing resources: LoadStringA, LoadIconA, LoadMenuA and DialogBoxParamA fail for them. */
void HideResource(unsigned type, unsigned id);

/* ---- Dialogs ----
   DialogBoxParamA runs the dialog procedure through WM_SETFONT and WM_INITDIALOG,
   then takes the queued user actions one by one, dispatching what is posted between
   them, until EndDialog or the dialog's destruction. With no action left it ends
   the dialog as the close box would not: it records "(no user action left)" and
   returns -1, so that no test can hang. */
void QueueCommand(int id, int code = 0);        /* WM_COMMAND from a control */
void QueueKey(int vk);                          /* Enter: the default button; Esc: IDCANCEL */
void QueueCloseBox();                           /* WM_SYSCOMMAND SC_CLOSE, WM_CLOSE, then IDCANCEL */
void QueueMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
void QueueRun(std::function<void()> fn);        /* test code between two dialog messages */
size_t ActionsLeft();
/* Drops the user actions still queued (a dialog that never opened leaves its actions
   behind; the next dialog must not take them) and says how many there were. */
size_t ClearActions();
/* Marks in the trace each message a dialog procedure receives, e.g. "(D1 <- WM_COMMAND 0x1)",
   so that a test can see what the procedure did for which message. Off after Reset(). */
void TraceDialogMessages(bool bOn);

struct DialogSeen {
    unsigned id;                        /* template */
    std::string label;                  /* D1.. */
    std::string caption;                /* after WM_INITDIALOG */
    std::map<int, std::string> texts;   /* control id -> text after WM_INITDIALOG */
    RECT rect;                          /* after WM_INITDIALOG */
    int focus;                          /* control id with the focus, -1 none */
    bool ownerIsMain;
};
/* One row per dialog that reached its first user action or ended. */
const std::vector<DialogSeen> &Dialogs();
HWND CurrentDialog();
std::string WindowText(HWND hWnd);
std::string ControlText(HWND hDlg, int id);
RECT WindowRect(HWND hWnd);
void SetDesktopRect(const RECT &rc);
/* The size in pixels the next dialog gets (defaults: from its template). */
void SetNextDialogSize(int cx, int cy);

/* ---- Menus ---- */
struct MenuItemInfo {
    UINT id;
    std::string text;
    bool separator;
    bool popup;
};
std::vector<MenuItemInfo> MenuItems(HMENU hMenu);
/* Called inside TrackPopupMenu with the popup; returns the command chosen, 0 to cancel. */
void SetPopupHook(std::function<UINT(HMENU)> fnHook);
/* Every popup shown, as its items stood when it opened. */
const std::vector<std::vector<MenuItemInfo>> &PopupsShown();
void SetCursor(POINT pt);

/* ---- Tray ---- */
struct TrayCall {
    DWORD message;
    NOTIFYICONDATAA nid;
};
const std::vector<TrayCall> &TrayCalls();
bool TrayIconShown();

}

#endif
