/* The menu commands and the three modal dialogs: change bay, unload, about. */
#include "moxu.h"
#include "growtext.h"

#define TEXT_BUF_SIZE       256

/* Shared by the three dialogs; it grows once, at the first caption. */
CGrowText g_strCaption;

void RunDialog(UINT uDialog, DLGPROC pfnDlgProc)
{
    DialogBoxParamA(g_hInst, MAKEINTRESOURCEA(uDialog), g_hMainWnd, pfnDlgProc, 0);
}

LRESULT OnCommand(WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (LOWORD(wParam)) {
    case ID_SWAP_BAY:
        RunDialog(IDD_CHANGE_BAY, ChangeBayDlgProc);
        break;
    case ID_UNLOAD:
        RunDialog(IDD_UNLOAD, UnloadDlgProc);
        break;
    case ID_ABOUT:
        RunDialog(IDD_ABOUT, AboutDlgProc);
        break;
    }
    return 0;
}

void CenterOnDesktop(HWND hDlg)
{
    RECT rcDesk = { 0, 0, 0, 0 };
    RECT rcDlg = { 0, 0, 0, 0 };
    GetWindowRect(GetDesktopWindow(), &rcDesk);
    GetWindowRect(hDlg, &rcDlg);

    /* Signed 32-bit arithmetic that wraps, done on unsigned values so that an
       absurd rectangle cannot overflow; the division truncates toward zero. */
    int cx = (int)((DWORD)rcDlg.right - (DWORD)rcDlg.left);
    int cy = (int)((DWORD)rcDlg.bottom - (DWORD)rcDlg.top);
    int x = (int)((DWORD)rcDesk.right - (DWORD)rcDesk.left - (DWORD)cx) / 2;
    int y = (int)((DWORD)rcDesk.bottom - (DWORD)rcDesk.top - (DWORD)cy) / 2;
    MoveWindow(hDlg, x, y, cx, cy, TRUE);
}

void SetDlgItemResText(HWND hDlg, int nIdItem, UINT uIdString)
{
    char szText[TEXT_BUF_SIZE];
    if (LoadStringA(g_hInst, uIdString, szText, sizeof(szText)) <= 0)
        szText[0] = 0;
    SetDlgItemTextA(hDlg, nIdItem, szText);
}

static void SetCaptionResText(HWND hDlg, UINT uIdString)
{
    char *psz = g_strCaption.Reserve(TEXT_BUF_SIZE);
    if (psz && LoadStringA(g_hInst, uIdString, psz, TEXT_BUF_SIZE) <= 0)
        psz[0] = 0;
    SetWindowTextA(hDlg, g_strCaption.Get());
}

/* The opening steps every dialog shares after its own first ones. */
static void InitDialogTexts(HWND hDlg, UINT uCaption, int nIdText, UINT uText, bool bCancel)
{
    SetCaptionResText(hDlg, uCaption);
    SetDlgItemResText(hDlg, nIdText, uText);
    SetDlgItemResText(hDlg, IDOK, IDS_OK);
    if (bCancel)
        SetDlgItemResText(hDlg, IDCANCEL, IDS_CANCEL);
    SetFocus(GetDlgItem(hDlg, IDOK));
}

INT_PTR CALLBACK ChangeBayDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    /* Every message, the dialog manager's own included, looks at the bay first. */
    CheckBayDevice();

    switch (uMsg) {
    case WM_INITDIALOG:
        MessageBeep(MB_ICONEXCLAMATION);
        CenterOnDesktop(hDlg);
        InitDialogTexts(hDlg, IDS_CAPTION_CHANGE, IDC_CHANGE_TEXT,
                        g_bCanSwap ? IDS_CHANGE_PROMPT : IDS_CHANGE_REFUSED, true);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            /* The modal loop ends only after the suspend request has returned. */
            EndDialog(hDlg, 0);
            ConfirmBayChange();
            break;
        case IDCANCEL:
            EndDialog(hDlg, 0);
            break;
        }
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK UnloadDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (uMsg) {
    case WM_INITDIALOG:
        CenterOnDesktop(hDlg);
        InitDialogTexts(hDlg, IDS_CAPTION_UNLOAD, IDC_UNLOAD_TEXT, IDS_UNLOAD_QUESTION, true);
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != 0)
            return FALSE;
        switch (LOWORD(wParam)) {
        case IDOK:
            /* Destroys the main window and, as its owner, this dialog too. */
            UnloadProgram();
            EndDialog(hDlg, 0);
            break;
        case IDCANCEL:
            EndDialog(hDlg, 0);
            break;
        }
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (uMsg) {
    case WM_INITDIALOG:
        CenterOnDesktop(hDlg);
        InitDialogTexts(hDlg, IDS_CAPTION_ABOUT, IDC_ABOUT_TEXT, IDS_ABOUT_TEXT, false);
        return TRUE;
    case WM_COMMAND:
        /* Any command closes it, Esc and the close box too (they send IDCANCEL). */
        if (HIWORD(wParam) == 0)
            EndDialog(hDlg, 0);
        return FALSE;
    }
    return FALSE;
}
