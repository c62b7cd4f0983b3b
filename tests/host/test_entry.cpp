/* Start-up, the single-instance rule, the hidden window, the loop and the routing of the main window. */
#include "fixture.h"

namespace {

/* What the program does up to the message loop when nothing fails. */
const Lines kCreate = {
    "FindWindowA(NULL, \"MOXU\")",
    "RegisterClassA(\"MOXU\")",
    "CreateWindowExA(0, \"MOXU\", \"MOXU\", 0xcf0000, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, "
    "NULL, NULL, HINST, NULL)",
    "DefWindowProcA(W1, 0x81, 0, 0)",
    "DefWindowProcA(W1, 0x1, 0, 0)",
};
const Lines kTrayAdd = {
    "LoadIconA(HINST, 101)",
    "Shell_NotifyIconA(0, 0x3, I1)",
    "DestroyIcon(I1)",
};
const Lines kScanNoRegistry = {
    "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\")",
};
const Lines kFirstLook = {
    "ThkGetSwapBayDevice()",
    "ThkGetSwapCapability()",
    "ThkGetSwapBayStatus()",
    "ThkGetCurSystemMode()",
};
const Lines kPollTimer = {
    "SetTimer(W1, 1, 1000, PollTimerProc)",
};
/* WM_CLOSE from outside: the default handling destroys the window. */
const Lines kCloseWithTimer = {
    "DefWindowProcA(W1, 0x10, 0, 0)",
    "KillTimer(W1, 1)",
    "PostQuitMessage(0)",
    "ThkDisableSwap()",
    "DefWindowProcA(W1, 0x82, 0, 0)",
};
const Lines kCloseNoTimer = {
    "DefWindowProcA(W1, 0x10, 0, 0)",
    "PostQuitMessage(0)",
    "ThkDisableSwap()",
    "DefWindowProcA(W1, 0x82, 0, 0)",
};
const Lines kTrayDelete = {
    "Shell_NotifyIconA(2, 0x1, NULL)",
};

/* Runs WinMain; when the loop first waits, a close request arrives from outside. */
int RunUntilClosed()
{
    stub::SetIdle([] {
        HWND hWnd = stub::FindByTitle("MOXU");
        if (hWnd)
            stub::Post(hWnd, WM_CLOSE, 0, 0);
    });
    return WinMain(stub::Instance(), NULL, (LPSTR) "ignored args", 1);
}

class EntryTest : public ProgramTest {};

TEST_F(EntryTest, StartsInSystemMode1WithPollTimerAndEndsOnClose)
{
    stub::Bay().mode = 1;
    int code = RunUntilClosed();

    EXPECT_EQ(0, code);
    EXPECT_FALSE(stub::Starved());
    EXPECT_TRACE(Concat({ kCreate, kTrayAdd, kScanNoRegistry, kFirstLook, kPollTimer, kCloseWithTimer, kTrayDelete }));
    EXPECT_EQ(stub::Instance(), g_hInst);
    EXPECT_EQ(0u, g_uPollTimer);
    EXPECT_EQ(stub::Live({ 0, 0, 0, 0, 0 }), stub::LiveCounts()) << stub::ToString(stub::LiveCounts());
    EXPECT_FALSE(stub::TrayIconShown());
}

TEST_F(EntryTest, OtherSystemModesStartNoTimer)
{
    for (DWORD mode : { 0u, 2u, 0xFFFFu, 0x10000u }) {
        ResetProgram();
        stub::Bay().mode = mode;
        EXPECT_EQ(0, RunUntilClosed()) << "mode " << mode;
        EXPECT_TRACE(Concat({ kCreate, kTrayAdd, kScanNoRegistry, kFirstLook, kCloseNoTimer, kTrayDelete }))
            << "mode " << mode;
    }
}

TEST_F(EntryTest, ModeCountsByItsLow16BitsOnly)
{
    stub::Bay().mode = 1;
    stub::Bay().upper = 0x12340000;
    RunUntilClosed();
    EXPECT_TRACE(Concat({ kCreate, kTrayAdd, kScanNoRegistry, kFirstLook, kPollTimer, kCloseWithTimer, kTrayDelete }));
}

TEST_F(EntryTest, FixedDeviceAtStartDisablesSwapBetweenCapabilityAndStatus)
{
    stub::Bay().device = 32;
    RunUntilClosed();
    EXPECT_EQ(0, g_bCanSwap);
    EXPECT_EQ((Lines{ "ThkGetSwapBayDevice()", "ThkGetSwapCapability()", "ThkDisableSwap()", "ThkGetSwapBayStatus()",
                      "ThkGetCurSystemMode()", "ThkDisableSwap()" }),
              TraceOf({ "ThkGetSwapBayDevice", "ThkGetSwapCapability", "ThkDisableSwap", "ThkGetSwapBayStatus",
                        "ThkGetCurSystemMode" }));
}

/* The window exists for the program's life, of class and title "MOXU", and is never shown. */
TEST_F(EntryTest, HiddenWindowHasTheClassOfItsOwn)
{
    HWND hSeen = NULL;
    bool bVisible = true;
    stub::SetIdle([&] {
        hSeen = stub::FindByTitle("MOXU");
        bVisible = stub::IsVisible(hSeen);
        stub::Post(hSeen, WM_CLOSE, 0, 0);
    });
    WinMain(stub::Instance(), NULL, NULL, 10 /* SW_SHOWDEFAULT: ignored */);

    ASSERT_NE(nullptr, hSeen);
    EXPECT_EQ(g_hMainWnd, hSeen);
    EXPECT_FALSE(bVisible);
    const WNDCLASSA *wc = stub::RegisteredClass("MOXU");
    ASSERT_NE(nullptr, wc);
    EXPECT_EQ(0u, wc->style);
    EXPECT_EQ((WNDPROC)MainWndProc, wc->lpfnWndProc);
    EXPECT_EQ(0, wc->cbClsExtra);
    EXPECT_EQ(0, wc->cbWndExtra);
    EXPECT_EQ(stub::Instance(), wc->hInstance);
    EXPECT_EQ(nullptr, wc->hIcon);
    EXPECT_EQ(nullptr, wc->hCursor);
    EXPECT_EQ(nullptr, wc->hbrBackground);
    EXPECT_EQ(nullptr, wc->lpszMenuName);
}

struct FailureRow {
    const char *what;
    std::function<void()> arrange;
    Lines expected;         /* the whole trace */
    bool windowLeft;        /* the main window stays (a failed run never destroys it) */
};

TEST_F(EntryTest, StartUpFailures)
{
    const FailureRow rows[] = {
        { "another window titled MOXU, of another class",
          [] { stub::AddForeignWindow("SomethingElse", "MOXU"); },
          { "FindWindowA(NULL, \"MOXU\")" }, false },
        { "RegisterClassA fails",
          [] { stub::Inject("RegisterClassA", 0, 0); },
          { "FindWindowA(NULL, \"MOXU\")", "RegisterClassA(\"MOXU\")" }, false },
        { "CreateWindowExA fails",
          [] { stub::Inject("CreateWindowExA", 0, 0); },
          { kCreate[0], kCreate[1], kCreate[2] }, false },
    };
    for (const FailureRow &row : rows) {
        ResetProgram();
        row.arrange();
        stub::SetIdle([] { ADD_FAILURE() << "the loop must not run"; });
        EXPECT_EQ(0, WinMain(stub::Instance(), NULL, NULL, 1)) << row.what;
        EXPECT_TRACE(row.expected) << row.what;
        EXPECT_EQ(nullptr, g_hMainWnd) << row.what;
        EXPECT_FALSE(stub::TrayIconShown()) << row.what;
        EXPECT_EQ(stub::Live({ 0, 0, 0, 0, 0 }), stub::LiveCounts()) << row.what;
    }
}

TEST_F(EntryTest, IconFailuresAreIgnored)
{
    /* The shell refuses the icon: the program runs on and still removes it at the end. */
    stub::Inject("Shell_NotifyIconA", 0, FALSE);
    EXPECT_EQ(0, RunUntilClosed());
    EXPECT_TRACE(Concat({ kCreate, kTrayAdd, kScanNoRegistry, kFirstLook, kPollTimer, kCloseWithTimer, kTrayDelete }));
    EXPECT_EQ(0, stub::LiveCounts().icons);

    /* The icon cannot be loaded: no shell call at start, the delete is still sent. */
    ResetProgram();
    stub::Inject("LoadIconA", 0, 0);
    EXPECT_EQ(0, RunUntilClosed());
    EXPECT_TRACE(Concat({ kCreate, { "LoadIconA(HINST, 101)" }, kScanNoRegistry, kFirstLook, kPollTimer,
                          kCloseWithTimer, kTrayDelete }));
}

TEST_F(EntryTest, FailedTimerMeansNoPolling)
{
    stub::Inject("SetTimer", 0, 0);
    EXPECT_EQ(0, RunUntilClosed());
    EXPECT_EQ(0u, g_uPollTimer);
    EXPECT_TRACE(Concat({ kCreate, kTrayAdd, kScanNoRegistry, kFirstLook, kPollTimer, kCloseNoTimer, kTrayDelete }));
}

TEST_F(EntryTest, ExitCodeIsTheDestroyMessagesWParam)
{
    stub::SetIdle([] { stub::Send(g_hMainWnd, WM_DESTROY, 7, 0); });
    EXPECT_EQ(7, WinMain(stub::Instance(), NULL, NULL, 1));
}

TEST_F(EntryTest, TimerTicksReachThePollProcedureThroughTheLoop)
{
    int idle = 0;
    stub::SetIdle([&] {
        if (++idle <= 3)
            stub::FireTimers();
        else
            stub::Post(g_hMainWnd, WM_CLOSE, 0, 0);
    });
    WinMain(stub::Instance(), NULL, NULL, 1);
    /* One status read at start-up and one per tick. */
    EXPECT_EQ(4u, TraceOf({ "ThkGetSwapBayStatus" }).size());
}

/* ---- Routing of the main window ---- */

struct RouteRow {
    const char *what;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    Lines expected;
    LRESULT result;
};

TEST_F(EntryTest, MainWindowRouting)
{
    /* DefWindowProcA answers 77 here so that a row shows whose result is returned. */
    const RouteRow rows[] = {
        { "a command nobody knows", WM_COMMAND, 12345, 0, {}, 0 },
        { "a command with a notification code", WM_COMMAND, MAKEWPARAM(1, 1), 99, {}, 0 },
        { "query-suspend", WM_POWERBROADCAST, PBT_APMQUERYSUSPEND, 0,
          { "DefWindowProcA(W1, 0x218, 0, 0)" }, 77 },
        { "a device event nobody handles", WM_DEVICECHANGE, 0x0007, 0,
          { "DefWindowProcA(W1, 0x219, 0x7, 0)" }, 77 },
        { "a tray message about another icon", WM_TRAYNOTIFY, 0x1234, WM_LBUTTONDBLCLK, {}, 0 },
        { "a timer message", WM_TIMER, 1, 0, { "DefWindowProcA(W1, 0x113, 0x1, 0)" }, 77 },
        { "WM_QUIT sent straight to the procedure", WM_QUIT, 5, 0, {}, 0 },
        { "an unknown message", 0x7FFF, 0xABC, 0xDEF, { "DefWindowProcA(W1, 0x7fff, 0xabc, 0xdef)" }, 77 },
        { "WM_CLOSE", WM_CLOSE, 0, 0, { "DefWindowProcA(W1, 0x10, 0, 0)" }, 77 },
        { "WM_DESTROY without a timer", WM_DESTROY, 3, 0, { "PostQuitMessage(3)", "ThkDisableSwap()" }, 0 },
    };
    for (const RouteRow &row : rows) {
        ResetProgram();
        g_hInst = stub::Instance();
        ASSERT_TRUE(CreateMainWindow());
        stub::ClearTrace();
        stub::Inject("DefWindowProcA", -1, 77);
        LRESULT result = MainWndProc(g_hMainWnd, row.msg, row.wParam, row.lParam);
        EXPECT_EQ(row.result, result) << row.what;
        EXPECT_TRACE(row.expected) << row.what;
        EXPECT_TRUE(stub::IsAlive(g_hMainWnd)) << row.what;
    }
}

TEST_F(EntryTest, DestroyStopsTheTimerThenQuitsThenTellsTheController)
{
    g_hInst = stub::Instance();
    ASSERT_TRUE(CreateMainWindow());
    g_uPollTimer = SetTimer(g_hMainWnd, 1, 1000, PollTimerProc);
    stub::ClearTrace();
    EXPECT_EQ(0, MainWndProc(g_hMainWnd, WM_DESTROY, 0, 0));
    EXPECT_TRACE((Lines{ "KillTimer(W1, 1)", "PostQuitMessage(0)", "ThkDisableSwap()" }));
    EXPECT_EQ(0u, g_uPollTimer);
    EXPECT_EQ(0, stub::LiveCounts().timers);
}

/* GetMessageA failing must not spin the loop for ever. */
TEST_F(EntryTest, FailingGetMessageEndsTheLoop)
{
    stub::Inject("GetMessageA", 0, -1);
    EXPECT_EQ(0, WinMain(stub::Instance(), NULL, NULL, 1));
    EXPECT_FALSE(stub::Starved());
    EXPECT_EQ(kTrayDelete.back(), stub::Trace().back());

    /* Also after messages were handled: the exit code is 0, not the last message's wParam. */
    ResetProgram();
    stub::Inject("GetMessageA", 1, -1);
    stub::SetIdle([] { stub::Post(g_hMainWnd, WM_TIMER, 0x55, 0); });
    EXPECT_EQ(0, WinMain(stub::Instance(), NULL, NULL, 1));
    EXPECT_EQ(kTrayDelete.back(), stub::Trace().back());
}

}
