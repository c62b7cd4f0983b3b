/* Shared ground of the host tests. */
#include "fixture.h"

#include <algorithm>

::testing::AssertionResult TraceIs(const Lines &expected, const Lines &actual)
{
    if (expected == actual)
        return ::testing::AssertionSuccess();
    size_t width = 8;
    for (const std::string &s : expected)
        width = std::max(width, s.size());
    std::string out = "trace differs (expected | actual):\n";
    size_t n = std::max(expected.size(), actual.size());
    bool bMarked = false;
    for (size_t i = 0; i < n; ++i) {
        std::string e = i < expected.size() ? expected[i] : "";
        std::string a = i < actual.size() ? actual[i] : "";
        bool bDiff = (i >= expected.size() || i >= actual.size() || e != a);
        out += (bDiff && !bMarked) ? ">> " : "   ";
        bMarked = bMarked || bDiff;
        out += e + std::string(width - std::min(width, e.size()), ' ') + " | " + a + "\n";
    }
    return ::testing::AssertionFailure() << out;
}

Lines TraceOf(const std::vector<std::string> &calls)
{
    Lines out;
    for (const std::string &line : stub::Trace()) {
        for (const std::string &call : calls) {
            if (line.compare(0, call.size() + 1, call + "(") == 0)
                out.push_back(line);
        }
    }
    return out;
}

Lines Concat(std::initializer_list<Lines> parts)
{
    Lines out;
    for (const Lines &part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
