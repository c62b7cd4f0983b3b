/* Shared ground of the fuzz targets: a fresh program per input, a reader of the input, a fuzzed device-node tree. */
#ifndef MOXU_FUZZ_COMMON_H
#define MOXU_FUZZ_COMMON_H

#include "moxu.h"
#include "reset.h"
#include "stub.h"

#include <map>
#include <stddef.h>
#include <stdint.h>
#include <string>
#include <strings.h>
#include <vector>

/* A broken promise of the program: report it and stop, so that libFuzzer keeps the input. */
#define FUZZ_CHECK(cond) ((cond) ? (void)0 : FuzzFail(#cond, __FILE__, __LINE__))
[[noreturn]] void FuzzFail(const char *pszCond, const char *pszFile, int nLine);


/* Takes the input front to back; an exhausted input reads as zeros. */
class Input {
public:
    Input(const uint8_t *p, size_t n) : m_p(p), m_n(n) {}
    bool Empty() const { return m_n == 0; }
    size_t Left() const { return m_n; }
    uint8_t Byte()
    {
        if (!m_n)
            return 0;
        --m_n;
        return *m_p++;
    }
    uint16_t Word() { return (uint16_t)(Byte() | (Byte() << 8)); }
    uint32_t Dword() { return (uint32_t)Word() | ((uint32_t)Word() << 16); }
    std::vector<uint8_t> Bytes(size_t n)
    {
        std::vector<uint8_t> out;
        while (n-- && m_n)
            out.push_back(Byte());
        return out;
    }
    template <typename T, size_t N> T Pick(const T (&a)[N]) { return a[Byte() % N]; }

private:
    const uint8_t *m_p;
    size_t m_n;
};

struct CaseLessName {
    bool operator()(const std::string &a, const std::string &b) const { return strcasecmp(a.c_str(), b.c_str()) < 0; }
};

/* What the fuzzed tree holds under "Config Manager\Enum", as the program may read it. */
struct NodeModel {
    bool hasHardwareKey = false;
    std::vector<uint8_t> hardwareKey;
    bool hasStatus = false;
    std::vector<uint8_t> status;
};
struct TreeModel {
    bool enumExists = false;
    std::map<std::string, NodeModel, CaseLessName> nodes;   /* in the order the stand-in enumerates them */
};

/* Builds a tree of device nodes from the input into the stand-in's registry and returns its model.
   Names are texts without backslash or zero, as the registry's key names are. */
TreeModel BuildTree(Input &in, size_t nMaxNodes);

/* Whether a "HardWareKey" value, read into a 1024-byte buffer, names the bay's child. */
bool IsBayChildValue(const std::vector<uint8_t> &value);

/* Registry failures from the input: each entry fails the nth call of one of the four registry calls.
   Returns how many were scripted; *pnCloses counts the RegCloseKey ones (each may leave a key open). */
size_t InjectRegistryFailures(Input &in, size_t nMax, int *pnCloses);

#endif
