/* The stand-in's resources, dialogs, menus, icons, tray and registry, served from the program's own compiled .res. */
#include "resfile.h"
#include "stub_internal.h"

#include <iterator>
#include <stdio.h>
#include <strings.h>

#ifndef MOXU_RES_FILE
#error "MOXU_RES_FILE names the compiled resources"
#endif

namespace stub {

bool CaseLess::operator()(const std::string &a, const std::string &b) const
{
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

/* ---- Resources ---- */

static const std::vector<resfile::Entry> &Resources()
{
    static std::vector<resfile::Entry> all;
    static bool bLoaded = false;
    if (!bLoaded) {
        bLoaded = true;
        if (!resfile::LoadResFile(MOXU_RES_FILE, all))
            fprintf(stderr, "winstub: cannot read %s\n", MOXU_RES_FILE);
    }
    return all;
}

static bool Hidden(unsigned type, unsigned id)
{
    for (const auto &h : W().hidden) {
        if (h.first == type && h.second == id)
            return true;
    }
    return false;
}

static const resfile::Entry *FindRes(unsigned type, LPCSTR name)
{
    if (!IS_INTRESOURCE(name))
        return nullptr;
    unsigned id = (unsigned)(uintptr_t)name;
    if (Hidden(type, id))
        return nullptr;
    return resfile::Find(Resources(), (uint16_t)type, (uint16_t)id, (uint16_t)W().lang);
}

static std::string ToAnsi(const std::u16string &text)
{
    std::string out;
    if (!resfile::ToCodePage(text, CodePage(), out))
        return "?";
    return out;
}

void ResetResources()
{
    Resources();
}

void SetLanguage(unsigned lang)
{
    W().lang = lang;
}

unsigned CodePage()
{
    return W().lang == 1041 ? 932 : 1252;
}

void HideResource(unsigned type, unsigned id)
{
    W().hidden.push_back(std::make_pair(type, id));
}

/* ---- Dialogs ---- */

static void QueueAction(DlgAction action)
{
    W().actions.push_back(std::move(action));
}

void QueueCommand(int id, int code)
{
    DlgAction a(DlgAction::COMMAND);
    a.id = id;
    a.code = code;
    QueueAction(a);
}

void QueueKey(int vk)
{
    DlgAction a(DlgAction::KEY);
    a.id = vk;
    QueueAction(a);
}

void QueueCloseBox()
{
    QueueAction(DlgAction(DlgAction::CLOSEBOX));
}

void QueueMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    DlgAction a(DlgAction::MESSAGE);
    a.msg = uMsg;
    a.wParam = wParam;
    a.lParam = lParam;
    QueueAction(a);
}

void QueueRun(std::function<void()> fn)
{
    DlgAction a(DlgAction::RUN);
    a.fn = std::move(fn);
    QueueAction(a);
}

size_t ActionsLeft()
{
    return W().actions.size();
}

size_t ClearActions()
{
    size_t n = W().actions.size();
    W().actions.clear();
    return n;
}

const std::vector<DialogSeen> &Dialogs()
{
    return W().dialogs;
}

HWND CurrentDialog()
{
    std::vector<HWND> &stack = W().dialogStack;
    return stack.empty() ? nullptr : stack.back();
}

std::string WindowText(HWND hWnd)
{
    Win *win = FindWin(hWnd);
    return win ? win->title : std::string();
}

static HWND FindControl(HWND hDlg, int id)
{
    for (auto &kv : W().wins) {
        if (kv.second.alive && kv.second.parent == hDlg && kv.second.ctrlId == id)
            return (HWND)kv.first;
    }
    return nullptr;
}

std::string ControlText(HWND hDlg, int id)
{
    return WindowText(FindControl(hDlg, id));
}

RECT WindowRect(HWND hWnd)
{
    Win *win = FindWin(hWnd);
    return win ? win->rect : RECT{ 0, 0, 0, 0 };
}

void SetDesktopRect(const RECT &rc)
{
    W().desktop = rc;
}

void SetNextDialogSize(int cx, int cy)
{
    W().nextDlgCx = cx;
    W().nextDlgCy = cy;
}

static DialogSeen Snapshot(HWND hDlg)
{
    Win *win = FindWin(hDlg);
    DialogSeen seen;
    seen.id = win->dlgId;
    seen.label = win->label;
    seen.caption = win->title;
    seen.rect = win->rect;
    seen.focus = -1;
    seen.ownerIsMain = win->owner && FindWin(win->owner) && !FindWin(win->owner)->dialog;
    for (auto &kv : W().wins) {
        if (kv.second.alive && kv.second.parent == hDlg) {
            seen.texts[kv.second.ctrlId] = kv.second.title;
            if (W().focus == (HWND)kv.first)
                seen.focus = kv.second.ctrlId;
        }
    }
    return seen;
}

static void RunAction(HWND hDlg, DlgAction &a)
{
    switch (a.kind) {
    case DlgAction::COMMAND:
        CallWindow(hDlg, WM_COMMAND, MAKEWPARAM(a.id, a.code), (LPARAM)FindControl(hDlg, a.id));
        break;
    case DlgAction::KEY: {
        /* The dialog manager turns Esc into IDCANCEL and Enter into the focused
           push button, else the default one. */
        int id = IDCANCEL;
        if (a.id == VK_RETURN) {
            Win *focus = FindWin(W().focus);
            id = (focus && focus->button && focus->parent == hDlg) ? focus->ctrlId : IDOK;
        }
        CallWindow(hDlg, WM_COMMAND, MAKEWPARAM(id, 0), (LPARAM)FindControl(hDlg, id));
        break;
    }
    case DlgAction::CLOSEBOX:
        if (!CallWindow(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0) && FindWin(hDlg) &&
            !CallWindow(hDlg, WM_CLOSE, 0, 0) && FindWin(hDlg))
            CallWindow(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), (LPARAM)FindControl(hDlg, IDCANCEL));
        break;
    case DlgAction::MESSAGE:
        CallWindow(hDlg, a.msg, a.wParam, a.lParam);
        break;
    case DlgAction::RUN:
        a.fn();
        break;
    }
}

/* Dialog units to pixels for an 8-point dialog font, frame and caption added. */
static RECT DialogRect(const resfile::DlgTemplate &t)
{
    int cx = t.cx * 6 / 4 + 6;
    int cy = t.cy * 13 / 8 + 25;
    if (W().nextDlgCx >= 0) {
        cx = W().nextDlgCx;
        cy = W().nextDlgCy;
        W().nextDlgCx = W().nextDlgCy = -1;
    }
    return RECT{ 0, 0, cx, cy };
}

}

using namespace stub;

INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam)
{
    long long v;
    if (Record("DialogBoxParamA", InstLabel(hInstance) + ", " + ResName(lpTemplateName) + ", " + Label(hWndParent) +
                                      ", " + Name((const void *)lpDialogFunc) + Fmt(", %ld", (long)dwInitParam), -1, &v))
        return (INT_PTR)v;
    const resfile::Entry *e = FindRes(resfile::kTypeDialog, lpTemplateName);
    resfile::DlgTemplate t;
    if (!e || !resfile::ParseDialog(e->data, t))
        return -1;

    World &w = W();
    HWND hDlg = MakeWindow(Fmt("D%d", ++w.nextDialog));
    {
        Win *win = FindWin(hDlg);
        win->cls = "#32770";
        win->title = ToAnsi(t.caption);
        win->dialog = true;
        win->dlgproc = lpDialogFunc;
        win->owner = hWndParent;
        win->dlgId = (unsigned)(uintptr_t)lpTemplateName;
        win->rect = DialogRect(t);
    }
    HWND hFirstTab = nullptr;
    for (const resfile::DlgItem &item : t.items) {
        HWND hCtl = MakeWindow(FindWin(hDlg)->label + Fmt(".%u", item.id));
        Win *ctl = FindWin(hCtl);
        ctl->parent = hDlg;
        ctl->ctrlId = item.id;
        ctl->cls = item.classIsAtom ? Fmt("#%u", item.classAtom) : resfile::ToUtf8(item.className);
        ctl->button = item.classIsAtom && item.classAtom == 0x80;
        ctl->title = item.textIsId ? Fmt("#%u", item.textId) : ToAnsi(item.text);
        ctl->visible = (item.style & WS_VISIBLE) != 0;
        if (!hFirstTab && (item.style & 0x00010000 /* WS_TABSTOP */))
            hFirstTab = hCtl;
    }

    w.dialogStack.push_back(hDlg);
    CallWindow(hDlg, WM_SETFONT, 0, 0);
    if (FindWin(hDlg) && CallWindow(hDlg, WM_INITDIALOG, (WPARAM)hFirstTab, dwInitParam) && hFirstTab && FindWin(hDlg))
        w.focus = hFirstTab;
    if (FindWin(hDlg)) {
        FindWin(hDlg)->visible = true;
        w.dialogs.push_back(Snapshot(hDlg));
    }

    /* The modal loop: posted messages are dispatched between the user's actions;
       a posted quit ends it and stays posted for the outer loop. */
    INT_PTR result = 0;
    for (;;) {
        Win *win = FindWin(hDlg);
        if (!win || win->ended)
            break;
        PumpPosted();
        win = FindWin(hDlg);
        if (!win || win->ended || w.quitPosted)
            break;
        if (w.actions.empty()) {
            Note("no user action left");
            result = -1;
            break;
        }
        DlgAction a = std::move(w.actions.front());
        w.actions.pop_front();
        RunAction(hDlg, a);
    }
    Win *win = FindWin(hDlg);
    if (win && win->ended)
        result = win->result;
    if (win)
        DestroyTree(hDlg);
    w.dialogStack.pop_back();
    return result;
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult)
{
    long long v;
    if (Record("EndDialog", Label(hDlg) + Fmt(", %ld", (long)nResult), 0, &v))
        return (BOOL)v;
    Win *win = FindWin(hDlg);
    if (!win || !win->dialog)
        return FALSE;
    win->ended = true;
    win->result = nResult;
    return TRUE;
}

HWND GetDesktopWindow(void)
{
    long long v;
    if (Record("GetDesktopWindow", "", 0, &v))
        return (HWND)(uintptr_t)v;
    return (HWND)(uintptr_t)HANDLE_DESKTOP;
}

BOOL GetWindowRect(HWND hWnd, RECT *lpRect)
{
    long long v;
    if (Record("GetWindowRect", Label(hWnd), 0, &v))
        return (BOOL)v;
    if ((uintptr_t)hWnd == HANDLE_DESKTOP) {
        *lpRect = W().desktop;
        return TRUE;
    }
    Win *win = FindWin(hWnd);
    if (!win)
        return FALSE;
    *lpRect = win->rect;
    return TRUE;
}

BOOL MoveWindow(HWND hWnd, int x, int y, int nWidth, int nHeight, BOOL bRepaint)
{
    long long v;
    if (Record("MoveWindow", Label(hWnd) + Fmt(", %d, %d, %d, %d, %d", x, y, nWidth, nHeight, bRepaint), 0, &v))
        return (BOOL)v;
    Win *win = FindWin(hWnd);
    if (!win)
        return FALSE;
    win->rect = RECT{ x, y, (LONG)((unsigned)x + (unsigned)nWidth), (LONG)((unsigned)y + (unsigned)nHeight) };
    return TRUE;
}

BOOL SetWindowTextA(HWND hWnd, LPCSTR lpString)
{
    long long v;
    if (Record("SetWindowTextA", Label(hWnd) + ", " + Quote(lpString), 0, &v))
        return (BOOL)v;
    Win *win = FindWin(hWnd);
    if (!win)
        return FALSE;
    win->title = lpString ? lpString : "";
    return TRUE;
}

BOOL SetDlgItemTextA(HWND hDlg, int nIDDlgItem, LPCSTR lpString)
{
    long long v;
    if (Record("SetDlgItemTextA", Label(hDlg) + Fmt(", %d, ", nIDDlgItem) + Quote(lpString), 0, &v))
        return (BOOL)v;
    Win *ctl = FindWin(FindControl(hDlg, nIDDlgItem));
    if (!ctl)
        return FALSE;
    ctl->title = lpString ? lpString : "";
    return TRUE;
}

HWND GetDlgItem(HWND hDlg, int nIDDlgItem)
{
    long long v;
    if (Record("GetDlgItem", Label(hDlg) + Fmt(", %d", nIDDlgItem), 0, &v))
        return (HWND)(uintptr_t)v;
    return FindControl(hDlg, nIDDlgItem);
}

HWND SetFocus(HWND hWnd)
{
    long long v;
    if (Record("SetFocus", Label(hWnd), 0, &v))
        return (HWND)(uintptr_t)v;
    HWND hOld = W().focus;
    if (hWnd && !FindWin(hWnd))
        return nullptr;
    W().focus = hWnd;
    return hOld;
}

BOOL MessageBeep(UINT uType)
{
    long long v;
    if (Record("MessageBeep", Fmt("%#x", uType), 0, &v))
        return (BOOL)v;
    return TRUE;
}

/* ---- Strings and icons ---- */

int LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax)
{
    long long v;
    if (Record("LoadStringA", InstLabel(hInstance) + Fmt(", %u, %d", uID, cchBufferMax), 0, &v)) {
        if (cchBufferMax > 0)
            lpBuffer[0] = 0;
        return (int)v;
    }
    std::u16string text;
    if (cchBufferMax <= 0 || Hidden(resfile::kTypeString, uID) ||
        !resfile::GetString(Resources(), uID, (uint16_t)W().lang, text)) {
        if (cchBufferMax > 0)
            lpBuffer[0] = 0;
        return 0;
    }
    std::string ansi = ToAnsi(text);
    size_t n = ansi.size() < (size_t)cchBufferMax - 1 ? ansi.size() : (size_t)cchBufferMax - 1;
    memcpy(lpBuffer, ansi.data(), n);
    lpBuffer[n] = 0;
    return (int)n;
}

HICON LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName)
{
    long long v;
    if (Record("LoadIconA", InstLabel(hInstance) + ", " + ResName(lpIconName), 0, &v))
        return (HICON)(uintptr_t)v;
    if (hInstance != Instance() || !FindRes(resfile::kTypeGroupIcon, lpIconName))
        return nullptr;
    uintptr_t h = HANDLE_ICON + (++W().nextIcon);
    W().icons[h] = true;
    return (HICON)h;
}

BOOL DestroyIcon(HICON hIcon)
{
    long long v;
    if (Record("DestroyIcon", Fmt("I%d", (int)((uintptr_t)hIcon - HANDLE_ICON)), 0, &v))
        return (BOOL)v;
    auto it = W().icons.find((uintptr_t)hIcon);
    if (it == W().icons.end() || !it->second)
        return FALSE;
    it->second = false;
    return TRUE;
}

/* ---- Menus ---- */

namespace stub {

static std::string MenuLabel(HMENU hMenu)
{
    return hMenu ? Fmt("M%d", (int)((uintptr_t)hMenu - HANDLE_MENU)) : std::string("NULL");
}

static Menu *FindMenu(HMENU hMenu)
{
    auto it = W().menus.find((uintptr_t)hMenu);
    return (it == W().menus.end() || !it->second.alive) ? nullptr : &it->second;
}

static uintptr_t BuildMenu(const std::vector<resfile::MenuItem> &items)
{
    uintptr_t h = HANDLE_MENU + (++W().nextMenu);
    W().menus[h];
    std::vector<MenuItem> built;
    for (const resfile::MenuItem &src : items) {
        MenuItem item;
        item.flags = src.flags;
        item.id = src.id;
        item.text = ToAnsi(src.text);
        if (src.flags & MF_POPUP)
            item.sub = BuildMenu(src.popup);
        built.push_back(item);
    }
    W().menus[h].items = built;
    return h;
}

static void DestroyMenuTree(uintptr_t h)
{
    Menu *menu = FindMenu((HMENU)h);
    if (!menu)
        return;
    menu->alive = false;
    for (const MenuItem &item : menu->items) {
        if (item.sub)
            DestroyMenuTree(item.sub);
    }
}

std::vector<MenuItemInfo> MenuItems(HMENU hMenu)
{
    std::vector<MenuItemInfo> out;
    Menu *menu = FindMenu(hMenu);
    if (!menu)
        return out;
    for (const MenuItem &item : menu->items) {
        bool bSeparator = !item.sub && item.id == 0 && item.text.empty();
        out.push_back(MenuItemInfo{ item.id, item.text, bSeparator, item.sub != 0 });
    }
    return out;
}

void SetPopupHook(std::function<UINT(HMENU)> fnHook)
{
    W().popupHook = std::move(fnHook);
}

const std::vector<std::vector<MenuItemInfo>> &PopupsShown()
{
    return W().popups;
}

void SetCursor(POINT pt)
{
    W().cursor = pt;
}

}

HMENU LoadMenuA(HINSTANCE hInstance, LPCSTR lpMenuName)
{
    long long v;
    if (Record("LoadMenuA", InstLabel(hInstance) + ", " + ResName(lpMenuName), 0, &v))
        return (HMENU)(uintptr_t)v;
    const resfile::Entry *e = hInstance == Instance() ? FindRes(resfile::kTypeMenu, lpMenuName) : nullptr;
    std::vector<resfile::MenuItem> top;
    if (!e || !resfile::ParseMenu(e->data, top))
        return nullptr;
    return (HMENU)BuildMenu(top);
}

HMENU GetSubMenu(HMENU hMenu, int nPos)
{
    long long v;
    if (Record("GetSubMenu", MenuLabel(hMenu) + Fmt(", %d", nPos), 0, &v))
        return (HMENU)(uintptr_t)v;
    Menu *menu = FindMenu(hMenu);
    if (!menu || nPos < 0 || (size_t)nPos >= menu->items.size())
        return nullptr;
    return (HMENU)menu->items[nPos].sub;
}

BOOL ModifyMenuA(HMENU hMenu, UINT uPosition, UINT uFlags, UINT_PTR uIDNewItem, LPCSTR lpNewItem)
{
    long long v;
    if (Record("ModifyMenuA", MenuLabel(hMenu) + Fmt(", %u, %#x, %lu, ", uPosition, uFlags, (unsigned long)uIDNewItem) +
                                  Quote(lpNewItem), 0, &v))
        return (BOOL)v;
    Menu *menu = FindMenu(hMenu);
    if (!menu || !(uFlags & MF_BYPOSITION) || uPosition >= menu->items.size())
        return FALSE;
    MenuItem &item = menu->items[uPosition];
    if (item.sub)
        DestroyMenuTree(item.sub);
    item.sub = 0;
    item.flags = uFlags & ~MF_BYPOSITION;
    item.id = (UINT)uIDNewItem;
    item.text = lpNewItem ? lpNewItem : "";
    return TRUE;
}

BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd, const RECT *prcRect)
{
    long long v;
    if (Record("TrackPopupMenu", MenuLabel(hMenu) + Fmt(", %#x, %d, %d, %d, ", uFlags, x, y, nReserved) + Label(hWnd) +
                                     (prcRect ? ", rect" : ", NULL"), 0, &v))
        return (BOOL)v;
    if (!FindMenu(hMenu))
        return FALSE;
    W().popups.push_back(MenuItems(hMenu));
    UINT uCommand = W().popupHook ? W().popupHook(hMenu) : 0;
    /* The chosen command reaches the owner as a posted WM_COMMAND. */
    if (uCommand)
        Post(hWnd, WM_COMMAND, MAKEWPARAM(uCommand, 0), 0);
    return TRUE;
}

BOOL DestroyMenu(HMENU hMenu)
{
    long long v;
    if (Record("DestroyMenu", MenuLabel(hMenu), 0, &v))
        return (BOOL)v;
    if (!FindMenu(hMenu))
        return FALSE;
    DestroyMenuTree((uintptr_t)hMenu);
    return TRUE;
}

BOOL GetCursorPos(POINT *lpPoint)
{
    long long v;
    if (Record("GetCursorPos", "", 0, &v))
        return (BOOL)v;
    *lpPoint = W().cursor;
    return TRUE;
}

BOOL SetForegroundWindow(HWND hWnd)
{
    long long v;
    if (Record("SetForegroundWindow", Label(hWnd), 0, &v))
        return (BOOL)v;
    return FindWin(hWnd) != nullptr;
}

/* ---- Tray ---- */

namespace stub {

const std::vector<TrayCall> &TrayCalls()
{
    return W().tray;
}

bool TrayIconShown()
{
    return W().trayShown;
}

}

BOOL Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA *lpData)
{
    long long v;
    std::string icon = lpData->hIcon ? Fmt("I%d", (int)((uintptr_t)lpData->hIcon - HANDLE_ICON)) : std::string("NULL");
    if (Record("Shell_NotifyIconA", Fmt("%u, %#x, ", (unsigned)dwMessage, lpData->uFlags) + icon, 0, &v))
        return (BOOL)v;
    /* The shell reads only the first cbSize bytes of the record. */
    TrayCall call;
    memset(&call.nid, 0, sizeof(call.nid));
    size_t cb = lpData->cbSize < sizeof(NOTIFYICONDATAA) ? lpData->cbSize : sizeof(NOTIFYICONDATAA);
    memcpy(&call.nid, lpData, cb);
    call.message = dwMessage;
    W().tray.push_back(call);
    if (dwMessage == NIM_ADD) {
        if (W().trayShown)
            return FALSE;
        W().trayShown = true;
    } else if (dwMessage == NIM_DELETE) {
        if (!W().trayShown)
            return FALSE;
        W().trayShown = false;
    } else if (!W().trayShown) {
        return FALSE;
    }
    return TRUE;
}

/* ---- Registry ---- */

namespace stub {

static RegNode *Walk(RegNode *node, const std::string &path, bool bCreate)
{
    size_t pos = 0;
    while (node && pos <= path.size()) {
        size_t end = path.find('\\', pos);
        if (end == std::string::npos)
            end = path.size();
        std::string part = path.substr(pos, end - pos);
        if (!part.empty()) {
            auto it = node->subkeys.find(part);
            if (it == node->subkeys.end()) {
                if (!bCreate)
                    return nullptr;
                it = node->subkeys.emplace(part, RegNode()).first;
            }
            node = &it->second;
        }
        pos = end + 1;
    }
    return node;
}

void RegCreateKey(const std::string &path)
{
    Walk(&W().dynData, path, true);
}

void RegSetValue(const std::string &keyPath, const std::string &name, const std::vector<BYTE> &data)
{
    Walk(&W().dynData, keyPath, true)->values[name] = data;
}

void RegSetString(const std::string &keyPath, const std::string &name, const std::string &text)
{
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    RegSetValue(keyPath, name, data);
}

void RegSetDword(const std::string &keyPath, const std::string &name, DWORD value)
{
    RegSetValue(keyPath, name, { (BYTE)value, (BYTE)(value >> 8), (BYTE)(value >> 16), (BYTE)(value >> 24) });
}

static std::string KeyLabel(HKEY hKey)
{
    if (hKey == HKEY_DYN_DATA)
        return "HKEY_DYN_DATA";
    return Fmt("K%d", (int)((uintptr_t)hKey - HANDLE_KEY));
}

static RegNode *OpenNode(HKEY hKey)
{
    if (hKey == HKEY_DYN_DATA)
        return &W().dynData;
    auto it = W().openKeys.find((uintptr_t)hKey);
    return it == W().openKeys.end() ? nullptr : it->second;
}

}

LONG RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult)
{
    long long v;
    if (Record("RegOpenKeyA", KeyLabel(hKey) + ", " + Quote(lpSubKey), ERROR_ACCESS_DENIED, &v))
        return (LONG)v;
    RegNode *parent = OpenNode(hKey);
    if (!parent)
        return ERROR_INVALID_HANDLE;
    RegNode *node = Walk(parent, lpSubKey ? lpSubKey : "", false);
    if (!node)
        return ERROR_FILE_NOT_FOUND;
    uintptr_t h = HANDLE_KEY + (++W().nextKey);
    W().openKeys[h] = node;
    *phkResult = (HKEY)h;
    return ERROR_SUCCESS;
}

LONG RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName)
{
    long long v;
    if (Record("RegEnumKeyA", KeyLabel(hKey) + Fmt(", %u, %u", (unsigned)dwIndex, (unsigned)cchName),
               ERROR_ACCESS_DENIED, &v))
        return (LONG)v;
    RegNode *node = OpenNode(hKey);
    if (!node)
        return ERROR_INVALID_HANDLE;
    if (dwIndex >= node->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    World &w = W();
    std::map<std::string, RegNode, CaseLess>::const_iterator it = node->subkeys.begin();
    DWORD from = 0;
    if (w.enumNode == node && w.enumSize == node->subkeys.size() && dwIndex >= w.enumIndex) {
        it = w.enumIt;
        from = w.enumIndex;
    }
    std::advance(it, dwIndex - from);
    w.enumNode = node;
    w.enumSize = node->subkeys.size();
    w.enumIndex = dwIndex;
    w.enumIt = it;
    if (it->first.size() + 1 > cchName)
        return ERROR_MORE_DATA;
    memcpy(lpName, it->first.c_str(), it->first.size() + 1);
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData)
{
    long long v;
    if (Record("RegQueryValueExA", KeyLabel(hKey) + ", " + Quote(lpValueName) +
                                       Fmt(", %u", lpcbData ? (unsigned)*lpcbData : 0u), ERROR_ACCESS_DENIED, &v))
        return (LONG)v;
    (void)lpReserved;
    RegNode *node = OpenNode(hKey);
    if (!node)
        return ERROR_INVALID_HANDLE;
    auto it = node->values.find(lpValueName ? lpValueName : "");
    if (it == node->values.end())
        return ERROR_FILE_NOT_FOUND;
    if (lpType)
        *lpType = 3;   /* binary */
    DWORD cb = (DWORD)it->second.size();
    if (lpData && lpcbData && *lpcbData < cb) {
        *lpcbData = cb;
        return ERROR_MORE_DATA;
    }
    if (lpData && cb)
        memcpy(lpData, it->second.data(), cb);
    if (lpcbData)
        *lpcbData = cb;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY hKey)
{
    long long v;
    if (Record("RegCloseKey", KeyLabel(hKey), ERROR_INVALID_HANDLE, &v))
        return (LONG)v;
    auto it = W().openKeys.find((uintptr_t)hKey);
    if (it == W().openKeys.end())
        return ERROR_INVALID_HANDLE;
    W().openKeys.erase(it);
    return ERROR_SUCCESS;
}
