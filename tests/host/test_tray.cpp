/* The tray icon: its callback message, the tool-tip, the shell records and the two popup menus. */
#include "fixture.h"

#include <stddef.h>
#include <stdio.h>
#include <string.h>

namespace {

const LPARAM kLargeLParam = 0x10202;   /* a button-up report with bits above it */

/* The record as the shell receives it: it ends with the 64-byte tip. */
const DWORD kRecordSize = (DWORD)(offsetof(NOTIFYICONDATAA, szTip) + 64);

/* The texts of the popups' items and of the tool-tips, as code-page bytes. */
struct TextSet {
    unsigned lang;
    const char *change;     /* string 8 */
    const char *unload;     /* string 9 */
    const char *about;      /* string 1 */
    const char *exist;      /* string 10 */
    const char *none;       /* string 11 */
};
const TextSet kEnglish = { 1033, "Change Swap Bay", "Unload Zendrik", "About Zendrik", "Swap Bay Exist", "No Swap Bay" };
const TextSet kJapanese = {
    1041,
    "Swap Bay\x82\xCC\x95\xCF\x8DX",                /* Swap Bayの変更 */
    "Zendrik\x82\xCC\x8D\xED\x8F\x9C",              /* Zendrikの削除 */
    "Zendrik\x82\xC9\x82\xC2\x82\xA2\x82\xC4",      /* Zendrikについて */
    "Swap Bay\x82\xA0\x82\xE8",                     /* Swap Bayあり */
    "Swap Bay\x82\xC8\x82\xB5",                     /* Swap Bayなし */
};

/* What one tray message makes the program do, the main window being W1 and the cursor at 0, 0. */
const Lines kNothing = {};
const Lines kTipNoBay = {
    "ThkGetSwapBayDevice()",
    "LoadStringA(HINST, 11, 256)",
    "Shell_NotifyIconA(1, 0x5, NULL)",
};
const Lines kLeftMenu = {
    "LoadMenuA(HINST, 104)",
    "GetSubMenu(M1, 0)",
    "LoadStringA(HINST, 8, 256)",
    "ModifyMenuA(M2, 0, 0x400, 40002, \"Change Swap Bay\")",
    "GetCursorPos()",
    "SetForegroundWindow(W1)",
    "TrackPopupMenu(M2, 0, 0, 0, 0, W1, NULL)",
    "DestroyMenu(M1)",
};
const Lines kRightMenu = {
    "LoadMenuA(HINST, 108)",
    "GetSubMenu(M1, 0)",
    "LoadStringA(HINST, 9, 256)",
    "ModifyMenuA(M2, 0, 0x400, 40003, \"Unload Zendrik\")",
    "LoadStringA(HINST, 1, 256)",
    "ModifyMenuA(M2, 2, 0x400, 40007, \"About Zendrik\")",
    "GetCursorPos()",
    "SetForegroundWindow(W1)",
    "TrackPopupMenu(M2, 0, 0, 0, 0, W1, NULL)",
    "DestroyMenu(M1)",
};
/* The dialog manager is scripted away here; the dialog itself has tests of its own. */
const Lines kChangeBayDialog = {
    "DialogBoxParamA(HINST, 106, W1, ChangeBayDlgProc, 0)",
};

std::string Format(const char *pszFormat, unsigned a, unsigned b)
{
    char sz[128];
    snprintf(sz, sizeof(sz), pszFormat, a, b);
    return sz;
}

std::string TipBytes(const NOTIFYICONDATAA &nid)
{
    return std::string(nid.szTip, sizeof(nid.szTip));
}

/* A tip as the shell should find it: the text, then zeros to the end of the field. */
std::string PaddedTip(const std::string &text)
{
    std::string out = text.substr(0, 63);
    out.resize(64, '\0');
    return out;
}

class TrayTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        StartWindow();
    }
    /* The state after start-up: the hidden window W1 with its icon, and an empty trace. */
    void StartWindow(bool bIcon = true)
    {
        g_hInst = stub::Instance();
        ASSERT_TRUE(CreateMainWindow());
        if (bIcon)
            TrayIconNotify(NIM_ADD, IDI_TRAY, NULL);
        stub::ClearTrace();
    }
    void Restart(bool bIcon = true)
    {
        ResetProgram();
        StartWindow(bIcon);
    }
    LRESULT Tray(WPARAM wParam, LPARAM lParam) { return MainWndProc(g_hMainWnd, WM_TRAYNOTIFY, wParam, lParam); }
};

/* ---- The callback message ---- */

TEST_F(TrayTest, CallbackMessageTable)
{
    struct Row {
        LPARAM lParam;
        const Lines &expected;
    };
    const Row rows[] = {
        { 0x01FF, kNothing },       { WM_MOUSEMOVE, kTipNoBay },         { WM_LBUTTONDOWN, kNothing },
        { WM_LBUTTONUP, kLeftMenu }, { WM_LBUTTONDBLCLK, kChangeBayDialog }, { WM_RBUTTONDOWN, kNothing },
        { WM_RBUTTONUP, kRightMenu }, { 0x0206, kNothing },              { kLargeLParam, kNothing },
        { 0x7FFFFFFF, kNothing },
    };
    std::vector<WPARAM> icons = { TRAY_ICON_UID, 0x3455, 0x3457, 0x13456, 0 };
    if (sizeof(WPARAM) > 4)
        icons.push_back((WPARAM)((unsigned long long)1 << 32 | TRAY_ICON_UID));
    for (WPARAM icon : icons) {
        for (const Row &row : rows) {
            Restart();
            stub::Inject("DialogBoxParamA", -1, 0);
            const Lines &expected = icon == TRAY_ICON_UID ? row.expected : kNothing;
            EXPECT_EQ(0, Tray(icon, row.lParam));
            EXPECT_TRACE(expected) << "icon " << std::hex << icon << ", lParam " << row.lParam;
            EXPECT_EQ(0, stub::LiveCounts().menus);
        }
    }
}

/* The double click runs the very dialog the command opens, owned by the main window. */
TEST_F(TrayTest, DoubleClickOpensTheChangeBayDialog)
{
    stub::QueueKey(VK_ESCAPE);
    Tray(TRAY_ICON_UID, WM_LBUTTONDBLCLK);
    ASSERT_EQ(1u, stub::Dialogs().size());
    EXPECT_EQ((unsigned)IDD_CHANGE_BAY, stub::Dialogs()[0].id);
    EXPECT_TRUE(stub::Dialogs()[0].ownerIsMain);
    EXPECT_EQ(0u, stub::ActionsLeft());
    EXPECT_EQ(1, stub::LiveCounts().windows);
}

/* ---- The tool-tip ---- */

TEST_F(TrayTest, ToolTipFollowsTheBayDeviceCode)
{
    struct Row {
        DWORD device;   /* the controller's whole answer */
        bool exists;
    };
    const Row rows[] = {
        { 0, false }, { 0xFFFF, false }, { 0xABCDFFFF, false }, { 0xABCD0000, false },
        { 40, true },  /* a fixed device still is a module */
        { 5, true },   { 0xABCD0005, true }, { 0xFFFE, true },
    };
    for (const TextSet &set : { kEnglish, kJapanese }) {
        for (const Row &row : rows) {
            Restart();
            stub::SetLanguage(set.lang);
            stub::Inject("ThkGetSwapBayDevice", -1, row.device);
            Tray(TRAY_ICON_UID, WM_MOUSEMOVE);

            std::string what = "device " + std::to_string(row.device) + ", language " + std::to_string(set.lang);
            EXPECT_TRACE((Lines{ "ThkGetSwapBayDevice()", row.exists ? "LoadStringA(HINST, 10, 256)"
                                                                      : "LoadStringA(HINST, 11, 256)",
                                 "Shell_NotifyIconA(1, 0x5, NULL)" }))
                << what;
            ASSERT_EQ(2u, stub::TrayCalls().size()) << what;
            const NOTIFYICONDATAA &nid = stub::TrayCalls()[1].nid;
            EXPECT_EQ(PaddedTip(row.exists ? set.exist : set.none), TipBytes(nid)) << what;
            EXPECT_EQ((HICON)NULL, nid.hIcon) << what;
        }
    }
}

/* Asked afresh at every move: a module that arrives shows at the next one. */
TEST_F(TrayTest, EveryMoveAsksTheControllerAgain)
{
    Tray(TRAY_ICON_UID, WM_MOUSEMOVE);
    stub::Bay().device = 5;
    Tray(TRAY_ICON_UID, WM_MOUSEMOVE);
    stub::Bay().device = 0;
    Tray(TRAY_ICON_UID, WM_MOUSEMOVE);
    std::vector<std::string> tips;
    for (size_t i = 1; i < stub::TrayCalls().size(); ++i)
        tips.push_back(stub::TrayCalls()[i].nid.szTip);
    EXPECT_EQ((std::vector<std::string>{ "No Swap Bay", "Swap Bay Exist", "No Swap Bay" }), tips);
    EXPECT_EQ(3u, TraceOf({ "ThkGetSwapBayDevice" }).size());
}

/* ---- The shell records ---- */

/* The program's three calls as the shell receives them: start-up, a tip refresh, exit. */
TEST_F(TrayTest, TheThreeCallsOfARun)
{
    ResetProgram();
    int idle = 0;
    stub::SetIdle([&] {
        if (++idle == 1)
            stub::Post(g_hMainWnd, WM_TRAYNOTIFY, TRAY_ICON_UID, WM_MOUSEMOVE);
        else
            stub::Post(g_hMainWnd, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(0, WinMain(stub::Instance(), NULL, NULL, 1));

    /* The icon is destroyed right after the call that used it. */
    EXPECT_EQ((Lines{ "LoadIconA(HINST, 101)", "Shell_NotifyIconA(0, 0x3, I1)", "DestroyIcon(I1)",
                      "Shell_NotifyIconA(1, 0x5, NULL)", "Shell_NotifyIconA(2, 0x1, NULL)" }),
              TraceOf({ "LoadIconA", "Shell_NotifyIconA", "DestroyIcon" }));
    const std::vector<stub::TrayCall> &calls = stub::TrayCalls();
    ASSERT_EQ(3u, calls.size());
    const DWORD ops[] = { NIM_ADD, NIM_MODIFY, NIM_DELETE };
    const UINT flags[] = { NIF_MESSAGE | NIF_ICON, NIF_MESSAGE | NIF_TIP, NIF_MESSAGE };
    const char *tips[] = { "", "No Swap Bay", "" };
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ops[i], calls[i].message) << i;
        EXPECT_EQ(kRecordSize, calls[i].nid.cbSize) << i;
        EXPECT_EQ(g_hMainWnd, calls[i].nid.hWnd) << i;
        EXPECT_EQ((UINT)TRAY_ICON_UID, calls[i].nid.uID) << i;
        EXPECT_EQ(flags[i], calls[i].nid.uFlags) << i;
        EXPECT_EQ((UINT)WM_TRAYNOTIFY, calls[i].nid.uCallbackMessage) << i;
        EXPECT_EQ(i == 0, calls[i].nid.hIcon != NULL) << i;
        EXPECT_EQ(PaddedTip(tips[i]), TipBytes(calls[i].nid)) << i;
    }
    EXPECT_EQ(stub::Live({ 0, 0, 0, 0, 0 }), stub::LiveCounts()) << stub::ToString(stub::LiveCounts());
}

TEST_F(TrayTest, RecordFields)
{
    struct Row {
        const char *what;
        DWORD op;
        UINT icon;
        const char *tip;
        const char *loaded;     /* the icon load in the trace, or NULL */
        UINT flags;
    };
    const Row rows[] = {
        { "add at start-up", NIM_ADD, IDI_TRAY, NULL, "LoadIconA(HINST, 101)", NIF_MESSAGE | NIF_ICON },
        { "tip refresh", NIM_MODIFY, 0, "No Swap Bay", NULL, NIF_MESSAGE | NIF_TIP },
        { "remove at exit", NIM_DELETE, 0, NULL, NULL, NIF_MESSAGE },
        { "icon and tip together", NIM_MODIFY, IDI_TRAY, "x", "LoadIconA(HINST, 101)", NIF_MESSAGE | NIF_ICON | NIF_TIP },
        { "icon counted by its low 16 bits", NIM_MODIFY, 0x10000 + IDI_TRAY, NULL, "LoadIconA(HINST, 101)",
          NIF_MESSAGE | NIF_ICON },
    };
    for (const Row &row : rows) {
        /* The icon stands in the notification area unless this call adds it. */
        Restart(row.op != NIM_ADD);
        size_t before = stub::TrayCalls().size();
        EXPECT_TRUE(TrayIconNotify(row.op, row.icon, row.tip)) << row.what;

        /* Handles count from I1; the add of the set-up took I1 when there was one. */
        const char *icon = before ? "I2" : "I1";
        Lines expected;
        if (row.loaded)
            expected = { row.loaded, Format("Shell_NotifyIconA(%u, %#x, ", (unsigned)row.op, row.flags) + icon + ")",
                         std::string("DestroyIcon(") + icon + ")" };
        else
            expected = { Format("Shell_NotifyIconA(%u, %#x, NULL)", (unsigned)row.op, row.flags) };
        EXPECT_TRACE(expected) << row.what;

        ASSERT_EQ(before + 1, stub::TrayCalls().size()) << row.what;
        const stub::TrayCall &call = stub::TrayCalls().back();
        EXPECT_EQ(row.op, call.message) << row.what;
        EXPECT_EQ(kRecordSize, call.nid.cbSize) << row.what;
        EXPECT_EQ(g_hMainWnd, call.nid.hWnd) << row.what;
        EXPECT_EQ((UINT)TRAY_ICON_UID, call.nid.uID) << row.what;
        EXPECT_EQ(row.flags, call.nid.uFlags) << row.what;
        EXPECT_EQ((UINT)WM_TRAYNOTIFY, call.nid.uCallbackMessage) << row.what;
        EXPECT_EQ(row.loaded != NULL, call.nid.hIcon != NULL) << row.what;
        EXPECT_EQ(PaddedTip(row.tip ? row.tip : ""), TipBytes(call.nid)) << row.what;
        EXPECT_EQ(0, stub::LiveCounts().icons) << row.what;
    }
}

TEST_F(TrayTest, LongTipsAreCutTo63BytesAndTheTerminator)
{
    for (size_t len : { 0u, 1u, 62u, 63u, 64u, 65u, 200u }) {
        Restart();
        std::string tip;
        for (size_t i = 0; i < len; ++i)
            tip += (char)('A' + i % 26);
        TrayIconNotify(NIM_MODIFY, 0, tip.c_str());
        ASSERT_EQ(2u, stub::TrayCalls().size());
        EXPECT_EQ(PaddedTip(tip), TipBytes(stub::TrayCalls()[1].nid)) << "length " << len;
    }
}

TEST_F(TrayTest, IconThatCannotBeLoaded)
{
    struct Row {
        const char *what;
        std::function<void()> arrange;
        UINT icon;
        const char *loaded;
    };
    const Row rows[] = {
        { "no icon of that number", [] {}, 102, "LoadIconA(HINST, 102)" },
        { "the low 16 bits name no icon", [] {}, 0x10000 + 102, "LoadIconA(HINST, 102)" },
        { "icon resource missing", [] { stub::HideResource(14, IDI_TRAY); }, IDI_TRAY, "LoadIconA(HINST, 101)" },
    };
    for (const Row &row : rows) {
        Restart();
        row.arrange();
        EXPECT_FALSE(TrayIconNotify(NIM_MODIFY, row.icon, "tip")) << row.what;
        EXPECT_TRACE((Lines{ row.loaded })) << row.what;
        EXPECT_EQ(1u, stub::TrayCalls().size()) << row.what << ": no shell call";
    }
}

TEST_F(TrayTest, ShellFailureIsPassedBackAndTheIconStillReleased)
{
    stub::Inject("Shell_NotifyIconA", -1, FALSE);
    EXPECT_FALSE(TrayIconNotify(NIM_ADD, IDI_TRAY, NULL));
    EXPECT_TRACE((Lines{ "LoadIconA(HINST, 101)", "Shell_NotifyIconA(0, 0x3, I2)", "DestroyIcon(I2)" }));
    EXPECT_EQ(0, stub::LiveCounts().icons);
}

/* ---- Popup menus ---- */

typedef std::vector<stub::MenuItemInfo> Items;

std::string Describe(const Items &items)
{
    std::string out;
    for (const stub::MenuItemInfo &item : items)
        out += "[" + std::to_string(item.id) + " " + item.text + (item.separator ? " sep" : "") +
               (item.popup ? " popup" : "") + "] ";
    return out;
}

TEST_F(TrayTest, PopupTextsInBothLanguages)
{
    for (const TextSet &set : { kEnglish, kJapanese }) {
        Restart();
        stub::SetLanguage(set.lang);
        std::vector<std::string> seenInside;
        stub::SetPopupHook([&](HMENU hPopup) {
            seenInside.push_back(Describe(stub::MenuItems(hPopup)));
            return 0u;
        });
        Tray(TRAY_ICON_UID, WM_LBUTTONUP);
        Tray(TRAY_ICON_UID, WM_RBUTTONUP);

        const Items left = { { ID_SWAP_BAY, set.change, false, false } };
        const Items right = { { ID_UNLOAD, set.unload, false, false },
                              { 0, "", true, false },
                              { ID_ABOUT, set.about, false, false } };
        ASSERT_EQ(2u, stub::PopupsShown().size()) << set.lang;
        EXPECT_EQ(Describe(left), Describe(stub::PopupsShown()[0])) << set.lang;
        EXPECT_EQ(Describe(right), Describe(stub::PopupsShown()[1])) << set.lang;
        /* What TrackPopupMenu got is the popup itself, with those texts. */
        EXPECT_EQ((std::vector<std::string>{ Describe(left), Describe(right) }), seenInside) << set.lang;
        EXPECT_EQ(0, stub::LiveCounts().menus) << set.lang;
    }
}

TEST_F(TrayTest, PopupOpensAtTheCursor)
{
    stub::SetCursor(POINT{ -17, 740 });
    Tray(TRAY_ICON_UID, WM_RBUTTONUP);
    EXPECT_EQ((Lines{ "TrackPopupMenu(M2, 0, -17, 740, 0, W1, NULL)" }), TraceOf({ "TrackPopupMenu" }));
}

/* The chosen command is the system's to post; the program posts nothing after the popup. */
TEST_F(TrayTest, NothingIsPostedAfterThePopup)
{
    for (LPARAM click : { (LPARAM)WM_LBUTTONUP, (LPARAM)WM_RBUTTONUP }) {
        Restart();
        Tray(TRAY_ICON_UID, click);
        EXPECT_EQ("DestroyMenu(M1)", stub::Trace().back());
        stub::ClearTrace();
        stub::PumpPosted();
        EXPECT_TRACE(kNothing) << "click " << click;
    }
}

TEST_F(TrayTest, CommandChosenFromThePopupReachesOnCommand)
{
    struct Row {
        LPARAM click;
        UINT command;
        unsigned dialog;
        const char *opened;
    };
    const Row rows[] = {
        { WM_LBUTTONUP, ID_SWAP_BAY, IDD_CHANGE_BAY, "DialogBoxParamA(HINST, 106, W1, ChangeBayDlgProc, 0)" },
        { WM_RBUTTONUP, ID_UNLOAD, IDD_UNLOAD, "DialogBoxParamA(HINST, 109, W1, UnloadDlgProc, 0)" },
        { WM_RBUTTONUP, ID_ABOUT, IDD_ABOUT, "DialogBoxParamA(HINST, 111, W1, AboutDlgProc, 0)" },
    };
    for (const Row &row : rows) {
        Restart();
        UINT command = row.command;
        stub::SetPopupHook([command](HMENU) { return command; });
        stub::QueueKey(VK_ESCAPE);
        Tray(TRAY_ICON_UID, row.click);
        EXPECT_EQ(0u, stub::Dialogs().size()) << "the popup closes before the command is handled";
        stub::PumpPosted();
        EXPECT_EQ((Lines{ row.opened }), TraceOf({ "DialogBoxParamA" })) << row.command;
        ASSERT_EQ(1u, stub::Dialogs().size()) << row.command;
        EXPECT_EQ(row.dialog, stub::Dialogs()[0].id);
        EXPECT_EQ(stub::Live({ 1, 0, 0, 0, 0 }), stub::LiveCounts()) << stub::ToString(stub::LiveCounts());
    }
}

TEST_F(TrayTest, NoMenuOutlivesItsClick)
{
    for (int i = 0; i < 25; ++i) {
        Tray(TRAY_ICON_UID, i % 2 ? WM_LBUTTONUP : WM_RBUTTONUP);
        ASSERT_EQ(0, stub::LiveCounts().menus) << "after click " << i;
    }
    EXPECT_EQ(25u, stub::PopupsShown().size());
    EXPECT_EQ(25u, TraceOf({ "DestroyMenu" }).size());
}

TEST_F(TrayTest, MenuFailures)
{
    struct Row {
        const char *what;
        std::function<void()> arrange;
        Lines expected;
    };
    const Row rows[] = {
        { "LoadMenuA fails", [] { stub::Inject("LoadMenuA", 0, 0); }, { "LoadMenuA(HINST, 108)" } },
        { "menu resource missing", [] { stub::HideResource(4, IDR_APP_MENU); }, { "LoadMenuA(HINST, 108)" } },
        { "no popup at position 0", [] { stub::Inject("GetSubMenu", 0, 0); },
          { "LoadMenuA(HINST, 108)", "GetSubMenu(M1, 0)", "DestroyMenu(M1)" } },
    };
    for (const Row &row : rows) {
        Restart();
        row.arrange();
        Tray(TRAY_ICON_UID, WM_RBUTTONUP);
        EXPECT_TRACE(row.expected) << row.what;
        EXPECT_EQ(0u, stub::PopupsShown().size()) << row.what;
        EXPECT_EQ(0, stub::LiveCounts().menus) << row.what;
    }
}

/* Results the program does not look at: the popup still shows and the menu still goes. */
TEST_F(TrayTest, IgnoredResultsOfTheMenuCalls)
{
    for (const char *call : { "LoadStringA", "ModifyMenuA", "GetCursorPos", "SetForegroundWindow", "TrackPopupMenu" }) {
        Restart();
        stub::Inject(call, -1, 0);
        Tray(TRAY_ICON_UID, WM_RBUTTONUP);
        EXPECT_EQ(1u, TraceOf({ "TrackPopupMenu" }).size()) << call;
        EXPECT_EQ("DestroyMenu(M1)", stub::Trace().back()) << call;
        EXPECT_EQ(0, stub::LiveCounts().menus) << call;
    }
}

/* The menu goes even when an exception passes through the handler. */
TEST_F(TrayTest, MenuIsDestroyedWhenAnExceptionPassesThrough)
{
    stub::SetPopupHook([](HMENU) -> UINT { throw 42; });
    EXPECT_THROW(Tray(TRAY_ICON_UID, WM_LBUTTONUP), int);
    EXPECT_EQ("DestroyMenu(M1)", stub::Trace().back());
    EXPECT_EQ(0, stub::LiveCounts().menus);
}

/* The popup's own loop dispatches the main window's messages: a second click inside the
   first popup gets its own menu and text buffer and leaves the first popup intact. */
TEST_F(TrayTest, ClickWhileAPopupIsOpen)
{
    int depth = 0;
    std::string outerAfter;
    stub::SetPopupHook([&](HMENU hPopup) {
        if (++depth == 1) {
            Tray(TRAY_ICON_UID, WM_RBUTTONUP);
            outerAfter = Describe(stub::MenuItems(hPopup));
        }
        return 0u;
    });
    Tray(TRAY_ICON_UID, WM_LBUTTONUP);

    EXPECT_EQ(Describe({ { ID_SWAP_BAY, "Change Swap Bay", false, false } }), outerAfter);
    EXPECT_EQ((Lines{ "TrackPopupMenu(M2, 0, 0, 0, 0, W1, NULL)", "TrackPopupMenu(M4, 0, 0, 0, 0, W1, NULL)" }),
              TraceOf({ "TrackPopupMenu" }));
    EXPECT_EQ((Lines{ "DestroyMenu(M3)", "DestroyMenu(M1)" }), TraceOf({ "DestroyMenu" }));
    EXPECT_EQ(0, stub::LiveCounts().menus);
}

}
