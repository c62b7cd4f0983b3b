/* Resource identifiers of MOXU: shared by the resource scripts, the program and its tests. */
#ifndef MOXU_RESOURCE_H
#define MOXU_RESOURCE_H

/* Strings, 1..14: the string table holds these and no others. */
#define IDS_MENU_ABOUT          1
#define IDS_ABOUT_TEXT          2
#define IDS_OK                  3
#define IDS_UNLOAD_QUESTION     4
#define IDS_CANCEL              5
#define IDS_CHANGE_PROMPT       6
#define IDS_CHANGE_REFUSED      7
#define IDS_MENU_CHANGE         8
#define IDS_MENU_UNLOAD         9
#define IDS_TIP_BAY_EXIST       10
#define IDS_TIP_NO_BAY          11
#define IDS_CAPTION_CHANGE      12
#define IDS_CAPTION_ABOUT       13
#define IDS_CAPTION_UNLOAD      14

/* Icon, menus and dialogs, 101..111. */
#define IDI_TRAY                101
#define IDR_SWAP_MENU           104
#define IDD_CHANGE_BAY          106
#define IDR_APP_MENU            108
#define IDD_UNLOAD              109
#define IDD_ABOUT               111

/* Dialog buttons (the platform's own values). */
#ifndef IDOK
#define IDOK                    1
#endif
#ifndef IDCANCEL
#define IDCANCEL                2
#endif

/* Dialog controls, 1001..1005. */
#define IDC_CHANGE_ICON         1001
#define IDC_CHANGE_TEXT         1002
#define IDC_ABOUT_TEXT          1004
#define IDC_UNLOAD_TEXT         1005

/* Menu commands, 40002..40007. */
#define ID_SWAP_BAY             40002
#define ID_UNLOAD               40003
#define ID_ABOUT                40007

#endif
