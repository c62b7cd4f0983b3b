/* Our stand-in for the maker's bay-controller library: six calls, state read from a file, every call logged.
 *
 *   MOXU2_STATE  a text file of "name=value" lines, read again on every call:
 *                device, status, mode, capability (16-bit values), upper (OR-ed into
 *                the results of the four reading calls, to show that only the low 16
 *                bits count), enable_result. Numbers are decimal or 0x-hex.
 *   MOXU2_LOG    a file to which one line per call is appended and flushed at once.
 *
 * With nothing set the bay is empty, the status 0 and the system mode 1.
 */
#include <windows.h>
#include <stdlib.h>
#include <stddef.h>
#include <string.h>

struct BayState {
    DWORD dwDevice;
    DWORD dwStatus;
    DWORD dwMode;
    DWORD dwCapability;
    DWORD dwUpper;
    DWORD dwEnableResult;
};

static void ReadState(BayState *pState)
{
    pState->dwDevice = 0;
    pState->dwStatus = 0;
    pState->dwMode = 1;
    pState->dwCapability = 1;
    pState->dwUpper = 0;
    pState->dwEnableResult = 1;

    char szPath[MAX_PATH];
    DWORD cch = GetEnvironmentVariableA("MOXU2_STATE", szPath, sizeof(szPath));
    if (cch == 0 || cch >= sizeof(szPath))
        return;
    HANDLE hFile = CreateFileA(szPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    char szText[1024];
    DWORD cbRead = 0;
    if (!ReadFile(hFile, szText, sizeof(szText) - 1, &cbRead, NULL))
        cbRead = 0;
    CloseHandle(hFile);
    szText[cbRead] = 0;

    static const struct {
        const char *pszName;
        size_t offset;
    } c_aFields[] = {
        { "device", offsetof(BayState, dwDevice) },
        { "status", offsetof(BayState, dwStatus) },
        { "mode", offsetof(BayState, dwMode) },
        { "capability", offsetof(BayState, dwCapability) },
        { "upper", offsetof(BayState, dwUpper) },
        { "enable_result", offsetof(BayState, dwEnableResult) },
    };
    for (char *pszLine = szText; pszLine && *pszLine;) {
        char *pszNext = strchr(pszLine, '\n');
        if (pszNext)
            *pszNext++ = 0;
        char *pszEq = strchr(pszLine, '=');
        if (pszEq) {
            *pszEq = 0;
            for (size_t i = 0; i < sizeof(c_aFields) / sizeof(c_aFields[0]); ++i) {
                if (strcmp(pszLine, c_aFields[i].pszName) == 0)
                    *(DWORD *)((char *)pState + c_aFields[i].offset) = strtoul(pszEq + 1, NULL, 0);
            }
        }
        pszLine = pszNext;
    }
}

static void AppendLog(const char *pszLine)
{
    char szPath[MAX_PATH];
    DWORD cch = GetEnvironmentVariableA("MOXU2_LOG", szPath, sizeof(szPath));
    if (cch == 0 || cch >= sizeof(szPath))
        return;
    HANDLE hFile = CreateFileA(szPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               NULL, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return;
    DWORD cbWritten;
    WriteFile(hFile, pszLine, (DWORD)strlen(pszLine), &cbWritten, NULL);
    FlushFileBuffers(hFile);
    CloseHandle(hFile);
}

static DWORD Answer(const char *pszName, DWORD dwResult)
{
    char szLine[128];
    wsprintfA(szLine, "%s() = 0x%lX\r\n", pszName, (unsigned long)dwResult);
    AppendLog(szLine);
    return dwResult;
}

extern "C" {

__declspec(dllexport) DWORD ThkGetSwapBayDevice(void)
{
    BayState st;
    ReadState(&st);
    return Answer("ThkGetSwapBayDevice", (st.dwDevice & 0xFFFF) | st.dwUpper);
}

__declspec(dllexport) DWORD ThkGetSwapBayStatus(void)
{
    BayState st;
    ReadState(&st);
    return Answer("ThkGetSwapBayStatus", (st.dwStatus & 0xFFFF) | st.dwUpper);
}

__declspec(dllexport) DWORD ThkGetCurSystemMode(void)
{
    BayState st;
    ReadState(&st);
    return Answer("ThkGetCurSystemMode", (st.dwMode & 0xFFFF) | st.dwUpper);
}

__declspec(dllexport) DWORD ThkGetSwapCapability(void)
{
    BayState st;
    ReadState(&st);
    return Answer("ThkGetSwapCapability", (st.dwCapability & 0xFFFF) | st.dwUpper);
}

__declspec(dllexport) DWORD ThkDisableSwap(void)
{
    /* Any number of times, also after swapping is disabled already. */
    return Answer("ThkDisableSwap", 1);
}

__declspec(dllexport) DWORD WINAPI ThkEnableDisableDevice(DWORD dwEnable, LPCSTR pszClass, LPCSTR pszDevKey, DWORD dwFlags)
{
    BayState st;
    ReadState(&st);
    char szLine[512];
    wsprintfA(szLine, "ThkEnableDisableDevice(%lu, \"%.100s\", \"%.100s\", 0x%lX) = 0x%lX\r\n",
              (unsigned long)dwEnable, pszClass ? pszClass : "(null)", pszDevKey ? pszDevKey : "(null)",
              (unsigned long)dwFlags, (unsigned long)st.dwEnableResult);
    AppendLog(szLine);
    return st.dwEnableResult;
}

}
