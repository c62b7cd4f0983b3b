/* Fuzz target: the whole program under its message loop, fed with fuzzed tray messages, commands, power and
   device broadcasts, timer ticks and dialog actions, with a controller whose answers change from call to call. */
#include "fuzz_common.h"

#include <memory>
#include <stddef.h>

namespace {

struct Session {
    explicit Session(Input &input) : in(input) {}
    Input &in;
    std::vector<std::unique_ptr<uint8_t[]>> records;   /* device-change records live to the end of the input */
    UINT uPopupChoice = 0;
    int nCloses = 0;
    bool bSwapRefused = false;
    bool bRawDestroy = false;   /* a WM_DESTROY from outside: its wParam becomes the exit code */
};

DWORD ControllerValue(Input &in)
{
    static const DWORD c_adwLow[] = { 0, 1, 2, 5, 31, 32, 40, 62, 63, 0xFFFF };
    uint8_t b = in.Byte();
    DWORD dwLow = (b & 0x80) ? in.Word() : in.Pick(c_adwLow);
    DWORD dwUpper = (b & 0x40) ? (in.Dword() & 0xFFFF0000u) : 0;
    return dwLow | dwUpper;
}

/* Answers of the four reading calls for some of their first calls, and refused suspends. */
void ScriptController(Input &in)
{
    static const char *const c_apszCalls[] = { "ThkGetSwapBayDevice", "ThkGetSwapBayStatus", "ThkGetCurSystemMode",
                                               "ThkGetSwapCapability" };
    size_t n = in.Byte() % 32;
    for (size_t i = 0; i < n; ++i) {
        const char *pszCall = in.Pick(c_apszCalls);
        int nth = in.Byte() % 64;
        stub::Inject(pszCall, nth, ControllerValue(in));
    }
    n = in.Byte() % 8;
    for (size_t i = 0; i < n; ++i)
        stub::Inject("SetSystemPowerState", in.Byte() % 16, 0);
}

/* One message for the main window, as the shell, the menus or the system would send it. */
void MainMessage(Session &s, UINT &uMsg, WPARAM &wParam, LPARAM &lParam)
{
    static const LPARAM c_alMouse[] = { WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                        WM_RBUTTONDOWN, WM_RBUTTONUP, 0x1FF, 0x206 };
    static const WORD c_awCommands[] = { ID_SWAP_BAY, ID_UNLOAD, ID_ABOUT, 0, 1, 2, 40001, 40004 };
    static const WPARAM c_awPower[] = { PBT_APMQUERYSUSPEND, PBT_APMSUSPEND, PBT_APMSTANDBY, PBT_APMRESUMECRITICAL,
                                        PBT_APMRESUMESUSPEND, PBT_APMRESUMESTANDBY, PBT_APMRESUMEAUTOMATIC, 9 };
    static const WPARAM c_awEvents[] = { DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE, 0x8001, 0x0007 };
    Input &in = s.in;
    uint8_t kind = in.Byte();
    lParam = 0;
    switch (kind % 8) {
    case 0:
    case 1:
        uMsg = WM_TRAYNOTIFY;
        wParam = (kind & 0x80) ? (WPARAM)in.Dword() : TRAY_ICON_UID;
        lParam = (kind & 0x40) ? (LPARAM)(int32_t)in.Dword() : in.Pick(c_alMouse);
        break;
    case 2:
    case 3:
        uMsg = WM_COMMAND;
        wParam = MAKEWPARAM((kind & 0x20) ? in.Word() : in.Pick(c_awCommands), (kind & 0x80) ? in.Word() : 0);
        lParam = (kind & 0x40) ? (LPARAM)in.Dword() : 0;
        break;
    case 4:
    case 5:
        uMsg = WM_POWERBROADCAST;
        wParam = (kind & 0x80) ? (WPARAM)in.Dword() : in.Pick(c_awPower);
        lParam = (LPARAM)in.Dword();
        break;
    case 6: {
        /* The record at lParam: none, or at least the 16 bytes the platform gives. */
        uMsg = WM_DEVICECHANGE;
        wParam = (kind & 0x80) ? (WPARAM)in.Dword() : in.Pick(c_awEvents);
        if ((kind & 0x60) == 0x60)
            break;
        size_t cb = 16 + (kind & 0x18);
        std::unique_ptr<uint8_t[]> record(new uint8_t[cb]);
        memset(record.get(), 0, cb);
        std::vector<uint8_t> bytes = in.Bytes(cb);
        if (!bytes.empty())
            memcpy(record.get(), bytes.data(), bytes.size());
        if (kind & 0x20) {
            record[4] = DBT_DEVTYP_DEVNODE;
            record[5] = record[6] = record[7] = 0;
        }
        lParam = (LPARAM)record.get();
        s.records.push_back(std::move(record));
        break;
    }
    default:
        /* Anything else; never a record-carrying broadcast without its record, nor a quit. */
        uMsg = in.Word();
        if (uMsg == WM_DEVICECHANGE || uMsg == WM_QUIT)
            uMsg = WM_NULL;
        wParam = (WPARAM)in.Dword();
        s.bRawDestroy = s.bRawDestroy || uMsg == WM_DESTROY;
        break;
    }
}

/* User actions for the dialogs to come; a nested one sends a main-window message from inside the dialog. */
void QueueActions(Session &s)
{
    Input &in = s.in;
    size_t n = 1 + in.Byte() % 6;
    for (size_t i = 0; i < n && !in.Empty(); ++i) {
        uint8_t kind = in.Byte();
        switch (kind % 6) {
        case 0:
        case 1: {
            static const int c_anIds[] = { IDOK, IDCANCEL, IDC_CHANGE_TEXT, IDC_CHANGE_ICON, 0, 0xFFFF };
            stub::QueueCommand((kind & 0x80) ? in.Word() : in.Pick(c_anIds), (kind & 0x40) ? in.Word() : 0);
            break;
        }
        case 2:
            stub::QueueKey((kind & 0x80) ? VK_RETURN : VK_ESCAPE);
            break;
        case 3:
            stub::QueueCloseBox();
            break;
        case 4: {
            UINT uMsg = in.Word();
            if (uMsg == WM_QUIT)
                uMsg = WM_NULL;
            WPARAM wParam = (WPARAM)in.Dword();
            stub::QueueMessage(uMsg, wParam, 0);
            break;
        }
        default: {
            UINT uMsg;
            WPARAM wParam;
            LPARAM lParam;
            MainMessage(s, uMsg, wParam, lParam);
            bool bTick = kind & 0x80;
            stub::QueueRun([=] {
                if (bTick)
                    stub::FireTimers();
                stub::Send(g_hMainWnd, uMsg, wParam, lParam);
            });
            break;
        }
        }
    }
}

/* The loop found nothing to do: take the next steps of the input until one posts something. */
void Idle(Session &s)
{
    Input &in = s.in;
    FUZZ_CHECK(!s.bSwapRefused || g_bCanSwap == 0);
    s.bSwapRefused = g_bCanSwap == 0;
    stub::ClearActions();
    while (!in.Empty()) {
        uint8_t op = in.Byte();
        UINT uMsg;
        WPARAM wParam;
        LPARAM lParam;
        switch (op % 10) {
        case 0:
        case 1:
        case 2:
            MainMessage(s, uMsg, wParam, lParam);
            stub::Post(g_hMainWnd, uMsg, wParam, lParam);
            return;
        case 3:
            MainMessage(s, uMsg, wParam, lParam);
            stub::Send(g_hMainWnd, uMsg, wParam, lParam);
            break;
        case 4:
            stub::FireTimers();
            break;
        case 5:
        case 6:
            QueueActions(s);
            MainMessage(s, uMsg, wParam, lParam);
            stub::Post(g_hMainWnd, uMsg, wParam, lParam);
            return;
        case 7: {
            stub::BayState &bay = stub::Bay();
            bay.device = in.Word();
            bay.status = in.Word();
            bay.mode = in.Byte() % 3;
            bay.upper = (op & 0x80) ? (in.Dword() & 0xFFFF0000u) : 0;
            break;
        }
        case 8: {
            static const UINT c_auChoice[] = { 0, ID_SWAP_BAY, ID_UNLOAD, ID_ABOUT, 1, 40001 };
            s.uPopupChoice = in.Pick(c_auChoice);
            break;
        }
        default:
            stub::ClearActions();
            break;
        }
        if (!stub::Timers().empty() && (op & 0x80))
            return;
    }
    /* The input is used up: the session ends by a close request from outside. */
    if (stub::IsAlive(g_hMainWnd) && s.nCloses < 2) {
        ++s.nCloses;
        stub::Post(g_hMainWnd, WM_CLOSE, 0, 0);
    }
}

bool IsDeviceCall(const std::string &line)
{
    return line == "ThkEnableDisableDevice(0, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)" ||
           line == "ThkEnableDisableDevice(1, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)";
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ResetProgram();
    Input in(data, size);
    Session s(in);

    uint8_t setup = in.Byte();
    if ((setup & 0x0F) == 0x0F)
        stub::AddForeignWindow("Other", "MOXU");
    stub::SetLanguage((setup & 0x10) ? 1041 : 1033);
    BuildTree(in, 6);
    stub::Bay().device = ControllerValue(in);
    stub::Bay().status = ControllerValue(in);
    stub::Bay().mode = (setup & 0x20) ? 1 : (setup & 0x40) ? 0 : ControllerValue(in);
    ScriptController(in);
    stub::SetPopupHook([&s](HMENU) { return s.uPopupChoice; });
    stub::SetIdle([&s] { Idle(s); });

    int nExit = WinMain(stub::Instance(), NULL, (LPSTR) "", 1);
    stub::SetIdle(nullptr);
    stub::SetPopupHook(nullptr);
    stub::ClearActions();

    /* Whatever happened, the program released what it loaded and opened, and no dialog is left. */
    stub::Live live = stub::LiveCounts();
    FUZZ_CHECK(live.menus == 0);
    FUZZ_CHECK(live.icons == 0);
    FUZZ_CHECK(live.keys == 0);
    FUZZ_CHECK(live.windows <= 1);
    FUZZ_CHECK(live.windows == 0 || stub::IsAlive(g_hMainWnd));
    FUZZ_CHECK(nExit == 0 || (nExit == 0xDEAD && stub::Starved()) || s.bRawDestroy);
    FUZZ_CHECK(!s.bSwapRefused || g_bCanSwap == 0);
    FUZZ_CHECK(g_bCanSwap <= 1 && g_bSwapSuspend <= 1);

    /* Every tray record names our icon and callback, with a terminated tip. */
    const std::vector<stub::TrayCall> &tray = stub::TrayCalls();
    for (const stub::TrayCall &t : tray) {
        FUZZ_CHECK(t.nid.uID == TRAY_ICON_UID && t.nid.uCallbackMessage == WM_TRAYNOTIFY);
        FUZZ_CHECK(t.nid.cbSize == offsetof(NOTIFYICONDATAA, szTip) + 64);
        FUZZ_CHECK(memchr(t.nid.szTip, 0, sizeof(t.nid.szTip)) != NULL);
    }
    if (!tray.empty())
        FUZZ_CHECK(tray.back().message == NIM_DELETE);

    /* The bay device is only ever disabled or enabled, always named the same way. */
    for (const std::string &line : stub::Trace()) {
        if (line.compare(0, 23, "ThkEnableDisableDevice(") == 0)
            FUZZ_CHECK(IsDeviceCall(line));
    }
    return 0;
}
