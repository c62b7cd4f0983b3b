/* The device-node probe: key names as numbers, the start-up scan, arrival and removal, and the started test. */
#include "fixture.h"

#include <set>

namespace {

const char kEnum[] = "Config Manager\\Enum";
const char kHwKey[] = "HardWareKey";
const char kStatus[] = "Status";

std::string NodePath(const std::string &name)
{
    return std::string(kEnum) + "\\" + name;
}

std::string Hex8(DWORD node)
{
    char sz[16];
    snprintf(sz, sizeof(sz), "%08X", (unsigned)node);
    return sz;
}

std::vector<BYTE> Bytes(const std::string &s)
{
    return std::vector<BYTE>(s.begin(), s.end());
}

/* A value of exactly n bytes that begins with the given text; the rest is 'x', no terminator. */
std::vector<BYTE> Sized(const std::string &head, size_t n)
{
    std::vector<BYTE> v(n, 'x');
    std::copy(head.begin(), head.end(), v.begin());
    return v;
}

/* Every key the program used (K1, K2, ...) is closed exactly once, and none is left open. */
::testing::AssertionResult EveryKeyClosedOnce()
{
    std::set<std::string> used;
    std::multiset<std::string> closed;
    for (const std::string &line : stub::Trace()) {
        for (size_t pos = line.find("(K"); pos != std::string::npos; pos = line.find("(K", pos + 1)) {
            size_t end = line.find_first_of(",)", pos);
            used.insert(line.substr(pos + 1, end - pos - 1));
        }
        if (line.compare(0, 12, "RegCloseKey(") == 0)
            closed.insert(line.substr(12, line.size() - 13));
    }
    for (const std::string &key : used) {
        if (closed.count(key) != 1)
            return ::testing::AssertionFailure() << key << " closed " << closed.count(key) << " times";
    }
    if (closed.size() != used.size())
        return ::testing::AssertionFailure() << "a key closed that was never opened";
    if (stub::LiveCounts().keys != 0)
        return ::testing::AssertionFailure() << stub::LiveCounts().keys << " keys left open";
    return ::testing::AssertionSuccess();
}

class DevnodeTest : public ProgramTest {};

/* ---- Key names as numbers ---- */

TEST_F(DevnodeTest, HexToDword)
{
    const struct {
        const char *text;
        DWORD value;
    } rows[] = {
        { "0000ABCD", 0xABCD },
        { "00000000", 0 },
        { "FFFFFFFF", 0xFFFFFFFF },
        { "aBcDeF09", 0xABCDEF09 },
        { "", 0 },
        { "1f", 31 },
        { "1F", 31 },
        { "12G4", 0x12 },
        { " 12", 0 },
        { "-1", 0 },
        { "0x10", 0 },
        { "123456789", 0x23456789 },
        { "ABCDEF0123", 0xCDEF0123 },
        /* the neighbours of each digit range end the parse */
        { "1/", 1 }, { "1:", 1 }, { "1@", 1 }, { "1G", 1 }, { "1`", 1 }, { "1g", 1 },
        /* bytes of 0x80 and above, whatever the signedness of char */
        { "12\x80" "34", 0x12 },
        { "\xB1" "1", 0 },
        { "7\xFF", 7 },
        { "\xC1\xC2", 0 },
    };
    for (const auto &row : rows)
        EXPECT_EQ(row.value, HexToDword(row.text)) << '"' << row.text << '"';
}

/* ---- The start-up scan ---- */

struct Node {
    std::string name;
    bool hasValue;
    std::vector<BYTE> value;    /* "HardWareKey" exactly as stored */
};

Node Text(const std::string &name, const std::string &text)
{
    std::vector<BYTE> v = Bytes(text);
    v.push_back(0);
    return Node{ name, true, v };
}

Node Raw(const std::string &name, const std::vector<BYTE> &bytes)
{
    return Node{ name, true, bytes };
}

Node NoValue(const std::string &name)
{
    return Node{ name, false, {} };
}

void AddNodes(const std::vector<Node> &nodes)
{
    stub::RegCreateKey(kEnum);
    for (const Node &node : nodes) {
        stub::RegCreateKey(NodePath(node.name));
        /* every node has a Status; only HardWareKey decides */
        stub::RegSetDword(NodePath(node.name), kStatus, 8);
        if (node.hasValue)
            stub::RegSetValue(NodePath(node.name), kHwKey, node.value);
    }
}

/* The scan never clears the node and stores nothing but a match: it starts from this. */
const DWORD kBefore = 0x5555;

struct ScanRow {
    const char *what;
    std::vector<Node> nodes;
    std::function<void()> arrange;
    DWORD expected;
};

TEST_F(DevnodeTest, ScanFindsTheLastMatchingNode)
{
    const std::string longName1023 = "00000020" + std::string(1015, 'A');
    const std::string longName1024 = "00000020" + std::string(1016, 'A');
    const ScanRow rows[] = {
        { "no Enum key", {}, [] {}, kBefore },
        { "an empty Enum key", {}, [] { stub::RegCreateKey(kEnum); }, kBefore },
        { "no match", { Text("00000010", "PCI\\VEN_1234"), Text("00000020", "MF\\CHILD0002"), NoValue("00000030") },
          nullptr, kBefore },
        { "one match, name in lower case", { Text("00000010", "PCI\\X"), Text("0000abcd", "MF\\CHILD0001\\ROOT&1") },
          nullptr, 0xABCD },
        { "two matches: the later in enumeration order wins",
          { Text("00000030", "MF\\CHILD0001"), Text("00000040", "ISAPNP\\X"), Text("00000020", "MF\\CHILD0001") },
          nullptr, 0x30 },
        { "the exact text", { Text("00000010", "MF\\CHILD0001") }, nullptr, 0x10 },
        { "the text and more", { Text("00000010", "MF\\CHILD0001&ANYTHING") }, nullptr, 0x10 },
        { "lower case", { Text("00000010", "mf\\child0001&anything") }, nullptr, kBefore },
        { "mixed case", { Text("00000010", "MF\\Child0001") }, nullptr, kBefore },
        { "11 characters", { Text("00000010", "MF\\CHILD000") }, nullptr, kBefore },
        { "another child", { Text("00000010", "MF\\CHILD0011") }, nullptr, kBefore },
        { "an empty value", { Text("00000010", "") }, nullptr, kBefore },
        { "no value", { NoValue("00000010") }, nullptr, kBefore },
        { "12 bytes without terminator", { Raw("00000010", Bytes("MF\\CHILD0001")) }, nullptr, 0x10 },
        { "1024 bytes without terminator: fits", { Raw("00000010", Sized("MF\\CHILD0001", 1024)) }, nullptr, 0x10 },
        { "1023 characters and terminator: fits",
          { Raw("00000010", [] { auto v = Sized("MF\\CHILD0001", 1024); v.back() = 0; return v; }()) }, nullptr, 0x10 },
        { "1025 bytes: cannot be read", { Raw("00000010", Sized("MF\\CHILD0001", 1025)) }, nullptr, kBefore },
        { "far too long", { Raw("00000010", Sized("MF\\CHILD0001", 5000)) }, nullptr, kBefore },
        /* A short value without terminator must not be read on into what an earlier
           node left in the buffer. */
        { "short value after a longer match", { Text("00000010", "MF\\CHILD0001"), Raw("00000020", Bytes("MF\\CH")) },
          nullptr, 0x10 },
        { "short value after a longer non-match", { Text("00000010", "XF\\CHILD0001"), Raw("00000020", Bytes("MF")) },
          nullptr, kBefore },
        { "11 bytes after 1024", { Raw("00000010", Sized("ZZZZZZZZZZZ1", 1024)), Raw("00000020", Bytes("MF\\CHILD000")) },
          nullptr, kBefore },
        { "Enum cannot be opened", { Text("00000010", "MF\\CHILD0001") },
          [] { stub::Inject("RegOpenKeyA", 0, ERROR_ACCESS_DENIED); }, kBefore },
        { "a node cannot be opened: skipped", { Text("00000010", "MF\\CHILD0001"), Text("00000020", "MF\\CHILD0001") },
          [] { stub::Inject("RegOpenKeyA", 2, ERROR_ACCESS_DENIED); }, 0x10 },
        { "the first index fails: skipped, the scan goes on",
          { Text("00000010", "MF\\CHILD0001"), Text("00000020", "MF\\CHILD0001") },
          [] { stub::Inject("RegEnumKeyA", 0, ERROR_ACCESS_DENIED); }, 0x20 },
        { "the last index fails: skipped", { Text("00000010", "MF\\CHILD0001"), Text("00000020", "MF\\CHILD0001") },
          [] { stub::Inject("RegEnumKeyA", 1, ERROR_ACCESS_DENIED); }, 0x10 },
        { "a query fails", { Text("00000010", "MF\\CHILD0001") },
          [] { stub::Inject("RegQueryValueExA", 0, ERROR_ACCESS_DENIED); }, kBefore },
        { "a name of 1023 characters fits", { Text("00000010", "MF\\CHILD0001"), Text(longName1023, "MF\\CHILD0001") },
          nullptr, 0xAAAAAAAA },
        { "a name of 1024 characters does not (ERROR_MORE_DATA): skipped",
          { Text("00000010", "MF\\CHILD0001"), Text(longName1024, "MF\\CHILD0001"), Text("00000030", "PCI\\X") },
          nullptr, 0x10 },
    };
    for (const ScanRow &row : rows) {
        ResetProgram();
        if (!row.nodes.empty())
            AddNodes(row.nodes);
        if (row.arrange)
            row.arrange();
        g_dwBayDevnode = kBefore;
        FindBayDevnode();
        EXPECT_EQ(row.expected, g_dwBayDevnode) << row.what;
        EXPECT_TRUE(EveryKeyClosedOnce()) << row.what;
        /* Every query offers the whole 1024-byte buffer. */
        for (const std::string &line : TraceOf({ "RegQueryValueExA" }))
            EXPECT_EQ(", 1024)", line.substr(line.size() - 7)) << row.what << ": " << line;
    }
}

TEST_F(DevnodeTest, ScanTrace)
{
    AddNodes({ Text("00000020", "MF\\CHILD0001"), Text("00000010", "PCI\\X"), NoValue("00000030") });
    FindBayDevnode();
    EXPECT_EQ(0x20u, g_dwBayDevnode);
    static const Lines expected = {
        "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\")",
        "RegEnumKeyA(K1, 0, 1024)",
        "RegOpenKeyA(K1, \"00000010\")",
        "RegQueryValueExA(K2, \"HardWareKey\", 1024)",
        "RegCloseKey(K2)",
        "RegEnumKeyA(K1, 1, 1024)",
        "RegOpenKeyA(K1, \"00000020\")",
        "RegQueryValueExA(K3, \"HardWareKey\", 1024)",
        "RegCloseKey(K3)",
        "RegEnumKeyA(K1, 2, 1024)",
        "RegOpenKeyA(K1, \"00000030\")",
        "RegQueryValueExA(K4, \"HardWareKey\", 1024)",
        "RegCloseKey(K4)",
        "RegEnumKeyA(K1, 3, 1024)",
        "RegCloseKey(K1)",
    };
    EXPECT_TRACE(expected);
}

TEST_F(DevnodeTest, ScanTraceOnFailures)
{
    /* Enum cannot be opened: nothing else is done. */
    AddNodes({ Text("00000010", "MF\\CHILD0001") });
    stub::Inject("RegOpenKeyA", 0, ERROR_ACCESS_DENIED);
    FindBayDevnode();
    EXPECT_TRACE((Lines{ "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\")" }));

    /* A failing index and a node that cannot be opened are passed over, nothing closed for them. */
    ResetProgram();
    AddNodes({ Text("00000010", "MF\\CHILD0001"), Text("00000020", "MF\\CHILD0001") });
    stub::Inject("RegEnumKeyA", 0, ERROR_MORE_DATA);
    stub::Inject("RegOpenKeyA", 1, ERROR_FILE_NOT_FOUND);
    FindBayDevnode();
    EXPECT_EQ(0u, g_dwBayDevnode);
    EXPECT_TRACE((Lines{
        "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\")",
        "RegEnumKeyA(K1, 0, 1024)",
        "RegEnumKeyA(K1, 1, 1024)",
        "RegOpenKeyA(K1, \"00000020\")",
        "RegEnumKeyA(K1, 2, 1024)",
        "RegCloseKey(K1)",
    }));
}

/* A registry that never reports the end must not hold up the start. */
TEST_F(DevnodeTest, ScanEndsWhenEveryIndexFails)
{
    for (long long code : { (long long)ERROR_ACCESS_DENIED, (long long)ERROR_MORE_DATA, 1LL }) {
        ResetProgram();
        AddNodes({ Text("00000010", "MF\\CHILD0001") });
        stub::Inject("RegEnumKeyA", -1, code);
        FindBayDevnode();
        EXPECT_EQ(0u, g_dwBayDevnode) << code;
        EXPECT_EQ(1024u, TraceOf({ "RegEnumKeyA" }).size()) << code;
        EXPECT_EQ(1026, stub::CallCount()) << code;
        EXPECT_EQ("RegCloseKey(K1)", stub::Trace().back()) << code;
        EXPECT_TRUE(EveryKeyClosedOnce()) << code;
    }
}

/* A registry with more subkeys than any machine has nodes: the scan stops after 65536 indexes,
   without asking for the end, and the node past the bound is never seen. */
TEST_F(DevnodeTest, ScanStopsAtItsIndexBound)
{
    for (DWORD i = 0; i <= 0x10000; ++i)
        stub::RegCreateKey("Config Manager\\Enum\\" + Hex8(i));
    stub::RegSetString("Config Manager\\Enum\\" + Hex8(0xFFFF), "HardWareKey", "MF\\CHILD0001");
    stub::RegSetString("Config Manager\\Enum\\" + Hex8(0x10000), "HardWareKey", "MF\\CHILD0001");
    FindBayDevnode();
    EXPECT_EQ(0xFFFFu, g_dwBayDevnode);
    Lines enums = TraceOf({ "RegEnumKeyA" });
    EXPECT_EQ(65536u, enums.size());
    EXPECT_EQ("RegEnumKeyA(K1, 65535, 1024)", enums.back());
    EXPECT_EQ("RegCloseKey(K1)", stub::Trace().back());
    EXPECT_EQ(0, stub::LiveCounts().keys);
}

/* Only consecutive failures count towards giving up: a readable index in between starts the count over. */
TEST_F(DevnodeTest, ScanGoesOnPastFailuresThatAreNotConsecutive)
{
    std::vector<Node> nodes;
    for (DWORD i = 0; i < 2048; ++i)
        nodes.push_back(i == 2047 ? Text(Hex8(i), "MF\\CHILD0001") : Text(Hex8(i), "PCI\\X"));
    AddNodes(nodes);
    /* 1023 failures, one good index, 1023 failures, the matching node, the end. */
    for (int i = 0; i < 2047; ++i) {
        if (i != 1023)
            stub::Inject("RegEnumKeyA", i, ERROR_ACCESS_DENIED);
    }
    FindBayDevnode();
    EXPECT_EQ(2047u, g_dwBayDevnode);
    EXPECT_EQ(2049u, TraceOf({ "RegEnumKeyA" }).size());
    EXPECT_EQ((Lines{ "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\")", "RegOpenKeyA(K1, \"000003FF\")",
                      "RegOpenKeyA(K1, \"000007FF\")" }),
              TraceOf({ "RegOpenKeyA" }));
    EXPECT_TRUE(EveryKeyClosedOnce());
}

/* ---- Arrival and removal ---- */

const DWORD kTracked = 0x1234;
const DWORD kMatching = 0xBEEF;     /* "MF\CHILD0001..." */
const DWORD kOther = 0xCAFE;        /* another hardware key */
const DWORD kNoValue = 0x0DAD;      /* entry without "HardWareKey" */
const DWORD kNoEntry = 0xF00D;      /* no entry at all */
const DWORD kTooLong = 0x0B16;      /* "MF\CHILD0001" followed by more than the buffer holds */
const DWORD kLower = 0x0C0C;        /* "mf\child0001" */

void AddArrivalFixture()
{
    AddNodes({ Text(Hex8(kMatching), "MF\\CHILD0001\\SLOT"), Text(Hex8(kOther), "PCI\\VEN_8086"),
               NoValue(Hex8(kNoValue)), Raw(Hex8(kTooLong), Sized("MF\\CHILD0001", 1025)),
               Text(Hex8(kLower), "mf\\child0001"), Text(Hex8(kTracked), "MF\\CHILD0001") });
}

Lines ArrivalRead(DWORD node, bool bOpened = true)
{
    Lines lines = { "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\" + Hex8(node) + "\")" };
    if (bOpened) {
        lines.push_back("RegQueryValueExA(K1, \"HardWareKey\", 1024)");
        lines.push_back("RegCloseKey(K1)");
    }
    return lines;
}

struct DeviceRow {
    const char *what;
    DWORD before;
    WPARAM event;
    DWORD type;
    DWORD node;         /* at offset 12 */
    bool noRecord;      /* lParam NULL */
    DWORD after;
    Lines expected;
};

TEST_F(DevnodeTest, ArrivalAndRemoval)
{
    const DeviceRow rows[] = {
        { "arrival of the bay child, none tracked", 0, DBT_DEVICEARRIVAL, 1, kMatching, false, kMatching,
          ArrivalRead(kMatching) },
        { "arrival of the bay child replaces the tracked node", kTracked, DBT_DEVICEARRIVAL, 1, kMatching, false,
          kMatching, ArrivalRead(kMatching) },
        { "arrival of another node", kTracked, DBT_DEVICEARRIVAL, 1, kOther, false, kTracked, ArrivalRead(kOther) },
        { "arrival of another node, none tracked", 0, DBT_DEVICEARRIVAL, 1, kOther, false, 0, ArrivalRead(kOther) },
        { "arrival of a node without hardware key", kTracked, DBT_DEVICEARRIVAL, 1, kNoValue, false, kTracked,
          ArrivalRead(kNoValue) },
        { "arrival of a node without entry", kTracked, DBT_DEVICEARRIVAL, 1, kNoEntry, false, kTracked,
          ArrivalRead(kNoEntry, false) },
        { "arrival of a node whose key is too long to read", kTracked, DBT_DEVICEARRIVAL, 1, kTooLong, false,
          kTracked, ArrivalRead(kTooLong) },
        { "arrival of a node in lower case", kTracked, DBT_DEVICEARRIVAL, 1, kLower, false, kTracked,
          ArrivalRead(kLower) },
        { "removal of the tracked node", kTracked, DBT_DEVICEREMOVECOMPLETE, 1, kTracked, false, 0, {} },
        { "removal of another node", kTracked, DBT_DEVICEREMOVECOMPLETE, 1, kMatching, false, kTracked, {} },
        { "removal with none tracked", 0, DBT_DEVICEREMOVECOMPLETE, 1, kMatching, false, 0, {} },
        { "query-remove of the tracked node", kTracked, 0x8001, 1, kTracked, false, kTracked, {} },
        { "remove-pending of the tracked node", kTracked, 0x8003, 1, kTracked, false, kTracked, {} },
        { "devnodes-changed", kTracked, 0x0007, 1, kMatching, false, kTracked, {} },
        { "arrival code with upper bits", kTracked, 0x18000, 1, kMatching, false, kTracked, {} },
        { "removal code with upper bits", kTracked, 0x18004, 1, kTracked, false, kTracked, {} },
        { "arrival of a volume naming the bay child at offset 12", kTracked, DBT_DEVICEARRIVAL, 2, kMatching, false,
          kTracked, {} },
        { "removal of a volume naming the tracked node at offset 12", kTracked, DBT_DEVICEREMOVECOMPLETE, 2,
          kTracked, false, kTracked, {} },
        { "type with upper bits", kTracked, DBT_DEVICEREMOVECOMPLETE, 0x10001, kTracked, false, kTracked, {} },
        { "type 0", kTracked, DBT_DEVICEARRIVAL, 0, kMatching, false, kTracked, {} },
        { "arrival without record", kTracked, DBT_DEVICEARRIVAL, 0, 0, true, kTracked, {} },
        { "removal without record", kTracked, DBT_DEVICEREMOVECOMPLETE, 0, 0, true, kTracked, {} },
        { "removal without record, none tracked", 0, DBT_DEVICEREMOVECOMPLETE, 0, 0, true, 0, {} },
    };
    for (const DeviceRow &row : rows) {
        ResetProgram();
        AddArrivalFixture();
        g_dwBayDevnode = row.before;
        /* size and reserved hold rubbish: they are not read */
        DEV_BROADCAST_DEVNODE rec = { 0xFFFFFFFF, row.type, 0xFFFFFFFF, row.node };
        OnDeviceChange(row.event, row.noRecord ? 0 : (LPARAM)&rec);
        EXPECT_EQ(row.after, g_dwBayDevnode) << row.what;
        EXPECT_TRACE(row.expected) << row.what;
        EXPECT_EQ(0, stub::LiveCounts().keys) << row.what;
    }
}

/* Found at start, then followed through broadcasts that reach the main window. */
TEST_F(DevnodeTest, NodeFollowedThroughTheMainWindow)
{
    AddNodes({ Text("00000A00", "MF\\CHILD0001"), Text("00000B00", "MF\\CHILD0001\\2") });
    stub::Bay().mode = 0;
    std::vector<DWORD> seen;
    stub::SetIdle([&] {
        DEV_BROADCAST_DEVNODE rec = { sizeof(rec), DBT_DEVTYP_DEVNODE, 0, 0 };
        auto send = [&](WPARAM event, DWORD node) {
            rec.dbcd_devnode = node;
            stub::Send(g_hMainWnd, WM_DEVICECHANGE, event, (LPARAM)&rec);
            seen.push_back(g_dwBayDevnode);
        };
        seen.push_back(g_dwBayDevnode);
        stub::RegSetString(NodePath("00000C00"), kHwKey, "MF\\CHILD0001");
        send(DBT_DEVICEARRIVAL, 0xC00);             /* a second child replaces the first */
        send(DBT_DEVICEREMOVECOMPLETE, 0xB00);      /* the earlier node goes: nothing */
        send(DBT_DEVICEREMOVECOMPLETE, 0xC00);      /* the tracked node goes */
        send(DBT_DEVICEARRIVAL, 0xA00);             /* and one comes back */
        stub::Post(g_hMainWnd, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(0, WinMain(stub::Instance(), NULL, NULL, 1));
    EXPECT_EQ((std::vector<DWORD>{ 0xB00, 0xC00, 0xC00, 0, 0xA00 }), seen);
    EXPECT_TRUE(EveryKeyClosedOnce());
}

/* ---- Is the node started? ---- */

struct StatusRow {
    const char *what;
    DWORD node;
    bool hasValue;
    std::vector<BYTE> status;
    std::function<void()> arrange;
    int read;           /* ReadDevnodeStatus's result */
    DWORD value;        /* what it stores; the sentinel when it fails */
    bool started;
    Lines expected;     /* of one IsDevnodeStarted call */
};

const DWORD kSentinel = 0xA5A5A5A5;

Lines StatusRead(bool bOpened = true)
{
    Lines lines = { "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\00000010\")" };
    if (bOpened) {
        lines.push_back("RegQueryValueExA(K1, \"Status\", 4)");
        lines.push_back("RegCloseKey(K1)");
    }
    return lines;
}

TEST_F(DevnodeTest, IsDevnodeStarted)
{
    const StatusRow rows[] = {
        { "8: started alone", 0x10, true, { 8, 0, 0, 0 }, nullptr, 1, 8, true, StatusRead() },
        { "every bit but bit 3", 0x10, true, { 0xF7, 0xFF, 0xFF, 0xFF }, nullptr, 1, 0xFFFFFFF7, false, StatusRead() },
        { "every bit", 0x10, true, { 0xFF, 0xFF, 0xFF, 0xFF }, nullptr, 1, 0xFFFFFFFF, true, StatusRead() },
        { "bit 3 in another byte only", 0x10, true, { 0, 8, 0, 0 }, nullptr, 1, 0x800, false, StatusRead() },
        { "0", 0x10, true, { 0, 0, 0, 0 }, nullptr, 1, 0, false, StatusRead() },
        { "missing", 0x10, false, {}, nullptr, 0, kSentinel, false, StatusRead() },
        { "5 bytes: cannot be read", 0x10, true, { 8, 0, 0, 0, 0 }, nullptr, 0, kSentinel, false, StatusRead() },
        { "1 byte", 0x10, true, { 0x08 }, nullptr, 1, 8, true, StatusRead() },
        { "2 bytes, bit 3 in the second", 0x10, true, { 0x00, 0x08 }, nullptr, 1, 0x800, false, StatusRead() },
        { "3 bytes", 0x10, true, { 0x0C, 0x01, 0x02 }, nullptr, 1, 0x2010C, true, StatusRead() },
        { "0 bytes", 0x10, true, {}, nullptr, 1, 0, false, StatusRead() },
        { "the query fails", 0x10, true, { 8, 0, 0, 0 },
          [] { stub::Inject("RegQueryValueExA", -1, ERROR_ACCESS_DENIED); }, 0, kSentinel, false, StatusRead() },
        { "no entry for the node", 0x20, false, {}, nullptr, 0, kSentinel, false,
          { "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\00000020\")" } },
        { "node 0, although an entry 00000000 is started", 0, true, { 8, 0, 0, 0 }, nullptr, 0, kSentinel, false, {} },
    };
    for (const StatusRow &row : rows) {
        ResetProgram();
        stub::RegCreateKey(NodePath("00000010"));
        stub::RegSetString(NodePath("00000010"), kHwKey, "MF\\CHILD0001");
        stub::RegCreateKey(NodePath("00000000"));
        stub::RegSetDword(NodePath("00000000"), kStatus, 8);
        if (row.hasValue)
            stub::RegSetValue(NodePath("00000010"), kStatus, row.status);
        if (row.arrange)
            row.arrange();

        EXPECT_EQ(row.started, IsDevnodeStarted(row.node)) << row.what;
        EXPECT_TRACE(row.expected) << row.what;

        /* Reading into a dirty destination: on failure it is left alone. */
        DWORD dw = kSentinel;
        EXPECT_EQ(row.read, ReadDevnodeStatus(row.node, &dw)) << row.what;
        EXPECT_EQ(row.value, dw) << row.what << std::hex << " got 0x" << dw;
        EXPECT_EQ(0, stub::LiveCounts().keys) << row.what;
    }
}

/* The value reader serves any name and any buffer size, and closes what it opened whatever the query did. */
TEST_F(DevnodeTest, ReadDevnodeValue)
{
    stub::RegSetString(NodePath("0000ABCD"), kHwKey, "MF\\CHILD0001");
    char buf[32];
    memset(buf, '#', sizeof(buf));
    EXPECT_EQ(1, ReadDevnodeValue(0xABCD, kHwKey, buf, sizeof(buf)));
    EXPECT_STREQ("MF\\CHILD0001", buf);
    EXPECT_EQ(0, ReadDevnodeValue(0xABCD, kHwKey, buf, 12));       /* no room for the terminator */
    EXPECT_EQ(0, ReadDevnodeValue(0xABCD, "Missing", buf, sizeof(buf)));
    EXPECT_EQ(0, ReadDevnodeValue(0xABCE, kHwKey, buf, sizeof(buf)));
    EXPECT_TRACE((Lines{
        "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\0000ABCD\")",
        "RegQueryValueExA(K1, \"HardWareKey\", 32)",
        "RegCloseKey(K1)",
        "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\0000ABCD\")",
        "RegQueryValueExA(K2, \"HardWareKey\", 12)",
        "RegCloseKey(K2)",
        "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\0000ABCD\")",
        "RegQueryValueExA(K3, \"Missing\", 32)",
        "RegCloseKey(K3)",
        "RegOpenKeyA(HKEY_DYN_DATA, \"Config Manager\\Enum\\0000ABCE\")",
    }));
    EXPECT_EQ(0, stub::LiveCounts().keys);
}

}
