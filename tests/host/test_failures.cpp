/* Every call of the main scenarios failed in turn: no crash, no hang, no leak, and the outcome the program's rules give. */
#include "fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

namespace {

const DWORD kBayNode = 0xA20;

/* Four device nodes, enumerated in this order: only the second is the bay's child. */
void ArrangeRegistry()
{
    stub::RegSetString("Config Manager\\Enum\\00000010", "HardWareKey", "ROOT\\PCI\\0000");
    stub::RegSetDword("Config Manager\\Enum\\00000010", "Status", 0x8);
    stub::RegSetString("Config Manager\\Enum\\00000A20", "HardWareKey", "MF\\CHILD0001\\ROOT&HDC");
    stub::RegSetDword("Config Manager\\Enum\\00000A20", "Status", 0xA);
    stub::RegSetString("Config Manager\\Enum\\00000B00", "HardWareKey", "mf\\child0001");
    stub::RegCreateKey("Config Manager\\Enum\\00000C00");
}

/* DEV_BROADCAST_DEVNODE of the bay's node, as the platform hands it over. */
BYTE g_abBayRecord[16] = { 16, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x20, 0x0A, 0, 0 };

typedef std::function<void()> Step;

/* Every step posts at least one message, so the loop is never starved while steps remain. */
Step PostMain(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return [=] { stub::Post(g_hMainWnd, uMsg, wParam, lParam); };
}
Step Tray(LPARAM lMouse)
{
    return PostMain(WM_TRAYNOTIFY, TRAY_ICON_UID, lMouse);
}
Step DialogBy(Step open, int nButton)
{
    return [=] {
        stub::QueueCommand(nButton);
        open();
    };
}
Step Command(WORD wId, int nButton)
{
    return DialogBy(PostMain(WM_COMMAND, wId, 0), nButton);
}
Step Tick()
{
    return [] {
        stub::FireTimers();
        if (stub::Timers().empty())
            stub::Post(g_hMainWnd, WM_NULL, 0, 0);
    };
}

struct Outcome {
    int exitCode = 0;
    bool starved = false;
    bool hit = false;
    std::string failCall;
    stub::Live live = { 0, 0, 0, 0, 0 };
    bool trayShown = false;
    Lines calls;            /* one line per call, the loop's included: line i is call i */
    Lines notes;
    size_t dialogs = 0;
    size_t popups = 0;
    size_t leftoverActions = 0;
    int outsideCloses = 0;
    DWORD devnodeAtStart = 0;
    BYTE canSwap = 0;
    BYTE swapSuspend = 0;
    std::vector<stub::TrayCall> tray;
};

struct Scenario;
typedef std::function<void(const Outcome &)> CleanCheck;

struct Scenario {
    const char *name;
    Step arrange;
    std::vector<Step> steps;
    bool ticks;             /* poll ticks among the steps */
    CleanCheck clean;       /* what the run without failures must show */
};

Outcome RunScenario(const Scenario &sc, int nFailAt, DWORD dwUpper = 0, Step extra = nullptr)
{
    ResetProgram();
    stub::TraceLoop(true);
    ArrangeRegistry();
    stub::Bay().upper = dwUpper;
    stub::SetCursor(POINT{ 100, 200 });
    stub::SetPopupHook([](HMENU) { return 0u; });
    sc.arrange();
    if (extra)
        extra();
    if (nFailAt >= 0)
        stub::FailCallAt(nFailAt);

    Outcome o;
    size_t nNext = 0;
    bool bStarted = false;
    stub::SetIdle([&] {
        if (!bStarted) {
            bStarted = true;
            o.devnodeAtStart = g_dwBayDevnode;
        }
        o.leftoverActions += stub::ClearActions();
        if (nNext < sc.steps.size()) {
            sc.steps[nNext++]();
            return;
        }
        /* The session ends: a close request from outside, repeated a few times
           when a failure made the program ignore it. */
        if (stub::IsAlive(g_hMainWnd) && o.outsideCloses < 3) {
            ++o.outsideCloses;
            stub::Post(g_hMainWnd, WM_CLOSE, 0, 0);
        }
    });
    o.exitCode = WinMain(stub::Instance(), NULL, (LPSTR) "", 1);
    stub::SetIdle(nullptr);
    if (!bStarted)
        o.devnodeAtStart = g_dwBayDevnode;
    o.leftoverActions += stub::ClearActions();
    o.starved = stub::Starved();
    o.hit = stub::FailureHit(&o.failCall);
    o.live = stub::LiveCounts();
    o.trayShown = stub::TrayIconShown();
    for (const std::string &line : stub::Trace())
        (line[0] == '(' ? o.notes : o.calls).push_back(line);
    o.dialogs = stub::Dialogs().size();
    o.popups = stub::PopupsShown().size();
    o.canSwap = g_bCanSwap;
    o.swapSuspend = g_bSwapSuspend;
    o.tray = stub::TrayCalls();
    return o;
}

/* ---- Small readers of a call list ---- */

bool Starts(const std::string &s, const char *psz)
{
    return s.compare(0, strlen(psz), psz) == 0;
}
std::string CallName(const std::string &line)
{
    return line.substr(0, line.find('('));
}
size_t Count(const Lines &calls, const char *pszPrefix)
{
    return (size_t)std::count_if(calls.begin(), calls.end(), [&](const std::string &s) { return Starts(s, pszPrefix); });
}
size_t Find(const Lines &calls, const char *pszPrefix, size_t from = 0)
{
    for (size_t i = from; i < calls.size(); ++i) {
        if (Starts(calls[i], pszPrefix))
            return i;
    }
    return calls.size();
}
Lines Slice(const Lines &calls, size_t from, size_t to = (size_t)-1)
{
    from = std::min(from, calls.size());
    to = std::min(to, calls.size());
    return from < to ? Lines(calls.begin() + from, calls.begin() + to) : Lines();
}
Lines Names(const Lines &calls)
{
    Lines out;
    for (const std::string &s : calls)
        out.push_back(CallName(s));
    return out;
}
Lines Matching(const Lines &calls, const char *pszPrefix)
{
    Lines out;
    for (const std::string &s : calls) {
        if (Starts(s, pszPrefix))
            out.push_back(s);
    }
    return out;
}
Lines Without(const Lines &calls, const char *pszPrefix)
{
    Lines out;
    for (const std::string &s : calls) {
        if (!Starts(s, pszPrefix))
            out.push_back(s);
    }
    return out;
}

const char kLoopWait[] = "GetMessageA(NULL, 0, 0)";

/* Collects the checks of one run; a failed one is reported with the run's trace. */
struct Checks {
    int count = 0;
    std::string failures;
    void Expect(bool bOk, const std::string &what)
    {
        ++count;
        if (!bOk)
            failures += "  - " + what + "\n";
    }
    void Same(const Lines &expected, const Lines &actual, const std::string &what)
    {
        ++count;
        ::testing::AssertionResult r = TraceIs(expected, actual);
        if (!r)
            failures += "  - " + what + ": " + r.message() + "\n";
    }
};

/* Calls whose failure the program ignores: the rest of the run is the clean one. */
const char *const kIgnored[] = {
    "TranslateMessage", "MessageBeep", "MoveWindow", "SetWindowTextA", "SetDlgItemTextA", "SetFocus",
    "ModifyMenuA", "SetForegroundWindow", "TrackPopupMenu", "ThkEnableDisableDevice", "ThkDisableSwap",
    "ThkGetSwapCapability", "Shell_NotifyIconA", "DestroyIcon", "DestroyMenu", "RegCloseKey", "KillTimer",
};
/* Calls whose failure only changes arguments further on: the same calls follow. */
const char *const kSameCalls[] = { "GetCursorPos", "GetDlgItem", "GetDesktopWindow", "GetWindowRect", "LoadStringA" };

bool In(const std::string &name, const char *const *ppsz, size_t n)
{
    return std::find(ppsz, ppsz + n, name) != ppsz + n;
}

/* What failing call i must lead to; returns the outcome's category for the summary. */
std::string CheckOutcome(const Outcome &clean, const Outcome &failed, size_t i, Checks &c)
{
    const std::string &line = clean.calls[i];
    const std::string name = CallName(line);
    const size_t nFirstLook = Find(clean.calls, "ThkGetSwapBayDevice");
    const size_t nLoop = Find(clean.calls, "GetMessageA");
    const bool bStartUp = i < nLoop;

    /* ---- For every failure ---- */
    c.Expect(failed.hit && failed.failCall == name, "the failure hit " + name + " (it hit " + failed.failCall + ")");
    c.Same(Slice(clean.calls, 0, i + 1), Slice(failed.calls, 0, i + 1), "the run up to the failed call");
    const bool bQuitLost = name == "PostQuitMessage";
    c.Expect(failed.starved == bQuitLost, bQuitLost ? "the loop waits for a quit that never comes" : "not starved");
    c.Expect(failed.exitCode == (bQuitLost ? 0xDEAD : 0), "exit code " + std::to_string(failed.exitCode));
    size_t nWaiting = Count(failed.notes, "(no user action left)");
    c.Expect(nWaiting <= (name == "EndDialog" ? 1u : 0u), "no dialog left waiting for the user");
    bool bMayLeaveActions = name == "DialogBoxParamA" || name == "DispatchMessageA" || name == "GetMessageA";
    c.Expect(failed.leftoverActions == 0 || bMayLeaveActions, "no dialog action left unused");

    stub::Live expect = { 0, 0, 0, 0, 0 };
    if (name == "DestroyMenu")
        expect.menus = 2;       /* the menu and its popup */
    if (name == "DestroyIcon")
        expect.icons = 1;
    if (name == "RegCloseKey")
        expect.keys = 1;
    if (name == "GetMessageA") {
        /* The loop ended at once: what lived is left to the end of the process. */
        expect.windows = failed.live.windows <= 1 ? failed.live.windows : 1;
        expect.timers = failed.live.timers <= 1 ? failed.live.timers : 1;
    }
    c.Expect(failed.live == expect, "left alive: " + stub::ToString(failed.live) + ", allowed: " + stub::ToString(expect));
    bool bDeleteFailed = name == "Shell_NotifyIconA" && Starts(line, "Shell_NotifyIconA(2,");
    c.Expect(!failed.trayShown || bDeleteFailed, "the icon is gone at the end");

    /* ---- By the call that failed ---- */
    if (name == "RegisterClassA" || name == "CreateWindowExA" || (name == "DefWindowProcA" && line.find(", 0x81,") != std::string::npos)) {
        c.Expect(failed.exitCode == 0, "exit 0");
        /* The stand-in sends WM_DESTROY to a window whose WM_NCCREATE failed (the
           platform sends only WM_NCDESTROY), so ThkDisableSwap may show there. */
        c.Expect(Count(failed.calls, "Thk") == Count(failed.calls, "ThkDisableSwap") &&
                     Count(failed.calls, "ThkDisableSwap") <= (name == "DefWindowProcA" ? 1u : 0u),
                 "no controller call");
        c.Expect(Count(failed.calls, "Shell_NotifyIconA") == 0, "no icon");
        c.Expect(Count(failed.calls, "GetMessageA") == 0, "no message loop");
        return "start-up refused";
    }
    if (name == "FindWindowA" && i == 0) {
        c.Same(clean.calls, failed.calls, "no other instance: the clean run");
        return "ignored";
    }
    if (name == "ThkGetSwapBayStatus" && bStartUp) {
        c.Same(clean.calls, failed.calls, "the status read at start-up is not used");
        return "ignored";
    }
    if (In(name, kIgnored, sizeof(kIgnored) / sizeof(kIgnored[0]))) {
        c.Same(clean.calls, failed.calls, "the result is ignored: the clean run");
        return name == "DestroyMenu" || name == "DestroyIcon" || name == "RegCloseKey" ? "release failed" : "ignored";
    }
    if (In(name, kSameCalls, sizeof(kSameCalls) / sizeof(kSameCalls[0]))) {
        c.Same(Names(clean.calls), Names(failed.calls), "the same calls follow");
        if (name == "LoadStringA") {
            const std::string &next = failed.calls[i + 1];
            if (Starts(next, "Shell_NotifyIconA")) {
                const stub::TrayCall *modify = nullptr;
                for (const stub::TrayCall &t : failed.tray)
                    modify = t.message == NIM_MODIFY ? &t : modify;
                c.Expect(modify && modify->nid.szTip[0] == 0, "an empty tip");
            } else {
                c.Expect(next.size() > 5 && next.compare(next.size() - 5, 5, ", \"\")") == 0, "an empty text: " + next);
            }
            return "empty text";
        }
        if (name == "GetCursorPos") {
            size_t t = Find(failed.calls, "TrackPopupMenu", i);
            c.Expect(t < failed.calls.size() && failed.calls[t].find(", 0, 0, 0, W1") != std::string::npos,
                     "the popup at 0, 0: " + (t < failed.calls.size() ? failed.calls[t] : std::string()));
        }
        return "same calls";
    }
    if (name == "LoadIconA") {
        Lines expected = Slice(clean.calls, 0, i + 1);
        Lines rest = Slice(clean.calls, i + 3);
        expected.insert(expected.end(), rest.begin(), rest.end());
        c.Same(expected, failed.calls, "no icon added, the rest as clean");
        bool bAdded = false;
        for (const stub::TrayCall &t : failed.tray)
            bAdded = bAdded || t.message == NIM_ADD;
        c.Expect(!bAdded && !failed.tray.empty() && failed.tray.back().message == NIM_DELETE, "NIM_DELETE still sent");
        return "runs without icon";
    }
    if (name == "SetTimer") {
        c.Expect(Count(failed.calls, "KillTimer") == 0, "no timer to kill");
        if (Count(clean.calls, "SetSystemPowerState") == 0 || Find(clean.calls, "ThkGetSwapBayStatus", nLoop) == clean.calls.size())
            c.Same(Without(clean.calls, "KillTimer"), failed.calls, "no polling, the rest as clean");
        else
            c.Expect(Count(failed.calls, "SetSystemPowerState") == 0, "no poll tick asks for a suspend");
        return "no polling";
    }
    if (name == "LoadMenuA" || name == "GetSubMenu") {
        bool bLoaded = name == "GetSubMenu";
        c.Expect(failed.popups + 1 == clean.popups, "nothing shown");
        if (bLoaded)
            c.Expect(Starts(failed.calls[i + 1], "DestroyMenu("), "the loaded menu destroyed");
        c.Expect(failed.calls[i + (bLoaded ? 2 : 1)] == kLoopWait, "the handler ends");
        size_t g = Find(clean.calls, "GetMessageA", i);
        c.Same(Names(Slice(clean.calls, g)), Names(Slice(failed.calls, i + (bLoaded ? 2 : 1))), "the rest as clean");
        return "menu not shown";
    }
    if (name == "DialogBoxParamA") {
        c.Expect(failed.dialogs + 1 == clean.dialogs, "no dialog");
        c.Expect(failed.calls[i + 1] == kLoopWait, "nothing else happens");
        return "no dialog";
    }
    if (name == "SetSystemPowerState") {
        if (Starts(clean.calls[i - 1], "ThkGetSwapBayDevice")) {
            c.Same(clean.calls, failed.calls, "a poll tick does not repeat a refused suspend");
            return "suspend refused in a tick";
        }
        Lines expected = Slice(clean.calls, 0, i + 1);
        expected.push_back("Sleep(250)");
        expected.push_back("SetSystemPowerState(1, 1)");
        Lines rest = Slice(clean.calls, i + 1);
        expected.insert(expected.end(), rest.begin(), rest.end());
        c.Same(expected, failed.calls, "the refused suspend asked for again");
        return "suspend retried";
    }
    if (name == "RegOpenKeyA" || name == "RegEnumKeyA" || name == "RegQueryValueExA") {
        if (i < nFirstLook) {
            /* The start-up scan: only a failure on the bay's node (or on the Enum key) loses it. */
            std::string node = line;
            if (name == "RegQueryValueExA") {
                size_t k = i;
                while (k > 0 && !Starts(clean.calls[k], "RegOpenKeyA(K1"))
                    --k;
                node = clean.calls[k];
            }
            bool bLost = line == "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\")" ||
                         line == "RegEnumKeyA(K1, 1, 1024)" || node.find("\"00000A20\"") != std::string::npos;
            DWORD dwExpected = bLost ? 0 : kBayNode;
            c.Expect(failed.devnodeAtStart == dwExpected,
                     "node after the scan " + std::to_string(failed.devnodeAtStart) + ", expected " + std::to_string(dwExpected));
            if (name == "RegEnumKeyA") {
                unsigned uIndex = (unsigned)atoi(line.c_str() + strlen("RegEnumKeyA(K1, "));
                c.Expect(failed.calls[i + 1] == "RegEnumKeyA(K1, " + std::to_string(uIndex + 1) + ", 1024)",
                         "the scan goes on with the next index");
            }
            return bLost ? "node not found" : "other node skipped";
        }
        /* Later: an arrival that cannot be read is ignored, a status that cannot be read
           means not started; either way the change goes on without disabling. */
        size_t s = Find(failed.calls, "SetSystemPowerState", i);
        c.Expect(s < failed.calls.size(), "the change goes on");
        c.Expect(Count(Slice(failed.calls, i, s), "ThkEnableDisableDevice(0") == 0, "without disabling the device");
        return "not started";
    }
    if (name == "GetMessageA") {
        c.Same(Lines{ "Shell_NotifyIconA(2, 0x1, NULL)" }, Slice(failed.calls, i + 1), "the loop ends, the icon removed");
        return "loop ended";
    }
    if (name == "DispatchMessageA") {
        c.Expect(failed.calls[i + 1] == kLoopWait, "the message is lost, the loop goes on");
        return "message lost";
    }
    if (name == "PostQuitMessage") {
        c.Expect(failed.live.windows == 0, "the window is gone");
        return "quit lost";
    }
    if (name == "EndDialog") {
        c.Expect(Count(failed.calls, "SetSystemPowerState") >= Count(clean.calls, "SetSystemPowerState"),
                 "the OK still acts");
        return "dialog stays";
    }
    if (name == "DefWindowProcA") {
        if (line.find(", 0x10, ") != std::string::npos) {
            c.Expect(failed.outsideCloses == clean.outsideCloses + 1, "the close request is lost; the next one ends it");
            return "close lost";
        }
        c.Same(clean.calls, failed.calls, "the default answer is not used: the clean run");
        return "ignored";
    }
    if (name == "FindWindowA" || name == "DestroyWindow") {
        /* The unload: the window stays, the program runs on and a close from outside ends it. */
        c.Expect(clean.outsideCloses == 0 && failed.outsideCloses == 1, "the program runs on after the failed unload");
        c.Expect(Count(failed.calls, "ThkDisableSwap") == Count(clean.calls, "ThkDisableSwap"), "the controller told twice");
        return "unload failed";
    }
    if (Starts(name, "Thk"))
        return "controller reads 0";
    return "other";
}

struct Summary {
    int calls = 0;
    int failed = 0;
    int outcomes = 0;
    std::map<std::string, int> categories;
};

Summary FailEveryCall(const Scenario &sc)
{
    Summary sum;
    Outcome clean = RunScenario(sc, -1);
    EXPECT_EQ((size_t)stub::CallCount(), clean.calls.size()) << sc.name << ": one trace line per call";
    EXPECT_FALSE(clean.starved) << sc.name;
    EXPECT_EQ(0, clean.exitCode) << sc.name;
    EXPECT_EQ(stub::Live({ 0, 0, 0, 0, 0 }), clean.live) << sc.name << ": " << stub::ToString(clean.live);
    EXPECT_TRUE(clean.notes.empty()) << sc.name << ": " << ::testing::PrintToString(clean.notes);
    EXPECT_EQ(0u, clean.leftoverActions) << sc.name;
    sc.clean(clean);
    sum.calls = (int)clean.calls.size();

    for (size_t i = 0; i < clean.calls.size(); ++i) {
        Outcome failed = RunScenario(sc, (int)i);
        Checks c;
        std::string category = CheckOutcome(clean, failed, i, c);
        ++sum.failed;
        sum.outcomes += c.count;
        ++sum.categories[category];
        if (!c.failures.empty()) {
            ADD_FAILURE() << sc.name << ": call " << i << " " << clean.calls[i] << " failed (" << category << "):\n"
                          << c.failures;
        }
    }
    std::string cats;
    for (const auto &kv : sum.categories)
        cats += (cats.empty() ? "" : ", ") + kv.first + " " + std::to_string(kv.second);
    std::printf("[failures] %-18s calls %4d, failed %4d, outcomes checked %6d (%s)\n", sc.name, sum.calls, sum.failed,
                sum.outcomes, cats.c_str());
    return sum;
}

/* ---- The scenarios ---- */

Scenario StartRemovable()
{
    return { "start-up, removable", [] { stub::Bay().device = 5; }, {}, false, [](const Outcome &o) {
                EXPECT_EQ(kBayNode, o.devnodeAtStart);
                EXPECT_EQ(1, o.canSwap);
                EXPECT_EQ(1u, Count(o.calls, "KillTimer(W1, 1)"));
                EXPECT_EQ(1, o.outsideCloses);
            } };
}

Scenario StartFixed()
{
    return { "start-up, fixed", [] {
                stub::Bay().device = 40;
                stub::Bay().mode = 0;
            }, {}, false, [](const Outcome &o) {
                EXPECT_EQ(0, o.canSwap);
                EXPECT_EQ(2u, Count(o.calls, "ThkDisableSwap"));
                EXPECT_EQ(0u, Count(o.calls, "SetTimer"));
            } };
}

Scenario TrayAndDialogs()
{
    return { "tray, menus, dialogs", [] { stub::Bay().device = 5; },
             { Tray(WM_MOUSEMOVE), Tray(WM_LBUTTONUP), Tray(WM_RBUTTONUP), Command(ID_SWAP_BAY, IDCANCEL),
               Command(ID_UNLOAD, IDCANCEL), Command(ID_ABOUT, IDCANCEL), DialogBy(Tray(WM_LBUTTONDBLCLK), IDCANCEL) },
             false, [](const Outcome &o) {
                 EXPECT_EQ(2u, o.popups);
                 EXPECT_EQ(4u, o.dialogs);
                 EXPECT_EQ(0u, Count(o.calls, "SetSystemPowerState"));
                 EXPECT_EQ(3u, Count(o.calls, "Shell_NotifyIconA"));
             } };
}

/* Double click, OK, suspend, another module, resume; the node leaves and comes back first. */
Scenario SwapRoad()
{
    return { "swap road", [] {
                stub::Bay().device = 5;
                stub::Bay().mode = 0;
            },
             { PostMain(WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE, (LPARAM)g_abBayRecord),
               PostMain(WM_DEVICECHANGE, DBT_DEVICEARRIVAL, (LPARAM)g_abBayRecord), DialogBy(Tray(WM_LBUTTONDBLCLK), IDOK),
               PostMain(WM_POWERBROADCAST, PBT_APMSUSPEND, 0),
               [] {
                   stub::Bay().device = 7;
                   stub::Post(g_hMainWnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
               } },
             false, [](const Outcome &o) {
                 EXPECT_EQ((Lines{ "ThkEnableDisableDevice(0, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)",
                                   "ThkEnableDisableDevice(0, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)",
                                   "ThkEnableDisableDevice(1, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)" }),
                           Matching(o.calls, "ThkEnableDisableDevice"));
                 EXPECT_EQ(1u, Count(o.calls, "SetSystemPowerState"));
                 EXPECT_EQ(0, o.swapSuspend);
                 EXPECT_EQ(1, o.canSwap);
             } };
}

/* System mode 1: a tick finds a swap request and suspends by itself. */
Scenario PollRoad()
{
    return { "poll road", [] {
                stub::Bay().device = 5;
                stub::Bay().status = 1;
            },
             { Tick(), PostMain(WM_POWERBROADCAST, PBT_APMSUSPEND, 0),
               [] {
                   stub::Bay().status = 0;
                   stub::Post(g_hMainWnd, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
               } },
             true, [](const Outcome &o) {
                 EXPECT_EQ(1u, Count(o.calls, "SetSystemPowerState"));
                 EXPECT_EQ(2u, Count(o.calls, "ThkEnableDisableDevice"));
             } };
}

Scenario Unload()
{
    return { "unload", [] { stub::Bay().device = 5; }, { Command(ID_UNLOAD, IDOK) }, false, [](const Outcome &o) {
                EXPECT_EQ(0, o.outsideCloses);
                EXPECT_EQ(2u, Count(o.calls, "ThkDisableSwap"));
                EXPECT_EQ(1u, Count(o.calls, "KillTimer"));
            } };
}

std::vector<Scenario> AllScenarios()
{
    return { StartRemovable(), StartFixed(), TrayAndDialogs(), SwapRoad(), PollRoad(), Unload() };
}

TEST(FailureInjection, EveryCallOfEveryScenarioFailedInTurn)
{
    Summary total;
    for (const Scenario &sc : AllScenarios()) {
        Summary s = FailEveryCall(sc);
        total.calls += s.calls;
        total.failed += s.failed;
        total.outcomes += s.outcomes;
    }
    std::printf("[failures] %-18s calls %4d, failed %4d, outcomes checked %6d\n", "all scenarios", total.calls,
                total.failed, total.outcomes);
}

/* Garbage in the upper 16 bits of every controller reading changes no decision. */
TEST(FailureInjection, UpperBitsOfControllerValuesChangeNothing)
{
    for (const Scenario &sc : AllScenarios()) {
        Outcome clean = RunScenario(sc, -1);
        for (DWORD dwUpper : { 0xFFFF0000u, 0x80000000u, 0x00010000u, 0x5A5A0000u }) {
            Outcome odd = RunScenario(sc, -1, dwUpper);
            EXPECT_TRUE(TraceIs(clean.calls, odd.calls)) << sc.name << ", upper bits " << std::hex << dwUpper;
            EXPECT_EQ(clean.canSwap, odd.canSwap) << sc.name;
            EXPECT_EQ(clean.swapSuspend, odd.swapSuspend) << sc.name;
            EXPECT_EQ(clean.devnodeAtStart, odd.devnodeAtStart) << sc.name;
        }
    }
}

/* A suspend the system keeps refusing: asked at most five times, then the bay is given back. */
TEST(FailureInjection, RefusedSuspendInConfirmIsRetriedThenGivenUp)
{
    const std::string kDisable = "ThkEnableDisableDevice(0, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)";
    const std::string kEnable = "ThkEnableDisableDevice(1, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)";
    struct Row {
        int refusals;
        size_t requests;
        Lines devices;      /* every enable and disable of the run */
    };
    const Row rows[] = {
        { 0, 1, { kDisable, kDisable, kEnable } },
        { 1, 2, { kDisable, kDisable, kEnable } },
        { 4, 5, { kDisable, kDisable, kEnable } },
        /* Given up: the flag cleared, the device enabled again; the suspend event
           that may still come is then no swap suspend. */
        { 5, 5, { kDisable, kEnable } },
        { 9, 5, { kDisable, kEnable } },
    };
    for (const Row &row : rows) {
        Outcome o = RunScenario(SwapRoad(), -1, 0, [&] {
            for (int k = 0; k < row.refusals; ++k)
                stub::Inject("SetSystemPowerState", k, 0);
        });
        EXPECT_EQ(row.requests, Count(o.calls, "SetSystemPowerState")) << row.refusals << " refusals";
        EXPECT_EQ(row.requests - 1, Count(o.calls, "Sleep(250)")) << row.refusals << " refusals";
        EXPECT_TRUE(TraceIs(row.devices, Matching(o.calls, "ThkEnableDisableDevice"))) << row.refusals << " refusals";
        EXPECT_FALSE(o.starved);
        EXPECT_EQ(stub::Live({ 0, 0, 0, 0, 0 }), o.live) << stub::ToString(o.live);
    }
}

}
