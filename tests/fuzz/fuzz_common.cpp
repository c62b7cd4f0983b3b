/* Shared ground of the fuzz targets. */
#include "fuzz_common.h"

#include <stdio.h>
#include <stdlib.h>

void FuzzFail(const char *pszCond, const char *pszFile, int nLine)
{
    fprintf(stderr, "%s:%d: broken: %s\n", pszFile, nLine, pszCond);
    abort();
}

static const char c_szEnum[] = "Config Manager\\Enum";
static const char c_szBayChild[] = "MF\\CHILD0001";

static std::string NodeName(Input &in)
{
    uint8_t kind = in.Byte();
    if (kind & 1) {
        char sz[16];
        snprintf(sz, sizeof(sz), (kind & 2) ? "%08X" : "%08x", (unsigned)in.Dword());
        return sz;
    }
    std::string name;
    for (uint8_t b : in.Bytes(in.Byte() % 24)) {
        if (b == 0 || b == '\\')
            b = 'G';
        name += (char)b;
    }
    return name.empty() ? std::string("0") : name;
}

static std::vector<uint8_t> HardwareKey(Input &in)
{
    uint8_t kind = in.Byte();
    std::vector<uint8_t> value;
    if (kind & 1)
        value.assign(c_szBayChild, c_szBayChild + 12);
    if (kind & 2) {
        /* Around the 1024-byte buffer: short, just fitting, just too long. */
        static const size_t c_acb[] = { 0, 1, 11, 1011, 1012, 1013, 1023, 1024, 1025, 1100 };
        size_t cb = c_acb[(kind >> 2) % (sizeof(c_acb) / sizeof(c_acb[0]))];
        while (value.size() < cb)
            value.push_back((uint8_t)('A' + value.size() % 26));
    }
    std::vector<uint8_t> tail = in.Bytes(in.Byte() % 20);
    value.insert(value.end(), tail.begin(), tail.end());
    if (kind & 0x80)
        value.push_back(0);
    return value;
}

TreeModel BuildTree(Input &in, size_t nMaxNodes)
{
    TreeModel tree;
    uint8_t flags = in.Byte();
    tree.enumExists = (flags & 7) != 0;
    if (!tree.enumExists)
        return tree;
    stub::RegCreateKey(c_szEnum);
    size_t n = in.Byte() % (nMaxNodes + 1);
    for (size_t i = 0; i < n && !in.Empty(); ++i) {
        std::string name = NodeName(in);
        std::string path = std::string(c_szEnum) + "\\" + name;
        stub::RegCreateKey(path);
        NodeModel &node = tree.nodes[name];
        uint8_t what = in.Byte();
        if (what & 1) {
            node.hasHardwareKey = true;
            node.hardwareKey = HardwareKey(in);
            stub::RegSetValue(path, "HardWareKey", node.hardwareKey);
        }
        if (what & 2) {
            node.hasStatus = true;
            node.status = in.Bytes((what >> 2) % 7);
            stub::RegSetValue(path, "Status", node.status);
        }
    }
    return tree;
}

bool IsBayChildValue(const std::vector<uint8_t> &value)
{
    if (value.size() > 1024)
        return false;
    for (size_t i = 0; i < 12; ++i) {
        if (i >= value.size() || value[i] != (uint8_t)c_szBayChild[i])
            return false;
    }
    return true;
}

size_t InjectRegistryFailures(Input &in, size_t nMax, int *pnCloses)
{
    static const char *const c_apszCalls[] = { "RegOpenKeyA", "RegEnumKeyA", "RegQueryValueExA", "RegCloseKey" };
    static const long long c_alErrors[] = { 2 /* not found */, 5 /* access denied */, 6 /* bad handle */,
                                            234 /* more data */, 0x103 /* no more items */ };
    int nCloses = 0;
    size_t n = in.Byte() % (nMax + 1);
    for (size_t i = 0; i < n; ++i) {
        const char *pszCall = in.Pick(c_apszCalls);
        int nth = in.Byte() % 32;
        stub::Inject(pszCall, nth, in.Pick(c_alErrors));
        nCloses += pszCall == c_apszCalls[3];
    }
    *pnCloses = nCloses;
    return n;
}
