/* The swap policy: the fixed-device rule, the poll tick, suspend and resume, confirm-change and unload. */
#include "fixture.h"

namespace {

const std::string kDevice = "ThkGetSwapBayDevice()";
const std::string kStatus = "ThkGetSwapBayStatus()";
const std::string kMode = "ThkGetCurSystemMode()";
const std::string kDisableSwap = "ThkDisableSwap()";
const std::string kDisable = "ThkEnableDisableDevice(0, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)";
const std::string kEnable = "ThkEnableDisableDevice(1, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)";
const std::string kSuspend = "SetSystemPowerState(1, 1)";
const std::string kSleep = "Sleep(250)";

class SwapTest : public ProgramTest {};

/* ---- The fixed-device rule ---- */

TEST_F(SwapTest, FixedDeviceRange)
{
    const struct {
        DWORD answer;       /* ThkGetSwapBayDevice's whole result */
        bool fixed;
    } rows[] = {
        { 0, false }, { 31, false }, { 32, true }, { 62, true }, { 63, false }, { 0xFFFF, false },
        { 0xABCD0020, true }, { 0xFFFF003E, true }, { 0x00010005, false }, { 0x0001001F, false },
        { 0x00010000, false }, { 0x0020FFFF, false }, { 0x00200000, false },
    };
    for (const auto &row : rows) {
        ResetProgram();
        EXPECT_EQ(row.fixed, ApplyFixedDeviceRule(LOWORD(row.answer))) << std::hex << row.answer;
        EXPECT_EQ(row.fixed ? 0 : 1, g_bCanSwap) << std::hex << row.answer;

        /* The dialog's check reads the controller and acts on the low 16 bits; every sighting tells it again. */
        ResetProgram();
        stub::Inject("ThkGetSwapBayDevice", -1, row.answer);
        CheckBayDevice();
        CheckBayDevice();
        Lines expected = row.fixed ? Lines{ kDevice, kDisableSwap, kDevice, kDisableSwap } : Lines{ kDevice, kDevice };
        EXPECT_TRACE(expected) << std::hex << row.answer;
        EXPECT_EQ(row.fixed ? 0 : 1, g_bCanSwap) << std::hex << row.answer;
    }
}

/* ---- The poll tick and the power events ---- */

enum Action { TICK, POWER };

struct PolicyRow {
    const char *what;
    BYTE canSwap;
    BYTE flag;              /* g_bSwapSuspend before */
    DWORD mode, status, device, upper;
    Action action;
    WPARAM event;
    Lines expected;
    BYTE flagAfter;
    BYTE canSwapAfter;
};

TEST_F(SwapTest, SuspendFlagTransitions)
{
    const PolicyRow rows[] = {
        /* poll tick */
        { "tick, status 0", 1, 0, 1, 0, 5, 0, TICK, 0, { kStatus }, 0, 1 },
        { "tick, status 0, flag set", 1, 1, 1, 0, 5, 0, TICK, 0, { kStatus }, 1, 1 },
        { "tick, status 0 in its low 16 bits", 1, 0, 1, 0, 5, 0x10000, TICK, 0, { kStatus }, 0, 1 },
        { "tick, request, removable device", 1, 0, 1, 1, 5, 0, TICK, 0, { kStatus, kDevice, kSuspend }, 1, 1 },
        { "tick, any non-zero status is a request", 1, 0, 1, 0x8000, 0, 0, TICK, 0,
          { kStatus, kDevice, kSuspend }, 1, 1 },
        { "tick, request, 0xFFFF", 1, 0, 1, 2, 0xFFFF, 0, TICK, 0, { kStatus, kDevice, kSuspend }, 1, 1 },
        { "tick, request, device 63", 1, 0, 1, 1, 63, 0, TICK, 0, { kStatus, kDevice, kSuspend }, 1, 1 },
        { "tick, request, change refused earlier", 0, 0, 1, 1, 5, 0, TICK, 0, { kStatus, kDevice, kSuspend }, 1, 0 },
        { "tick, request, fixed device", 1, 0, 1, 1, 32, 0, TICK, 0, { kStatus, kDevice, kDisableSwap }, 0, 0 },
        { "tick, request, fixed device 62", 1, 0, 1, 1, 62, 0, TICK, 0, { kStatus, kDevice, kDisableSwap }, 0, 0 },
        /* suspend */
        { "suspend 4, mode 1, flag set", 1, 1, 1, 1, 5, 0, POWER, PBT_APMSUSPEND, { kMode, kDisable }, 1, 1 },
        { "standby 5, mode 1, flag set", 1, 1, 1, 1, 5, 0, POWER, PBT_APMSTANDBY, { kMode, kDisable }, 1, 1 },
        { "suspend 4, mode 1, flag set, change refused", 0, 1, 1, 1, 5, 0, POWER, PBT_APMSUSPEND, { kMode }, 1, 0 },
        { "standby 5, mode 1, flag set, change refused", 0, 1, 1, 1, 5, 0, POWER, PBT_APMSTANDBY, { kMode }, 1, 0 },
        { "suspend, mode 1, no request: status not read", 1, 0, 1, 1, 5, 0, POWER, PBT_APMSUSPEND, { kMode }, 0, 1 },
        { "suspend, mode 0, status bit 0 set", 1, 0, 0, 1, 5, 0, POWER, PBT_APMSUSPEND,
          { kMode, kStatus, kDisable }, 1, 1 },
        { "standby, mode 0, status 3", 1, 0, 0, 3, 5, 0, POWER, PBT_APMSTANDBY, { kMode, kStatus, kDisable }, 1, 1 },
        { "suspend, mode 0, status 2: bit 0 clear", 1, 0, 0, 2, 5, 0, POWER, PBT_APMSUSPEND, { kMode, kStatus }, 0, 1 },
        { "suspend, mode 0, bit 0 clear, flag set", 1, 1, 0, 2, 5, 0, POWER, PBT_APMSUSPEND,
          { kMode, kStatus, kDisable }, 1, 1 },
        { "suspend, mode 0, request, change refused", 0, 0, 0, 1, 5, 0, POWER, PBT_APMSUSPEND, { kMode, kStatus }, 1, 0 },
        { "suspend, mode 0 in its low 16 bits", 1, 0, 0, 1, 5, 0x10000, POWER, PBT_APMSUSPEND,
          { kMode, kStatus, kDisable }, 1, 1 },
        { "suspend, mode 2: status not read", 1, 0, 2, 1, 5, 0, POWER, PBT_APMSUSPEND, { kMode }, 0, 1 },
        /* resume */
        { "resume, flag set, empty in its low 16 bits", 1, 1, 1, 0, 0, 0x10000, POWER, PBT_APMRESUMESUSPEND,
          { kDevice }, 0, 1 },
        { "resume, flag set, change refused earlier", 0, 1, 1, 0, 5, 0, POWER, PBT_APMRESUMESUSPEND,
          { kDevice, kEnable }, 0, 0 },
        { "resume, no swap suspend", 1, 0, 1, 0, 5, 0, POWER, PBT_APMRESUMESUSPEND, { kDevice }, 0, 1 },
        { "resume, no swap suspend, fixed device", 1, 0, 1, 0, 62, 0, POWER, PBT_APMRESUMEAUTOMATIC,
          { kDevice, kDisableSwap }, 0, 0 },
        /* everything else */
        { "query-suspend", 1, 1, 0, 1, 5, 0, POWER, PBT_APMQUERYSUSPEND, {}, 1, 1 },
        { "query-standby", 1, 1, 0, 1, 5, 0, POWER, 1, {}, 1, 1 },
        { "query-suspend failed", 1, 1, 0, 1, 5, 0, POWER, 2, {}, 1, 1 },
        { "battery low", 1, 1, 0, 1, 5, 0, POWER, 9, {}, 1, 1 },
        { "power status change", 1, 1, 0, 1, 32, 0, POWER, 10, {}, 1, 1 },
        { "OEM event", 1, 1, 0, 1, 32, 0, POWER, 11, {}, 1, 1 },
        { "suspend code with upper bits", 1, 1, 0, 1, 5, 0, POWER, 0x10004, {}, 1, 1 },
        { "resume code with upper bits", 1, 1, 0, 1, 5, 0, POWER, 0x10007, {}, 1, 1 },
    };
    for (const PolicyRow &row : rows) {
        ResetProgram();
        g_bCanSwap = row.canSwap;
        g_bSwapSuspend = row.flag;
        stub::Bay().mode = row.mode;
        stub::Bay().status = row.status;
        stub::Bay().device = row.device;
        stub::Bay().upper = row.upper;
        if (row.action == TICK)
            PollTimerProc(NULL, WM_TIMER, POLL_TIMER_ID, 0);
        else
            OnPowerBroadcast(row.event, 0x1234);
        EXPECT_TRACE(row.expected) << row.what;
        EXPECT_EQ(row.flagAfter, g_bSwapSuspend) << row.what;
        EXPECT_EQ(row.canSwapAfter, g_bCanSwap) << row.what;
    }
}

/* Every resume event after a swap suspend: the device comes back for any module, 0xFFFF included,
   before the fixed-device rule sees the new one. */
TEST_F(SwapTest, ResumeEventsAfterASwapSuspend)
{
    const struct {
        DWORD device;
        Lines expected;
        BYTE canSwapAfter;
    } rows[] = {
        { 0, { kDevice }, 1 },
        { 5, { kDevice, kEnable }, 1 },
        { 0xFFFF, { kDevice, kEnable }, 1 },
        { 32, { kDevice, kEnable, kDisableSwap }, 0 },
    };
    for (WPARAM event : { PBT_APMRESUMECRITICAL, PBT_APMRESUMESUSPEND, PBT_APMRESUMESTANDBY, PBT_APMRESUMEAUTOMATIC }) {
        for (const auto &row : rows) {
            ResetProgram();
            g_bSwapSuspend = 1;
            stub::Bay().device = row.device;
            OnPowerBroadcast(event, 0);
            EXPECT_TRACE(row.expected) << "event " << event << ", device " << row.device;
            EXPECT_EQ(0, g_bSwapSuspend) << "event " << event << ", device " << row.device;
            EXPECT_EQ(row.canSwapAfter, g_bCanSwap) << "event " << event << ", device " << row.device;
        }
    }
}

/* One resume may bring two events; the first clears the flag, so the device is enabled once. */
TEST_F(SwapTest, DoubleResumeEnablesOnce)
{
    g_bSwapSuspend = 1;
    stub::Bay().device = 5;
    OnPowerBroadcast(PBT_APMRESUMEAUTOMATIC, 0);
    OnPowerBroadcast(PBT_APMRESUMESUSPEND, 0);
    EXPECT_TRACE((Lines{ kDevice, kEnable, kDevice }));
    EXPECT_EQ(0, g_bSwapSuspend);
}

/* A refused suspend leaves the flag set: the next suspend, whatever its cause, is a swap suspend. */
TEST_F(SwapTest, RefusedTickSuspendMakesTheNextSuspendASwapSuspend)
{
    stub::Bay().status = 1;
    stub::Bay().device = 5;
    stub::Inject("SetSystemPowerState", -1, FALSE);
    PollTimerProc(NULL, WM_TIMER, POLL_TIMER_ID, 0);
    stub::Bay().status = 0;
    OnPowerBroadcast(PBT_APMSUSPEND, 0);
    EXPECT_TRACE((Lines{ kStatus, kDevice, kSuspend, kMode, kDisable }));
    EXPECT_EQ(1, g_bSwapSuspend);
}

/* ---- Confirm-change ---- */

Lines StatusRead()
{
    return { "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\0000B00B\")", "RegQueryValueExA(K1, \"Status\", 4)",
             "RegCloseKey(K1)" };
}

enum NodeState { STARTED, NOT_STARTED, UNKNOWN, GONE };

struct ConfirmRow {
    const char *what;
    BYTE canSwap;
    BYTE flag;
    NodeState node;
    int refusals;           /* SetSystemPowerState answers 0 this many times, -1 always */
    Lines expected;
    BYTE flagAfter;
};

Lines Tries(int n)
{
    Lines out = { kSuspend };
    for (int i = 1; i < n; ++i) {
        out.push_back(kSleep);
        out.push_back(kSuspend);
    }
    return out;
}

TEST_F(SwapTest, ConfirmBayChange)
{
    const ConfirmRow rows[] = {
        { "node started", 1, 0, STARTED, 0, Concat({ StatusRead(), { kDisable, kSuspend } }), 1 },
        { "node not started", 1, 0, NOT_STARTED, 0, Concat({ StatusRead(), { kSuspend } }), 1 },
        { "node unknown: no registry read", 1, 0, UNKNOWN, 0, { kSuspend }, 1 },
        { "node gone from the registry", 1, 0, GONE, 0,
          { "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\0000B00B\")", kSuspend }, 1 },
        { "change refused", 0, 0, STARTED, 0, {}, 0 },
        { "change refused, flag left as it was", 0, 1, STARTED, 0, {}, 1 },
        { "refused once", 1, 0, NOT_STARTED, 1, Concat({ StatusRead(), Tries(2) }), 1 },
        { "refused four times, granted at the last try", 1, 0, STARTED, 4,
          Concat({ StatusRead(), { kDisable }, Tries(5) }), 1 },
        /* After the last refusal the user is still awake: the flag goes back, and the
           device comes back only if this call took it away. */
        { "refused always, node started", 1, 0, STARTED, -1,
          Concat({ StatusRead(), { kDisable }, Tries(5), { kEnable } }), 0 },
        { "refused always, node not started", 1, 0, NOT_STARTED, -1, Concat({ StatusRead(), Tries(5) }), 0 },
        { "refused always, node unknown", 1, 0, UNKNOWN, -1, Tries(5), 0 },
        { "refused always, flag set before", 1, 1, UNKNOWN, -1, Tries(5), 0 },
    };
    for (const ConfirmRow &row : rows) {
        ResetProgram();
        g_bCanSwap = row.canSwap;
        g_bSwapSuspend = row.flag;
        if (row.node != UNKNOWN)
            g_dwBayDevnode = 0xB00B;
        if (row.node != GONE)
            stub::RegSetDword("Config Manager\\Enum\\0000B00B", "Status", row.node == STARTED ? 0x0000000A : 0x2);
        /* a node 0 entry that is started, which node 0 must never consult */
        stub::RegSetDword("Config Manager\\Enum\\00000000", "Status", 8);
        if (row.refusals < 0)
            stub::Inject("SetSystemPowerState", -1, FALSE);
        for (int i = 0; i < row.refusals; ++i)
            stub::Inject("SetSystemPowerState", i, FALSE);

        ConfirmBayChange();
        EXPECT_TRACE(row.expected) << row.what;
        EXPECT_EQ(row.flagAfter, g_bSwapSuspend) << row.what;
        EXPECT_EQ(row.canSwap, g_bCanSwap) << row.what;
        EXPECT_EQ(0, stub::LiveCounts().keys) << row.what;
    }
}

/* A refusal can come after the system has already sent a resume event, which clears the flag:
   each new request sets it again first, so the suspend that finally comes is a swap suspend. */
TEST_F(SwapTest, EachSuspendRequestSetsTheFlagAgain)
{
    std::vector<int> flagsSeen;
    stub::SetPowerHook([&] {
        flagsSeen.push_back(g_bSwapSuspend);
        if (flagsSeen.size() < 3) {
            OnPowerBroadcast(PBT_APMRESUMEAUTOMATIC, 0);
            return FALSE;
        }
        return TRUE;
    });
    ConfirmBayChange();
    EXPECT_EQ((std::vector<int>{ 1, 1, 1 }), flagsSeen);
    EXPECT_EQ(1, g_bSwapSuspend);
    EXPECT_EQ(2u, TraceOf({ "Sleep" }).size());
}

/* ---- Whole swaps ---- */

/* OK in the dialog, the suspend event (disabling again), the resume. */
TEST_F(SwapTest, SwapByConfirmInSystemMode0)
{
    stub::Bay().mode = 0;
    stub::Bay().device = 5;
    g_dwBayDevnode = 0xB00B;
    stub::RegSetDword("Config Manager\\Enum\\0000B00B", "Status", 8);
    ConfirmBayChange();
    OnPowerBroadcast(PBT_APMQUERYSUSPEND, 0);
    OnPowerBroadcast(PBT_APMSUSPEND, 0);
    EXPECT_EQ(1, g_bSwapSuspend);
    stub::Bay().device = 7;
    OnPowerBroadcast(PBT_APMRESUMESUSPEND, 0);
    EXPECT_TRACE(Concat({ StatusRead(), { kDisable, kSuspend, kMode, kStatus, kDisable, kDevice, kEnable } }));
    EXPECT_EQ(0, g_bSwapSuspend);
    EXPECT_EQ(1, g_bCanSwap);
}

/* Once a fixed device has been seen, a removable module in its place does not make the change allowed again. */
TEST_F(SwapTest, FixedDeviceRefusesForTheRestOfTheRun)
{
    stub::Bay().device = 40;
    CheckBayDevice();
    stub::Bay().device = 5;
    CheckBayDevice();
    ConfirmBayChange();
    g_bSwapSuspend = 1;
    OnPowerBroadcast(PBT_APMSUSPEND, 0);
    OnPowerBroadcast(PBT_APMRESUMESUSPEND, 0);
    CheckBayDevice();
    EXPECT_EQ(0, g_bCanSwap);
    EXPECT_TRACE((Lines{ kDevice, kDisableSwap, kDevice, kMode, kDevice, kEnable, kDevice }));
}

/* With the change refused, a swap request in mode 1 still suspends; nothing is disabled at the suspend,
   but the device is enabled at the resume. Driven through the loop, the timer and the window. */
TEST_F(SwapTest, RequestInMode1AfterAFixedDeviceThroughTheLoop)
{
    stub::Bay().mode = 1;
    stub::Bay().device = 32;
    int step = 0;
    stub::SetIdle([&] {
        switch (step++) {
        case 0:         /* the fixed module leaves, a removable one comes; no request yet */
            stub::Bay().device = 5;
            stub::FireTimers();
            break;
        case 1:         /* the user presses the bay's button */
            stub::Bay().status = 1;
            stub::FireTimers();
            break;
        case 2:         /* the system suspends and resumes */
            stub::Bay().status = 0;
            stub::Send(g_hMainWnd, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
            stub::Send(g_hMainWnd, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
            stub::Send(g_hMainWnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
            stub::FireTimers();
            break;
        default:
            stub::Post(g_hMainWnd, WM_CLOSE, 0, 0);
        }
    });
    EXPECT_EQ(0, WinMain(stub::Instance(), NULL, NULL, 1));
    EXPECT_FALSE(stub::Starved());
    EXPECT_EQ((Lines{
                  /* start-up */
                  kDevice, "ThkGetSwapCapability()", kDisableSwap, kStatus, kMode,
                  /* tick without request */
                  kStatus,
                  /* tick with request */
                  kStatus, kDevice, kSuspend,
                  /* suspend: mode 1, no status read, no disable */
                  kMode,
                  /* resume twice: enabled once */
                  kDevice, kEnable, kDevice,
                  /* tick */
                  kStatus,
                  /* unload by close */
                  kDisableSwap,
              }),
              TraceOf({ "ThkGetSwapBayDevice", "ThkGetSwapCapability", "ThkDisableSwap", "ThkGetSwapBayStatus",
                        "ThkGetCurSystemMode", "ThkEnableDisableDevice", "SetSystemPowerState" }));
    EXPECT_EQ(0, g_bCanSwap);
    EXPECT_EQ(0, g_bSwapSuspend);
}

/* ---- Unload ---- */

TEST_F(SwapTest, UnloadEndsTheProgram)
{
    for (DWORD mode : { 1u, 0u }) {
        ResetProgram();
        stub::Bay().mode = mode;
        bool bUnloaded = false;
        stub::SetIdle([&] {
            if (bUnloaded)
                return;
            bUnloaded = true;
            stub::ClearTrace();
            UnloadProgram();
        });
        int code = WinMain(stub::Instance(), NULL, NULL, 1);
        EXPECT_EQ(0, code) << "mode " << mode;
        EXPECT_FALSE(stub::Starved()) << "mode " << mode;
        Lines expected = { kDisableSwap };
        if (mode == 1)
            expected.push_back("KillTimer(W1, 1)");
        expected.insert(expected.end(), {
                                            "FindWindowA(NULL, \"MOXU\")",
                                            "DestroyWindow(W1)",
                                            "PostQuitMessage(0)",
                                            kDisableSwap,
                                            "DefWindowProcA(W1, 0x82, 0, 0)",
                                            "Shell_NotifyIconA(2, 0x1, NULL)",
                                        });
        EXPECT_TRACE(expected) << "mode " << mode;
        EXPECT_EQ(0u, g_uPollTimer);
        EXPECT_EQ(nullptr, stub::FindByTitle("MOXU"));
        EXPECT_EQ(stub::Live({ 0, 0, 0, 0, 0 }), stub::LiveCounts()) << stub::ToString(stub::LiveCounts());
    }
}

TEST_F(SwapTest, StopPollTimer)
{
    g_hInst = stub::Instance();
    ASSERT_TRUE(CreateMainWindow());
    stub::ClearTrace();
    StopPollTimer();                        /* none running: nothing */
    EXPECT_TRACE(Lines{});

    g_uPollTimer = SetTimer(g_hMainWnd, POLL_TIMER_ID, POLL_PERIOD_MS, PollTimerProc);
    stub::ClearTrace();
    StopPollTimer();
    StopPollTimer();                        /* the second finds it stopped */
    EXPECT_TRACE((Lines{ "KillTimer(W1, 1)" }));
    EXPECT_EQ(0u, g_uPollTimer);
    EXPECT_EQ(0, stub::LiveCounts().timers);
}

}
