// Loads strings 1..14 from moxu.exe with LoadStringA and compares them with the bytes of the ANSI code page in use.
//
// Usage: loadstrings [path\to\moxu.exe]   (default: moxu.exe in the folder above this program's)
// Prints one line per string and "N passed, M failed"; exits 0 only when every string matches.
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "resource.h"

namespace {

struct Expected { UINT id; const char *cp1252; const char *cp932; };

#define NOTICE "Copyright (C) 1998 Zendrik Corp."
const Expected kStrings[] = {
    {IDS_MENU_ABOUT, "About Zendrik", "Zendrik\x82\xC9\x82\xC2\x82\xA2\x82\xC4"},
    {IDS_ABOUT_TEXT, "Zendrik \nVersion 1.02\n\n" NOTICE,
     "Zendrik\xD5\xB0\xC3\xA8\xD8\xC3\xA8\nVersion 1.02\n\n" NOTICE},
    {IDS_OK, "OK", "OK"},
    {IDS_UNLOAD_QUESTION, "Do you really want to quit\n Zendrik?",
     "Zendrik\x82\xF0\x8F" "I\x97\xB9\x82\xB5\x82\xDC\x82\xB7\x82\xA9?"},
    {IDS_CANCEL, "Cancel", "\xB7\xAC\xDD\xBE\xD9"},
    {IDS_CHANGE_PROMPT, "Please close any application using Swap Bay device. Press OK to enter sleep mode. ",
     "Swap Bay\xC3\xDE\xCA\xDE\xB2\xBD\x82\xF0\x8E" "g\x97p\x82\xB5\x82\xC4\x82\xA2\x82\xE9"
     "\xB1\xCC\xDF\xD8\xB9\xB0\xBC\xAE\xDD\x82\xF0\x95\xC2\x82\xB6\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B"
     "OK\x82\xF0\x89\x9F\x82\xB5\x82\xC4\xBD\xD8\xB0\xCC\xDF\xD3\xB0\xC4\xDE\x82\xC9\x90\xD8\x82\xE8\x91\xD6"
     "\x82\xA6\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81" "B"},
    {IDS_CHANGE_REFUSED, "You can not change this Swap Bay.",
     "\x82\xB1\x82\xCCSwap Bay\x82\xCD\x95\xCF\x8D" "X\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81" "B"},
    {IDS_MENU_CHANGE, "Change Swap Bay", "Swap Bay\x82\xCC\x95\xCF\x8D" "X"},
    {IDS_MENU_UNLOAD, "Unload Zendrik", "Zendrik\x82\xCC\x8D\xED\x8F\x9C"},
    {IDS_TIP_BAY_EXIST, "Swap Bay Exist", "Swap Bay\x82\xA0\x82\xE8"},
    {IDS_TIP_NO_BAY, "No Swap Bay", "Swap Bay\x82\xC8\x82\xB5"},
    {IDS_CAPTION_CHANGE, "Change Swap Bay", "Swap Bay\x82\xCC\x95\xCF\x8D" "X"},
    {IDS_CAPTION_ABOUT, "About Zendrik", "Zendrik\x82\xC9\x82\xC2\x82\xA2\x82\xC4"},
    {IDS_CAPTION_UNLOAD, "Unload Zendrik", "Zendrik\x82\xCC\x8D\xED\x8F\x9C"},
};
#undef NOTICE

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
    for (const Expected &e : kStrings) {
        const char *want = cp == 932 ? e.cp932 : e.cp1252;
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
