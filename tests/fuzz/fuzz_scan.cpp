/* Fuzz target: the start-up scan over a fuzzed device-node tree with fuzzed registry failures. */
#include "fuzz_common.h"

#include <stdio.h>

static DWORD NodeNumber(const std::string &name)
{
    return HexToDword(name.c_str());
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ResetProgram();
    Input in(data, size);
    int nCloseFailures = 0;
    bool bFailures = InjectRegistryFailures(in, 6, &nCloseFailures) != 0;
    TreeModel tree = BuildTree(in, 40);
    DWORD dwBefore = in.Byte() & 1 ? in.Dword() : 0;
    g_dwBayDevnode = dwBefore;

    FindBayDevnode();

    /* Every key the scan opened is closed again (a failed close may leave one open). */
    FUZZ_CHECK(stub::LiveCounts().keys <= nCloseFailures);

    /* The scan stores only a matching node's number, and never clears the value. */
    bool bSeen = g_dwBayDevnode == dwBefore;
    DWORD dwLast = dwBefore;
    for (const auto &kv : tree.nodes) {
        if (kv.second.hasHardwareKey && IsBayChildValue(kv.second.hardwareKey)) {
            bSeen = bSeen || g_dwBayDevnode == NodeNumber(kv.first);
            dwLast = NodeNumber(kv.first);
        }
    }
    FUZZ_CHECK(bSeen);
    /* With nothing failing, the matching node enumerated last wins. */
    if (!bFailures && tree.enumExists)
        FUZZ_CHECK(g_dwBayDevnode == dwLast);

    /* The started test reads "Status" of the node found; 0 is never started. */
    bool bStarted = IsDevnodeStarted(g_dwBayDevnode);
    if (g_dwBayDevnode == 0)
        FUZZ_CHECK(!bStarted);
    if (!bFailures && g_dwBayDevnode != 0) {
        char szName[16];
        snprintf(szName, sizeof(szName), "%08X", (unsigned)g_dwBayDevnode);
        auto it = tree.nodes.find(szName);
        bool bExpected = it != tree.nodes.end() && it->second.hasStatus && it->second.status.size() <= 4 &&
                         !it->second.status.empty() && (it->second.status[0] & 0x8);
        FUZZ_CHECK(bStarted == bExpected);
    }
    FUZZ_CHECK(stub::LiveCounts().keys <= nCloseFailures);
    return 0;
}
