/* Fuzz target: HexToDword on any text, against the rule that the last eight of the leading hex digits count. */
#include "fuzz_common.h"

#include <stdlib.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    /* A zero byte ends the text, as in a key name. */
    std::string text((const char *)data, size);
    DWORD dw = HexToDword(text.c_str());

    size_t n = 0;
    while (n < text.size() && strchr("0123456789abcdefABCDEF", text[n]) && text[n])
        ++n;
    std::string digits = text.substr(n > 8 ? n - 8 : 0, n > 8 ? 8 : n);
    DWORD dwExpected = digits.empty() ? 0 : (DWORD)strtoul(digits.c_str(), NULL, 16);
    FUZZ_CHECK(dw == dwExpected);
    return 0;
}
