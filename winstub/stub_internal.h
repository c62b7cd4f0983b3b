/* The stand-in's shared state, seen only by its own sources. */
#ifndef MOXU_STUB_INTERNAL_H
#define MOXU_STUB_INTERNAL_H

#include "moxu2.h"
#include "stub.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace stub {

enum : uintptr_t {
    HANDLE_INSTANCE = 0x400000,
    HANDLE_WINDOW = 0x10000,
    HANDLE_DESKTOP = 0x1FFFF,
    HANDLE_MENU = 0x20000,
    HANDLE_ICON = 0x30000,
    HANDLE_KEY = 0x40000,
};

struct Win {
    std::string label;
    std::string cls;
    std::string title;
    WNDPROC proc = nullptr;
    DLGPROC dlgproc = nullptr;
    HWND owner = nullptr;
    HWND parent = nullptr;
    bool alive = true;
    bool destroying = false;
    bool visible = false;
    bool foreign = false;
    bool dialog = false;
    bool ended = false;
    bool button = false;
    INT_PTR result = 0;
    int ctrlId = 0;
    unsigned dlgId = 0;
    RECT rect = { 0, 0, 0, 0 };
};

struct Injection {
    std::string call;
    int nth;
    long long value;
};

struct MenuItem {
    UINT flags = 0;
    UINT id = 0;
    std::string text;
    uintptr_t sub = 0;
};

struct Menu {
    bool alive = true;
    std::vector<MenuItem> items;
};

struct CaseLess {
    bool operator()(const std::string &a, const std::string &b) const;
};

struct RegNode {
    std::map<std::string, RegNode, CaseLess> subkeys;
    std::map<std::string, std::vector<BYTE>, CaseLess> values;
};

struct DlgAction {
    enum Kind { COMMAND, KEY, CLOSEBOX, MESSAGE, RUN } kind;
    explicit DlgAction(Kind k) : kind(k) {}
    int id = 0;
    int code = 0;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> fn;
};

struct World {
    /* trace and scripting */
    std::vector<std::string> trace;
    std::vector<std::string> callNames;
    std::map<const void *, std::string> fnNames;
    std::map<std::string, int> occurrences;
    std::vector<Injection> injections;
    int callIndex = 0;
    int failAt = -1;
    bool failHit = false;
    std::string failCall;
    bool traceLoop = false;
    bool traceDialogMessages = false;

    /* windows and messages */
    std::map<uintptr_t, Win> wins;
    std::map<std::string, WNDCLASSA> classes;
    std::map<std::string, std::string> classNames;
    int nextWindow = 0;
    int nextTop = 0;
    int nextDialog = 0;
    int nextForeign = 0;
    std::deque<MSG> queue;
    bool quitPosted = false;
    int quitCode = 0;
    std::function<void()> idle;
    bool inIdle = false;
    size_t idleRuns = 0;
    bool starved = false;
    std::vector<TimerInfo> timers;
    HWND focus = nullptr;
    RECT desktop = { 0, 0, 1024, 768 };
    int nextDlgCx = -1;
    int nextDlgCy = -1;

    /* dialogs */
    std::deque<DlgAction> actions;
    std::vector<DialogSeen> dialogs;
    std::vector<HWND> dialogStack;

    /* menus, icons, tray, cursor */
    std::map<uintptr_t, Menu> menus;
    int nextMenu = 0;
    std::map<uintptr_t, bool> icons;
    int nextIcon = 0;
    std::function<UINT(HMENU)> popupHook;
    std::vector<std::vector<MenuItemInfo>> popups;
    POINT cursor = { 0, 0 };
    std::vector<TrayCall> tray;
    bool trayShown = false;

    /* registry */
    RegNode dynData;
    std::map<uintptr_t, RegNode *> openKeys;
    int nextKey = 0;
    /* Where the last enumeration stood, so that walking a large key by index stays linear. */
    const RegNode *enumNode = nullptr;
    size_t enumSize = 0;
    DWORD enumIndex = 0;
    std::map<std::string, RegNode, CaseLess>::const_iterator enumIt;

    /* resources */
    unsigned lang = 1033;
    std::vector<std::pair<unsigned, unsigned>> hidden;

    /* controller and power */
    BayState bay;
    std::function<BOOL()> powerHook;
};

World &W();
std::string Quote(const char *psz);
std::string Name(const void *pfn);
std::string InstLabel(HINSTANCE hInst);
std::string ResName(LPCSTR psz);
/* Records one call; true when the call is to fail (or answer as scripted) with *pValue. */
bool Record(const char *pszCall, const std::string &args, long long failValue, long long *pValue, bool bLoop = false);
void Note(const std::string &line);
HWND MakeWindow(const std::string &label);
Win *FindWin(HWND hWnd);
LRESULT CallWindow(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
void DestroyTree(HWND hWnd);
void ResetResources();

}


#endif
