/* MOXU's process-wide state and the operations its parts call on one another. */
#ifndef MOXU_MOXU_H
#define MOXU_MOXU_H

#include "platform.h"
#include "moxu2.h"
#include "resource.h"

/* Window identity: class name and title are the same text. */
#define MOXU_WINDOW_NAME    "MOXU"

/* Poll timer of system mode 1. */
#define POLL_TIMER_ID       1
#define POLL_PERIOD_MS      1000

/* Tray icon identity and its callback message. */
#define TRAY_ICON_UID       0x3456
#define WM_TRAYNOTIFY       (WM_USER + 0x100)

/* Fixed-device range of bay device codes (62, not 63). */
#define BAY_FIXED_FIRST     32
#define BAY_FIXED_LAST      62

/* ---- Entry, hidden window and message loop ---- */
extern HINSTANCE g_hInst;
extern HWND g_hMainWnd;

BOOL CreateMainWindow(void);
LRESULT CALLBACK MainWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);

/* ---- Device-node registry probe ---- */
extern DWORD g_dwBayDevnode;

DWORD HexToDword(const char *psz);
int ReadDevnodeValue(DWORD dwDevnode, const char *pszName, void *pBuf, DWORD cbBuf);
int ReadDevnodeStatus(DWORD dwDevnode, DWORD *pdwStatus);
bool IsDevnodeStarted(DWORD dwDevnode);
void FindBayDevnode(void);
void OnDeviceChange(WPARAM wParam, LPARAM lParam);

/* ---- Swap policy and bay state ---- */
extern BYTE g_bCanSwap;
extern BYTE g_bSwapSuspend;
extern UINT_PTR g_uPollTimer;

bool ApplyFixedDeviceRule(WORD wDevice);
void CheckBayDevice(void);
void SetBayDeviceEnabled(DWORD dwEnable);
VOID CALLBACK PollTimerProc(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);
void OnPowerBroadcast(WPARAM wParam, LPARAM lParam);
void ConfirmBayChange(void);
void UnloadProgram(void);
void StopPollTimer(void);

/* ---- Tray icon and popup menus ---- */
BOOL TrayIconNotify(DWORD dwMessage, UINT uIconId, const char *pszTip);
void OnTrayMessage(WPARAM wParam, LPARAM lParam);

/* ---- Dialogs and menu commands ---- */
LRESULT OnCommand(WPARAM wParam, LPARAM lParam);
void RunDialog(UINT uDialog, DLGPROC pfnDlgProc);
INT_PTR CALLBACK ChangeBayDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK UnloadDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
void CenterOnDesktop(HWND hDlg);
void SetDlgItemResText(HWND hDlg, int nIdItem, UINT uIdString);

#endif
