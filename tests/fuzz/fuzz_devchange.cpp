/* Fuzz target: device-node broadcasts with fuzzed events and records, against the tracking rules. */
#include "fuzz_common.h"

#include <memory>
#include <stdio.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ResetProgram();
    Input in(data, size);
    int nCloseFailures = 0;
    bool bFailures = InjectRegistryFailures(in, 3, &nCloseFailures) != 0;
    TreeModel tree = BuildTree(in, 12);
    std::vector<DWORD> nodes;
    for (const auto &kv : tree.nodes)
        nodes.push_back(HexToDword(kv.first.c_str()));
    g_dwBayDevnode = in.Byte() & 1 ? (nodes.empty() ? in.Dword() : nodes[in.Byte() % nodes.size()]) : 0;

    while (!in.Empty()) {
        static const WPARAM c_aEvents[] = { DBT_DEVICEARRIVAL, DBT_DEVICEREMOVECOMPLETE, 0x8001, 0x8003, 0x0007, 0 };
        uint8_t how = in.Byte();
        WPARAM wParam = (how & 0x80) ? (WPARAM)in.Dword() : in.Pick(c_aEvents);

        /* The platform's record is at least the 16 bytes of DEV_BROADCAST_DEVNODE; a record
           of exactly its length sits on the heap so that a read past it is caught. */
        bool bNull = (how & 0x70) == 0x70;
        size_t cb = 16 + (how & 0x0F) * ((how & 0x40) ? 8 : 1);
        std::vector<uint8_t> record = in.Bytes(cb);
        record.resize(cb, 0);
        if (how & 1) {
            DWORD dwType = DBT_DEVTYP_DEVNODE;
            memcpy(&record[4], &dwType, 4);
        }
        DWORD dwNode;
        if ((how & 2) && !nodes.empty()) {
            dwNode = nodes[in.Byte() % nodes.size()];
            memcpy(&record[12], &dwNode, 4);
        }
        if (how & 4)
            memcpy(&record[12], &g_dwBayDevnode, 4);
        DWORD dwType;
        memcpy(&dwType, &record[4], 4);
        memcpy(&dwNode, &record[12], 4);
        std::unique_ptr<uint8_t[]> heap(new uint8_t[cb]);
        memcpy(heap.get(), record.data(), cb);

        DWORD dwBefore = g_dwBayDevnode;
        OnDeviceChange(wParam, bNull ? 0 : (LPARAM)heap.get());
        DWORD dwAfter = g_dwBayDevnode;

        FUZZ_CHECK(stub::LiveCounts().keys <= nCloseFailures);
        if (bNull || dwType != DBT_DEVTYP_DEVNODE || (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE)) {
            FUZZ_CHECK(dwAfter == dwBefore);
        } else if (wParam == DBT_DEVICEREMOVECOMPLETE) {
            FUZZ_CHECK(dwAfter == (dwNode == dwBefore ? 0 : dwBefore));
        } else {
            char szName[16];
            snprintf(szName, sizeof(szName), "%08X", (unsigned)dwNode);
            auto it = tree.nodes.find(szName);
            bool bMatch = it != tree.nodes.end() && it->second.hasHardwareKey && IsBayChildValue(it->second.hardwareKey);
            if (bFailures)
                FUZZ_CHECK(dwAfter == dwBefore || (bMatch && dwAfter == dwNode));
            else
                FUZZ_CHECK(dwAfter == (bMatch ? dwNode : dwBefore));
        }
    }
    return 0;
}
