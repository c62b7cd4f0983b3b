/* The menu commands and the three dialogs: opening, texts, centring, commands, keys and the OK paths. */
#include "fixture.h"
#include "growtext.h"

#include <algorithm>
#include <stdio.h>

extern CGrowText g_strCaption;

namespace {

/* ---- Texts ---- */

const char kPrompt[] = "Please close any application using Swap Bay device. Press OK to enter sleep mode. ";
const char kRefused[] = "You can not change this Swap Bay.";
const char kUnloadQuestion[] = "Do you really want to quit\n Zendrik?";
const char kAboutStart[] = "Zendrik \nVersion 1.02\n\n";

/* String 2 ends with the maker's notice line, whatever its wording: read it from the resources. */
std::string LoadedString(UINT id)
{
    char sz[256];
    int n = LoadStringA(stub::Instance(), id, sz, sizeof(sz));
    return n > 0 ? std::string(sz, n) : std::string();
}

/* A text as the trace shows it. */
std::string Q(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        char sz[8];
        if (c == '\n')
            out += "\\n";
        else if (c == '"' || c < 0x20 || c >= 0x7F) {
            snprintf(sz, sizeof(sz), "\\x%02X", c);
            out += sz;
        } else
            out += (char)c;
    }
    return out + "\"";
}

/* ---- The three dialogs ---- */

struct DialogKind {
    const char *name;
    UINT command;
    unsigned id;
    const char *proc;
    bool beeps;             /* and checks the bay on every message */
    UINT caption;
    int textControl;
    bool cancel;
};
const DialogKind kChangeBay = { "change-bay", ID_SWAP_BAY, IDD_CHANGE_BAY, "ChangeBayDlgProc", true,
                                IDS_CAPTION_CHANGE, IDC_CHANGE_TEXT, true };
const DialogKind kUnload = { "unload", ID_UNLOAD, IDD_UNLOAD, "UnloadDlgProc", false, IDS_CAPTION_UNLOAD,
                             IDC_UNLOAD_TEXT, true };
const DialogKind kAbout = { "about", ID_ABOUT, IDD_ABOUT, "AboutDlgProc", false, IDS_CAPTION_ABOUT, IDC_ABOUT_TEXT,
                            false };
const DialogKind *const kAll[] = { &kChangeBay, &kUnload, &kAbout };

DLGPROC ProcOf(const DialogKind &kind)
{
    return kind.id == IDD_CHANGE_BAY ? ChangeBayDlgProc : kind.id == IDD_UNLOAD ? UnloadDlgProc : AboutDlgProc;
}

/* A message reaching dialog D1, and the bay check the change-bay dialog makes first. */
Lines Msg(const DialogKind &kind, const std::string &marker)
{
    Lines out = { "(D1 <- " + marker + ")" };
    if (kind.beeps)
        out.push_back("ThkGetSwapBayDevice()");
    return out;
}

/* The dialog's closing by the dialog manager after EndDialog or its owner's end. */
Lines Destroyed(const DialogKind &kind)
{
    return Concat({ Msg(kind, "WM_DESTROY"), Msg(kind, "WM_NCDESTROY") });
}

/* WM_INITDIALOG with the change allowed; the default desktop 1024 x 768 and a dialog of 250 x 200. */
Lines InitDialog(const DialogKind &kind, const std::string &text)
{
    Lines out = Msg(kind, "WM_INITDIALOG");
    if (kind.beeps)
        out.push_back("MessageBeep(0x30)");
    Lines rest = {
        "GetDesktopWindow()",
        "GetWindowRect(DESKTOP)",
        "GetWindowRect(D1)",
        "MoveWindow(D1, 387, 284, 250, 200, 1)",
        stub::Fmt("LoadStringA(HINST, %u, 256)", kind.caption),
        "SetWindowTextA(D1, " + Q(LoadedString(kind.caption)) + ")",
        stub::Fmt("LoadStringA(HINST, %u, 256)", kind.id == IDD_CHANGE_BAY ? 6u : kind.id == IDD_UNLOAD ? 4u : 2u),
        stub::Fmt("SetDlgItemTextA(D1, %d, ", kind.textControl) + Q(text) + ")",
        "LoadStringA(HINST, 3, 256)",
        "SetDlgItemTextA(D1, 1, \"OK\")",
    };
    if (kind.cancel)
        rest.insert(rest.end(), { "LoadStringA(HINST, 5, 256)", "SetDlgItemTextA(D1, 2, \"Cancel\")" });
    rest.insert(rest.end(), { "GetDlgItem(D1, 1)", "SetFocus(D1.1)" });
    return Concat({ out, rest });
}

std::string TextOf(const DialogKind &kind)
{
    return kind.id == IDD_CHANGE_BAY ? kPrompt : kind.id == IDD_UNLOAD ? kUnloadQuestion : LoadedString(IDS_ABOUT_TEXT);
}

Lines Opened(const DialogKind &kind)
{
    return Concat({ { stub::Fmt("DialogBoxParamA(HINST, %u, W1, %s, 0)", kind.id, kind.proc) }, Msg(kind, "WM_SETFONT"),
                    InitDialog(kind, TextOf(kind)) });
}

/* The state after start-up: W1 hidden, an empty bay, the change allowed; dialog messages marked. */
class DialogTest : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        Start();
    }
    void Start()
    {
        g_hInst = stub::Instance();
        ASSERT_TRUE(CreateMainWindow());
        g_strCaption.Clear();
        stub::SetNextDialogSize(250, 200);
        stub::TraceDialogMessages(true);
        stub::ClearTrace();
    }
    void Restart()
    {
        ResetProgram();
        Start();
    }
};

/* ---- Opening ---- */

TEST_F(DialogTest, OpenedAndClosedWithEsc)
{
    for (const DialogKind *kind : kAll) {
        Restart();
        Lines expected = Concat({ Opened(*kind), Msg(*kind, "WM_COMMAND 0x2"), { "EndDialog(D1, 0)" }, Destroyed(*kind) });
        stub::ClearTrace();
        stub::QueueKey(VK_ESCAPE);
        EXPECT_EQ(0, OnCommand(kind->command, 0));
        EXPECT_TRACE(expected) << kind->name;
        EXPECT_EQ(stub::Live({ 1, 0, 0, 0, 0 }), stub::LiveCounts()) << kind->name;
    }
}

struct Seen {
    const char *caption;
    std::map<int, std::string> texts;
};

/* What each dialog shows once open, in both languages: no design-time text is left. */
TEST_F(DialogTest, TextsOnScreen)
{
    const std::string notice = LoadedString(IDS_ABOUT_TEXT).substr(sizeof(kAboutStart) - 1);
    ASSERT_EQ(std::string::npos, notice.find('\n'));
    ASSERT_FALSE(notice.empty());

    const char *const okJa = "OK";
    const char *const cancelJa = "\xB7\xAC\xDD\xBE\xD9";   /* ｷｬﾝｾﾙ */
    struct Row {
        unsigned lang;
        const DialogKind &kind;
        Seen seen;
    };
    const Row rows[] = {
        { 1033, kChangeBay, { "Change Swap Bay", { { 1, "OK" }, { 2, "Cancel" }, { 1001, "#101" }, { 1002, kPrompt } } } },
        { 1033, kUnload, { "Unload Zendrik", { { 1, "OK" }, { 2, "Cancel" }, { 1005, kUnloadQuestion } } } },
        { 1033, kAbout, { "About Zendrik", { { 1, "OK" }, { 1004, kAboutStart + notice } } } },
        { 1041, kChangeBay,
          { "Swap Bay\x82\xCC\x95\xCF\x8DX",
            { { 1, okJa }, { 2, cancelJa }, { 1001, "#101" },
              { 1002, "Swap Bay\xC3\xDE\xCA\xDE\xB2\xBD\x82\xF0\x8Eg\x97p\x82\xB5\x82\xC4\x82\xA2\x82\xE9\xB1\xCC\xDF\xD8"
                      "\xB9\xB0\xBC\xAE\xDD\x82\xF0\x95\xC2\x82\xB6\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
                      "BOK\x82\xF0\x89\x9F\x82\xB5\x82\xC4\xBD\xD8\xB0\xCC\xDF\xD3\xB0\xC4\xDE\x82\xC9\x90\xD8\x82\xE8"
                      "\x91\xD6\x82\xA6\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81"
                      "B" } } } },
        { 1041, kUnload,
          { "Zendrik\x82\xCC\x8D\xED\x8F\x9C",
            { { 1, okJa }, { 2, cancelJa },
              { 1005, "Zendrik\x82\xF0\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB7\x82\xA9?" } } } },
        { 1041, kAbout,
          { "Zendrik\x82\xC9\x82\xC2\x82\xA2\x82\xC4",
            { { 1, okJa }, { 1004, "Zendrik\xD5\xB0\xC3\xA8\xD8\xC3\xA8\nVersion 1.02\n\n" + notice } } } },
    };
    for (const Row &row : rows) {
        Restart();
        stub::SetLanguage(row.lang);
        stub::QueueKey(VK_ESCAPE);
        OnCommand(row.kind.command, 0);
        std::string what = std::string(row.kind.name) + " in " + std::to_string(row.lang);
        ASSERT_EQ(1u, stub::Dialogs().size()) << what;
        const stub::DialogSeen &seen = stub::Dialogs()[0];
        EXPECT_EQ(row.kind.id, seen.id) << what;
        EXPECT_EQ(row.seen.caption, seen.caption) << what;
        EXPECT_EQ(row.seen.texts, seen.texts) << what;
        EXPECT_EQ(IDOK, seen.focus) << what;
        EXPECT_TRUE(seen.ownerIsMain) << what;
        /* The caption went through the shared text object. */
        EXPECT_STREQ(row.seen.caption, g_strCaption.Get()) << what;
    }
}

/* A string that cannot be loaded shows as an empty text; the shared caption keeps nothing of
   the dialog before. */
TEST_F(DialogTest, MissingStringsGiveEmptyTexts)
{
    struct Row {
        const DialogKind &kind;
        UINT hidden;
        std::string expected;
    };
    const Row rows[] = {
        { kChangeBay, IDS_CAPTION_CHANGE, "SetWindowTextA(D2, \"\")" },
        { kUnload, IDS_CAPTION_UNLOAD, "SetWindowTextA(D2, \"\")" },
        { kAbout, IDS_CAPTION_ABOUT, "SetWindowTextA(D2, \"\")" },
        { kChangeBay, IDS_CHANGE_PROMPT, "SetDlgItemTextA(D2, 1002, \"\")" },
        { kUnload, IDS_UNLOAD_QUESTION, "SetDlgItemTextA(D2, 1005, \"\")" },
        { kAbout, IDS_ABOUT_TEXT, "SetDlgItemTextA(D2, 1004, \"\")" },
        { kAbout, IDS_OK, "SetDlgItemTextA(D2, 1, \"\")" },
        { kUnload, IDS_CANCEL, "SetDlgItemTextA(D2, 2, \"\")" },
    };
    for (const Row &row : rows) {
        Restart();
        /* A first dialog leaves its caption in the shared object. */
        const DialogKind &first = row.kind.id == IDD_ABOUT ? kUnload : kAbout;
        stub::QueueKey(VK_ESCAPE);
        OnCommand(first.command, 0);
        stub::HideResource(6, row.hidden);
        stub::QueueKey(VK_ESCAPE);
        OnCommand(row.kind.command, 0);
        Lines seen = TraceOf({ "SetWindowTextA", "SetDlgItemTextA" });
        EXPECT_NE(seen.end(), std::find(seen.begin(), seen.end(), row.expected))
            << row.kind.name << ", string " << row.hidden << " missing";
        ASSERT_EQ(2u, stub::Dialogs().size());
        if (row.hidden == row.kind.caption) {
            EXPECT_EQ("", stub::Dialogs()[1].caption) << row.kind.name;
        }
    }
}

/* ---- Centring ---- */

TEST_F(DialogTest, CentredOnTheDesktop)
{
    struct Row {
        RECT desktop;
        int cx, cy;
        int x, y;
    };
    const Row rows[] = {
        { { 0, 0, 1024, 768 }, 250, 200, 387, 284 },
        { { 0, 0, 1023, 767 }, 250, 200, 386, 283 },        /* odd differences round down */
        { { 0, 0, 640, 480 }, 640, 480, 0, 0 },
        { { 0, 0, 100, 100 }, 103, 105, -1, -2 },           /* larger: -3/2 = -1, -5/2 = -2 */
        { { 0, 0, 640, 480 }, 641, 1000, 0, -260 },         /* -1/2 = 0 */
        { { 100, 50, 1124, 818 }, 250, 200, 387, 284 },     /* the desktop's left and top are not added */
        { { -1280, -10, 0, 1014 }, 300, 200, 490, 412 },
    };
    for (const Row &row : rows) {
        Restart();
        stub::SetDesktopRect(row.desktop);
        stub::SetNextDialogSize(row.cx, row.cy);
        stub::QueueKey(VK_ESCAPE);
        OnCommand(ID_ABOUT, 0);
        std::string what = stub::Fmt("desktop %ld,%ld-%ld,%ld, dialog %dx%d", (long)row.desktop.left,
                                (long)row.desktop.top, (long)row.desktop.right, (long)row.desktop.bottom, row.cx, row.cy);
        EXPECT_EQ((Lines{ stub::Fmt("MoveWindow(D1, %d, %d, %d, %d, 1)", row.x, row.y, row.cx, row.cy) }),
                  TraceOf({ "MoveWindow" }))
            << what;
        ASSERT_EQ(1u, stub::Dialogs().size());
        const RECT &rc = stub::Dialogs()[0].rect;
        EXPECT_EQ(row.x, rc.left) << what;
        EXPECT_EQ(row.y, rc.top) << what;
        EXPECT_EQ(row.x + row.cx, rc.right) << what;
        EXPECT_EQ(row.y + row.cy, rc.bottom) << what;
    }
}

/* ---- Commands inside the dialogs ---- */

struct CommandRow {
    const DialogKind &kind;
    WPARAM wParam;
    Lines expected;     /* what the procedure does for it */
    INT_PTR result;
    bool ends;
};

/* OK in the unload dialog: the main window goes, and the dialog with it, before its own EndDialog. */
const Lines kUnloadedByOk = { "ThkDisableSwap()",
                              "FindWindowA(NULL, \"MOXU\")",
                              "DestroyWindow(W1)",
                              "(D1 <- WM_DESTROY)",
                              "(D1 <- WM_NCDESTROY)",
                              "PostQuitMessage(0)",
                              "ThkDisableSwap()",
                              "DefWindowProcA(W1, 0x82, 0, 0)",
                              "EndDialog(D1, 0)" };

TEST_F(DialogTest, CommandTables)
{
    const Lines bay = { "ThkGetSwapBayDevice()" };
    const Lines end = { "EndDialog(D1, 0)" };
    const CommandRow rows[] = {
        { kChangeBay, IDOK, Concat({ bay, end, { "SetSystemPowerState(1, 1)" } }), TRUE, true },
        { kChangeBay, IDCANCEL, Concat({ bay, end }), TRUE, true },
        { kChangeBay, IDC_CHANGE_TEXT, bay, TRUE, false },
        { kChangeBay, ID_SWAP_BAY, bay, TRUE, false },
        { kChangeBay, MAKEWPARAM(IDOK, 1), bay, FALSE, false },
        { kChangeBay, MAKEWPARAM(IDCANCEL, 0xFFFF), bay, FALSE, false },
        { kUnload, IDOK, kUnloadedByOk, TRUE, true },
        { kUnload, IDCANCEL, end, TRUE, true },
        { kUnload, IDC_UNLOAD_TEXT, {}, TRUE, false },
        { kUnload, MAKEWPARAM(IDOK, 1), {}, FALSE, false },
        { kUnload, MAKEWPARAM(IDCANCEL, 0x300), {}, FALSE, false },
        { kAbout, IDOK, end, FALSE, true },
        { kAbout, IDCANCEL, end, FALSE, true },
        { kAbout, IDC_ABOUT_TEXT, end, FALSE, true },
        { kAbout, 0, end, FALSE, true },
        { kAbout, ID_ABOUT, end, FALSE, true },
        { kAbout, MAKEWPARAM(IDOK, 1), {}, FALSE, false },
        { kAbout, MAKEWPARAM(IDCANCEL, 0x8000), {}, FALSE, false },
    };
    for (const CommandRow &row : rows) {
        Restart();
        INT_PTR result = -7;
        Lines done;
        bool bStillOpen = false;
        const DialogKind &kind = row.kind;
        stub::QueueRun([&] {
            stub::ClearTrace();
            result = ProcOf(kind)(stub::CurrentDialog(), WM_COMMAND, row.wParam, 0);
            done = stub::Trace();
        });
        /* Taken only while the dialog is still open; the close box then ends it. */
        stub::QueueRun([&] { bStillOpen = true; });
        stub::QueueCloseBox();
        EXPECT_EQ(0, OnCommand(kind.command, 0));

        std::string what = stub::Fmt("%s, command %#lx", kind.name, (unsigned long)row.wParam);
        EXPECT_TRUE(TraceIs(row.expected, done)) << what;
        EXPECT_EQ(row.result, result) << what;
        EXPECT_EQ(row.ends, !bStillOpen) << what;
    }
}


/* Esc and the close box act as Cancel in all three, the about dialog included; Enter is OK. */
TEST_F(DialogTest, KeysAndTheCloseBox)
{
    const Lines end = { "EndDialog(D1, 0)" };
    enum Action { ESC, CLOSEBOX, ENTER };
    struct Row {
        const DialogKind &kind;
        Action action;
        Lines expected;     /* from the action on */
    };
    const Lines closeBox106 = Concat({ Msg(kChangeBay, "WM_SYSCOMMAND 0xf060"), Msg(kChangeBay, "WM_CLOSE"),
                                       Msg(kChangeBay, "WM_COMMAND 0x2") });
    const Lines closeBox109 = Concat({ Msg(kUnload, "WM_SYSCOMMAND 0xf060"), Msg(kUnload, "WM_CLOSE"),
                                       Msg(kUnload, "WM_COMMAND 0x2") });
    const Lines closeBox111 = Concat({ Msg(kAbout, "WM_SYSCOMMAND 0xf060"), Msg(kAbout, "WM_CLOSE"),
                                       Msg(kAbout, "WM_COMMAND 0x2") });
    const Row rows[] = {
        { kChangeBay, ESC, Concat({ Msg(kChangeBay, "WM_COMMAND 0x2"), end, Destroyed(kChangeBay) }) },
        { kChangeBay, CLOSEBOX, Concat({ closeBox106, end, Destroyed(kChangeBay) }) },
        { kChangeBay, ENTER,
          Concat({ Msg(kChangeBay, "WM_COMMAND 0x1"), end, { "SetSystemPowerState(1, 1)" }, Destroyed(kChangeBay) }) },
        { kUnload, ESC, Concat({ Msg(kUnload, "WM_COMMAND 0x2"), end, Destroyed(kUnload) }) },
        { kUnload, CLOSEBOX, Concat({ closeBox109, end, Destroyed(kUnload) }) },
        { kUnload, ENTER, Concat({ Msg(kUnload, "WM_COMMAND 0x1"), kUnloadedByOk }) },
        { kAbout, ESC, Concat({ Msg(kAbout, "WM_COMMAND 0x2"), end, Destroyed(kAbout) }) },
        { kAbout, CLOSEBOX, Concat({ closeBox111, end, Destroyed(kAbout) }) },
        { kAbout, ENTER, Concat({ Msg(kAbout, "WM_COMMAND 0x1"), end, Destroyed(kAbout) }) },
    };
    const char *const names[] = { "Esc", "close box", "Enter" };
    for (const Row &row : rows) {
        Restart();
        stub::QueueRun([] { stub::ClearTrace(); });
        if (row.action == CLOSEBOX)
            stub::QueueCloseBox();
        else
            stub::QueueKey(row.action == ESC ? VK_ESCAPE : VK_RETURN);
        OnCommand(row.kind.command, 0);
        EXPECT_TRACE(row.expected) << row.kind.name << ", " << names[row.action];
        EXPECT_EQ(0u, stub::ActionsLeft());
    }
}

/* ---- The change-bay dialog and the bay ---- */

TEST_F(DialogTest, ChangeBayTextFollowsTheBay)
{
    struct Row {
        BYTE canSwap;
        DWORD device;
        const char *text;
        size_t disables;    /* one per message while a fixed device sits in the bay */
    };
    const Row rows[] = {
        { 1, 0, kPrompt, 0 },
        { 0, 0, kRefused, 0 },          /* refused earlier in the run */
        { 0, 5, kRefused, 0 },          /* and stays refused with a removable module */
        { 1, 5, kPrompt, 0 },
        { 1, 31, kPrompt, 0 },
        { 1, 32, kRefused, 5 },         /* refused from the first message on */
        { 1, 40, kRefused, 5 },
        { 1, 62, kRefused, 5 },
        { 1, 63, kPrompt, 0 },
        { 1, 0xFFFF, kPrompt, 0 },
        { 1, 0x12340028, kRefused, 5 }, /* 40 in the low 16 bits */
    };
    for (const Row &row : rows) {
        Restart();
        g_bCanSwap = row.canSwap;
        stub::Inject("ThkGetSwapBayDevice", -1, row.device);
        stub::QueueKey(VK_ESCAPE);
        OnCommand(ID_SWAP_BAY, 0);
        std::string what = stub::Fmt("device %#x, change %s before", (unsigned)row.device, row.canSwap ? "allowed" : "refused");
        ASSERT_EQ(1u, stub::Dialogs().size()) << what;
        EXPECT_EQ(row.text, stub::Dialogs()[0].texts.at(IDC_CHANGE_TEXT)) << what;
        /* WM_SETFONT, WM_INITDIALOG, the command, WM_DESTROY and WM_NCDESTROY. */
        EXPECT_EQ(5u, TraceOf({ "ThkGetSwapBayDevice" }).size()) << what;
        EXPECT_EQ(row.disables, TraceOf({ "ThkDisableSwap" }).size()) << what;
        EXPECT_EQ(row.canSwap && !row.disables, g_bCanSwap != 0) << what;
    }
}

/* Every message the procedure receives checks the bay once, and with a fixed device in the
   bay tells the controller once more each time. */
TEST_F(DialogTest, ChangeBayChecksTheBayOnEveryMessage)
{
    for (DWORD device : { 5u, 40u }) {
        Restart();
        stub::Bay().device = device;
        stub::QueueMessage(WM_TIMER, 1, 0);
        stub::QueueMessage(0x7FFF, 0, 0);
        stub::QueueCommand(IDC_CHANGE_TEXT);
        stub::QueueCommand(IDOK, 1);
        stub::QueueCommand(IDOK);

        Lines check = { "ThkGetSwapBayDevice()" };
        if (device == 40)
            check.push_back("ThkDisableSwap()");
        Lines expected;
        for (const char *msg : { "WM_SETFONT", "WM_INITDIALOG", "WM_TIMER 0x1", "0x7fff 0", "WM_COMMAND 0x3ea",
                                 "WM_COMMAND 0x10001", "WM_COMMAND 0x1" })
            expected = Concat({ expected, { std::string("(D1 <- ") + msg + ")" }, check });
        expected.push_back("EndDialog(D1, 0)");
        if (device == 5)
            expected.push_back("SetSystemPowerState(1, 1)");
        for (const char *msg : { "WM_DESTROY", "WM_NCDESTROY" })
            expected = Concat({ expected, { std::string("(D1 <- ") + msg + ")" }, check });

        OnCommand(ID_SWAP_BAY, 0);
        Lines actual;
        for (const std::string &line : stub::Trace()) {
            if (line.compare(0, 7, "(D1 <- ") == 0 || line.compare(0, 3, "Thk") == 0 ||
                line.compare(0, 9, "EndDialog") == 0 || line.compare(0, 19, "SetSystemPowerState") == 0)
                actual.push_back(line);
        }
        EXPECT_TRUE(TraceIs(expected, actual)) << "device " << device;
    }
}

/* A fixed module arrives while the dialog shows string 6: the text stays, and OK closes
   without a suspend because the OK message's own check refuses the change first. */
TEST_F(DialogTest, FixedModuleInsertedWhileOpen)
{
    for (bool bTick : { false, true }) {
        Restart();
        stub::Bay().device = 5;
        std::string textBeforeOk;
        stub::QueueRun([] { stub::Bay().device = 40; });
        if (bTick)
            stub::QueueMessage(WM_TIMER, 1, 0);     /* some message in between sees it first */
        stub::QueueRun([&] { textBeforeOk = stub::ControlText(stub::CurrentDialog(), IDC_CHANGE_TEXT); });
        stub::QueueCommand(IDOK);
        OnCommand(ID_SWAP_BAY, 0);

        EXPECT_EQ(kPrompt, stub::Dialogs()[0].texts.at(IDC_CHANGE_TEXT)) << bTick;
        EXPECT_EQ(kPrompt, textBeforeOk) << bTick;
        EXPECT_EQ(0, g_bCanSwap) << bTick;
        EXPECT_EQ(0, g_bSwapSuspend) << bTick;
        EXPECT_EQ(1u, TraceOf({ "EndDialog" }).size()) << bTick;
        EXPECT_EQ(0u, TraceOf({ "SetSystemPowerState" }).size()) << bTick;
        EXPECT_EQ(0u, TraceOf({ "ThkEnableDisableDevice" }).size()) << bTick;
    }
}

/* OK: the dialog ends first, then the change is confirmed, all inside the OK message. */
TEST_F(DialogTest, OkRequestsTheSuspend)
{
    const std::string open = "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\00001234\")";
    const Lines status = { open, "RegQueryValueExA(K1, \"Status\", 4)", "RegCloseKey(K1)" };
    const Lines disable = { "ThkEnableDisableDevice(0, \"hdc\", \"Enum\\MF\\CHILD0001\", 0x11)" };
    const Lines ok = { "(D1 <- WM_COMMAND 0x1)", "ThkGetSwapBayDevice()", "EndDialog(D1, 0)" };
    const Lines suspend = { "SetSystemPowerState(1, 1)" };
    const Lines closed = Destroyed(kChangeBay);
    struct Row {
        const char *what;
        BYTE canSwap;
        DWORD devnode;
        long long status;       /* -1: no "Status" value */
        Lines expected;
        BYTE suspendFlag;
    };
    const Row rows[] = {
        { "no device node known", 1, 0, -1, Concat({ ok, suspend, closed }), 1 },
        { "device node started", 1, 0x1234, 0x8, Concat({ ok, status, disable, suspend, closed }), 1 },
        { "device node not started", 1, 0x1234, 0xFFFFFFF7, Concat({ ok, status, suspend, closed }), 1 },
        { "device node without status", 1, 0x1234, -1, Concat({ ok, status, suspend, closed }), 1 },
        { "change refused", 0, 0x1234, 0x8, Concat({ ok, closed }), 0 },
    };
    for (const Row &row : rows) {
        Restart();
        g_bCanSwap = row.canSwap;
        g_dwBayDevnode = row.devnode;
        stub::RegCreateKey("Config Manager\\Enum\\00001234");
        if (row.status >= 0)
            stub::RegSetDword("Config Manager\\Enum\\00001234", "Status", (DWORD)row.status);
        stub::QueueRun([] { stub::ClearTrace(); });
        stub::QueueCommand(IDOK);
        OnCommand(ID_SWAP_BAY, 0);
        EXPECT_TRACE(row.expected) << row.what;
        EXPECT_EQ(row.suspendFlag, g_bSwapSuspend) << row.what;
        EXPECT_EQ(stub::Live({ 1, 0, 0, 0, 0 }), stub::LiveCounts()) << row.what;
    }
}

/* ---- Unloading ---- */

/* The whole road: the command reaches the main window, OK destroys it and with it the dialog,
   and the loop ends with exit code 0 and nothing left behind. */
TEST_F(DialogTest, UnloadEndsTheProgram)
{
    ResetProgram();
    stub::TraceDialogMessages(true);
    stub::SetNextDialogSize(250, 200);
    stub::Bay().mode = 1;
    bool bPosted = false;
    stub::SetIdle([&] {
        if (!bPosted)
            stub::Post(g_hMainWnd, WM_COMMAND, ID_UNLOAD, 0);
        bPosted = true;
    });
    stub::QueueCommand(IDOK);
    Lines expected = Concat({ Opened(kUnload),
                              { "(D1 <- WM_COMMAND 0x1)", "ThkDisableSwap()", "KillTimer(W1, 1)",
                                "FindWindowA(NULL, \"MOXU\")", "DestroyWindow(W1)", "(D1 <- WM_DESTROY)",
                                "(D1 <- WM_NCDESTROY)", "PostQuitMessage(0)", "ThkDisableSwap()",
                                "DefWindowProcA(W1, 0x82, 0, 0)", "EndDialog(D1, 0)",
                                "Shell_NotifyIconA(2, 0x1, NULL)" } });
    stub::ClearTrace();

    EXPECT_EQ(0, WinMain(stub::Instance(), NULL, NULL, 1));

    EXPECT_FALSE(stub::Starved());
    const Lines &trace = stub::Trace();
    Lines fromDialog;
    for (size_t i = 0; i < trace.size(); ++i) {
        if (trace[i].compare(0, 15, "DialogBoxParamA") == 0) {
            fromDialog.assign(trace.begin() + i, trace.end());
            break;
        }
    }
    EXPECT_TRUE(TraceIs(expected, fromDialog));
    EXPECT_EQ(2u, TraceOf({ "ThkDisableSwap" }).size());
    EXPECT_EQ(0u, stub::ActionsLeft());
    EXPECT_EQ(stub::Live({ 0, 0, 0, 0, 0 }), stub::LiveCounts()) << stub::ToString(stub::LiveCounts());
    EXPECT_FALSE(stub::TrayIconShown());
}

/* ---- Menu commands ---- */

TEST_F(DialogTest, OnCommandTable)
{
    struct Row {
        WPARAM wParam;
        LPARAM lParam;
        const DialogKind *opens;
    };
    const Row rows[] = {
        { ID_SWAP_BAY, 0, &kChangeBay },
        { ID_UNLOAD, 0, &kUnload },
        { ID_ABOUT, 0, &kAbout },
        { 0x19C42, 0, &kChangeBay },                    /* 40002 + 0x10000: counted by its low 16 bits */
        { MAKEWPARAM(ID_UNLOAD, 1), 0x1234, &kUnload }, /* the high word and lParam are not looked at */
        { (WPARAM)0xFFFF0000 | ID_ABOUT, 0, &kAbout },
        { 0, 0, NULL },
        { 1, 0, NULL },
        { 2, 0, NULL },
        { 40001, 0, NULL },
        { 40004, 0, NULL },
        { 40006, 0, NULL },
        { 40008, 0, NULL },
        { IDD_CHANGE_BAY, 0, NULL },
        { IDR_SWAP_MENU, 0, NULL },
        { 0xFFFF, 0, NULL },
        { 0x10000, 0, NULL },
    };
    for (const Row &row : rows) {
        Restart();
        stub::QueueKey(VK_ESCAPE);
        std::string what = stub::Fmt("command %#lx", (unsigned long)row.wParam);
        EXPECT_EQ(0, OnCommand(row.wParam, row.lParam)) << what;
        if (row.opens) {
            EXPECT_EQ((Lines{ stub::Fmt("DialogBoxParamA(HINST, %u, W1, %s, 0)", row.opens->id, row.opens->proc) }),
                      TraceOf({ "DialogBoxParamA" }))
                << what;
            ASSERT_EQ(1u, stub::Dialogs().size()) << what;
            EXPECT_EQ(row.opens->id, stub::Dialogs()[0].id) << what;
            EXPECT_TRUE(stub::Dialogs()[0].ownerIsMain) << what;
            EXPECT_EQ(0u, stub::ActionsLeft()) << what;
        } else {
            EXPECT_TRACE(Lines{}) << what;
            EXPECT_EQ(1u, stub::ActionsLeft()) << what;
        }
        /* The main window routes the command and returns OnCommand's 0. */
        Restart();
        stub::QueueKey(VK_ESCAPE);
        EXPECT_EQ(0, MainWndProc(g_hMainWnd, WM_COMMAND, row.wParam, row.lParam)) << what;
        EXPECT_EQ(row.opens ? 1u : 0u, stub::Dialogs().size()) << what;
    }
}

/* A dialog that cannot be created: nothing else happens. */
TEST_F(DialogTest, DialogBoxFailure)
{
    for (const DialogKind *kind : kAll) {
        for (bool bHidden : { true, false }) {
            Restart();
            if (bHidden)
                stub::HideResource(5, kind->id);
            else
                stub::Inject("DialogBoxParamA", 0, -1);
            stub::QueueKey(VK_ESCAPE);
            EXPECT_EQ(0, OnCommand(kind->command, 0)) << kind->name;
            EXPECT_TRACE((Lines{ stub::Fmt("DialogBoxParamA(HINST, %u, W1, %s, 0)", kind->id, kind->proc) })) << kind->name;
            EXPECT_EQ(0u, stub::Dialogs().size()) << kind->name;
            EXPECT_EQ(1u, stub::ActionsLeft()) << kind->name;
            EXPECT_EQ(stub::Live({ 1, 0, 0, 0, 0 }), stub::LiveCounts()) << kind->name;
        }
    }
}

/* Nothing checks for a dialog already open: a command dispatched by the change-bay dialog's
   loop opens the about dialog on top of it. */
TEST_F(DialogTest, CommandWhileADialogIsOpen)
{
    stub::QueueRun([] { stub::Post(g_hMainWnd, WM_COMMAND, ID_ABOUT, 0); });
    stub::QueueKey(VK_ESCAPE);     /* closes the about dialog */
    stub::QueueKey(VK_ESCAPE);     /* then the change-bay dialog */
    OnCommand(ID_SWAP_BAY, 0);
    ASSERT_EQ(2u, stub::Dialogs().size());
    EXPECT_EQ((unsigned)IDD_CHANGE_BAY, stub::Dialogs()[0].id);
    EXPECT_EQ((unsigned)IDD_ABOUT, stub::Dialogs()[1].id);
    EXPECT_TRUE(stub::Dialogs()[1].ownerIsMain);
    EXPECT_EQ((Lines{ "EndDialog(D2, 0)", "EndDialog(D1, 0)" }), TraceOf({ "EndDialog" }));
    EXPECT_EQ(0u, stub::ActionsLeft());
    EXPECT_EQ(stub::Live({ 1, 0, 0, 0, 0 }), stub::LiveCounts());
}

}
