// Loads strings 1..14 from moxu.exe with LoadStringA and compares them with the bytes of the ANSI code page in use.
//
// Usage: loadstrings [path\to\moxu.exe]   (default: moxu.exe in the folder above this program's)
// Prints one line per string and "N passed, M failed"; exits 0 only when every string matches.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "expected_strings.h"

namespace {


// Bytes as printable ASCII, whatever the console's code page: the rest as \xNN, line feeds as \n.
void PrintEscaped(const char *s, int len) {
    putchar('"');
    for (int i = 0; i < len; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == '\n') fputs("\\n", stdout);
        else if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') putchar(c);
        else printf("\\x%02X", c);
    }
    putchar('"');
}

}  // namespace

int main(int argc, char **argv) {
    char path[MAX_PATH];
    if (argc > 1) {
        lstrcpynA(path, argv[1], MAX_PATH);
    } else {
        // This program sits in the build tree's tests folder; moxu.exe one level up.
        DWORD n = GetModuleFileNameA(NULL, path, MAX_PATH);
        char *slash = n ? strrchr(path, '\\') : NULL;
        if (slash) *slash = '\0';
        slash = strrchr(path, '\\');
        if (!slash || (slash - path) + 10 >= MAX_PATH) {
            printf("FAIL: cannot tell where moxu.exe is\n");
            return 2;
        }
        strcpy(slash, "\\moxu.exe");
    }

    HMODULE hModule = LoadLibraryExA(path, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (!hModule) {
        printf("FAIL: cannot load %s (error %lu)\n", path, GetLastError());
        return 2;
    }

    UINT cp = GetACP();
    if (cp != 1252 && cp != 932) {
        printf("FAIL: ANSI code page %u is neither 1252 nor 932\n", cp);
        FreeLibrary(hModule);
        return 2;
    }
    printf("%s, code page %u\n", path, cp);

    int passed = 0, failed = 0;
    for (const ExpectedString &e : kExpectedStrings) {
        const char *want = cp == 932 ? e.japanese : e.english;
        int wantLen = static_cast<int>(strlen(want));
        char buf[256];
        memset(buf, 0x7F, sizeof buf);
        int got = LoadStringA(hModule, e.id, buf, sizeof buf);
        bool ok = got == wantLen && memcmp(buf, want, wantLen) == 0 && buf[got] == '\0';
        printf("%-4s %2u ", ok ? "ok" : "FAIL", e.id);
        PrintEscaped(buf, got > 0 ? got : 0);
        if (!ok) {
            printf(" (%d bytes), expected ", got);
            PrintEscaped(want, wantLen);
            printf(" (%d bytes)", wantLen);
        }
        putchar('\n');
        (ok ? passed : failed)++;
    }
    printf("%d passed, %d failed\n", passed, failed);
    FreeLibrary(hModule);
    return failed == 0 ? 0 : 1;
}
