/* The notification-area icon, its tool-tip and the two popup menus. */
#include "moxu.h"
#include <stddef.h>
#include <string.h>

/* The record as the first shells knew it: it ends with the 64-byte tip (88 bytes on 32-bit Windows). */
#define TRAY_RECORD_SIZE    ((DWORD)(offsetof(NOTIFYICONDATAA, szTip) + 64))
#define TRAY_TIP_SIZE       64
#define TEXT_BUF_SIZE       256

#ifdef _WIN32
#ifndef _WIN64
static_assert(TRAY_RECORD_SIZE == 88, "the tray record is the 88-byte one");
#endif
#endif

/* Owns the menu that LoadMenuA returned (never the popup inside it) and destroys it on every path. */
class CMenuHolder {
public:
    CMenuHolder() : m_hMenu(NULL) {}
    ~CMenuHolder()
    {
        if (m_hMenu)
            DestroyMenu(m_hMenu);
    }
    void Attach(HMENU hMenu) { m_hMenu = hMenu; }
    HMENU Get() const { return m_hMenu; }

private:
    CMenuHolder(const CMenuHolder &);
    CMenuHolder &operator=(const CMenuHolder &);
    HMENU m_hMenu;
};

/* One item of a popup whose template text is replaced by a string-table text. */
struct MenuRewrite {
    UINT uPos;
    UINT uCommand;
    UINT uString;
};

static const MenuRewrite c_aSwapMenu[] = {
    { 0, ID_SWAP_BAY, IDS_MENU_CHANGE },
};
static const MenuRewrite c_aAppMenu[] = {
    { 0, ID_UNLOAD, IDS_MENU_UNLOAD },
    { 2, ID_ABOUT, IDS_MENU_ABOUT },     /* position 1 is the separator: left alone */
};

BOOL TrayIconNotify(DWORD dwMessage, UINT uIconId, const char *pszTip)
{
    HICON hIcon = NULL;
    if (uIconId != 0) {
        hIcon = LoadIconA(g_hInst, MAKEINTRESOURCEA(LOWORD(uIconId)));
        if (!hIcon)
            return FALSE;
    }

    NOTIFYICONDATAA nid;
    memset(&nid, 0, sizeof(nid));
    nid.cbSize = TRAY_RECORD_SIZE;
    nid.hWnd = g_hMainWnd;
    nid.uID = TRAY_ICON_UID;
    nid.uFlags = NIF_MESSAGE;
    if (hIcon) {
        nid.uFlags = NIF_MESSAGE | NIF_ICON;
        nid.hIcon = hIcon;
    }
    if (pszTip) {
        nid.uFlags |= NIF_TIP;
        strncpy(nid.szTip, pszTip, TRAY_TIP_SIZE);
        /* A tip of 64 bytes or more would lose its terminator: cut it to 63. */
        nid.szTip[TRAY_TIP_SIZE - 1] = 0;
    }
    nid.uCallbackMessage = WM_TRAYNOTIFY;

    BOOL bResult = Shell_NotifyIconA(dwMessage, &nid);
    if (hIcon)
        DestroyIcon(hIcon);
    return bResult;
}

static void LoadText(UINT uString, char *pszBuf)
{
    if (LoadStringA(g_hInst, uString, pszBuf, TEXT_BUF_SIZE) <= 0)
        pszBuf[0] = 0;
}

static void RefreshTip(char *pszBuf)
{
    WORD wDevice = LOWORD(ThkGetSwapBayDevice());
    LoadText((wDevice == 0xFFFF || wDevice == 0) ? IDS_TIP_NO_BAY : IDS_TIP_BAY_EXIST, pszBuf);
    TrayIconNotify(NIM_MODIFY, 0, pszBuf);
}

static void ShowPopupMenu(UINT uMenu, const MenuRewrite *pRewrites, size_t nRewrites, char *pszBuf)
{
    CMenuHolder menu;
    menu.Attach(LoadMenuA(g_hInst, MAKEINTRESOURCEA(uMenu)));
    if (!menu.Get())
        return;
    HMENU hPopup = GetSubMenu(menu.Get(), 0);
    if (!hPopup)
        return;

    for (size_t i = 0; i < nRewrites; ++i) {
        LoadText(pRewrites[i].uString, pszBuf);
        ModifyMenuA(hPopup, pRewrites[i].uPos, MF_BYPOSITION | MF_STRING, pRewrites[i].uCommand, pszBuf);
    }

    POINT pt;
    pt.x = 0;
    pt.y = 0;
    GetCursorPos(&pt);
    /* Without the foreground the popup would not close when the user clicks elsewhere. */
    SetForegroundWindow(g_hMainWnd);
    TrackPopupMenu(hPopup, TPM_LEFTALIGN | TPM_LEFTBUTTON, pt.x, pt.y, 0, g_hMainWnd, NULL);
}

void OnTrayMessage(WPARAM wParam, LPARAM lParam)
{
    if (wParam != TRAY_ICON_UID)
        return;

    char szText[TEXT_BUF_SIZE];
    switch (lParam) {
    case WM_MOUSEMOVE:
        RefreshTip(szText);
        break;
    case WM_LBUTTONUP:
        ShowPopupMenu(IDR_SWAP_MENU, c_aSwapMenu, sizeof(c_aSwapMenu) / sizeof(c_aSwapMenu[0]), szText);
        break;
    case WM_LBUTTONDBLCLK:
        RunDialog(IDD_CHANGE_BAY, ChangeBayDlgProc);
        break;
    case WM_RBUTTONUP:
        ShowPopupMenu(IDR_APP_MENU, c_aAppMenu, sizeof(c_aAppMenu) / sizeof(c_aAppMenu[0]), szText);
        break;
    }
}
