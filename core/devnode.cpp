/* Device-node probe: finds and follows the Configuration Manager node of the bay's multi-function child. */
#include "moxu.h"
#include <string.h>

DWORD g_dwBayDevnode = 0;

static const char c_szEnumKey[] = "Config Manager\\Enum";
static const char c_szHardwareKey[] = "HardWareKey";
static const char c_szStatus[] = "Status";
static const char c_szBayChild[] = "MF\\CHILD0001";

#define BAY_CHILD_LEN       12      /* strlen(c_szBayChild) */
#define DEVNODE_BUF_SIZE    1024    /* subkey names and "HardWareKey" values */
#define DN_STARTED_FLAG     0x00000008

/* The scan ends at ERROR_NO_MORE_ITEMS; these bounds only stop a registry that
   never says so. Real machines have a few hundred nodes at the most. */
#define SCAN_MAX_INDEX      65536
#define SCAN_MAX_FAILURES   1024

/* Byte-wise, case-sensitive, stops at the value's terminator: a shorter value never matches. */
static bool IsBayChildKey(const char *pszValue)
{
    return strncmp(pszValue, c_szBayChild, BAY_CHILD_LEN) == 0;
}

DWORD HexToDword(const char *psz)
{
    DWORD dw = 0;
    for (;; ++psz) {
        char c = *psz;
        DWORD d;
        if (c >= '0' && c <= '9')
            d = (DWORD)(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = (DWORD)(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = (DWORD)(c - 'A' + 10);
        else
            break;
        dw = (dw << 4) + d;
    }
    return dw;
}

int ReadDevnodeValue(DWORD dwDevnode, const char *pszName, void *pBuf, DWORD cbBuf)
{
    char szPath[sizeof(c_szEnumKey) + 1 + 8];
    wsprintfA(szPath, "%s\\%08X", c_szEnumKey, (unsigned)dwDevnode);

    HKEY hKey = NULL;
    if (RegOpenKeyA(HKEY_DYN_DATA, szPath, &hKey) != ERROR_SUCCESS)
        return 0;
    DWORD cb = cbBuf;
    LONG lResult = RegQueryValueExA(hKey, pszName, NULL, NULL, (LPBYTE)pBuf, &cb);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

int ReadDevnodeStatus(DWORD dwDevnode, DWORD *pdwStatus)
{
    if (dwDevnode == 0)
        return 0;
    /* A value shorter than four bytes fills only its own bytes: the rest stay zero. */
    BYTE ab[4] = { 0, 0, 0, 0 };
    if (!ReadDevnodeValue(dwDevnode, c_szStatus, ab, sizeof(ab)))
        return 0;
    *pdwStatus = (DWORD)ab[0] | ((DWORD)ab[1] << 8) | ((DWORD)ab[2] << 16) | ((DWORD)ab[3] << 24);
    return 1;
}

bool IsDevnodeStarted(DWORD dwDevnode)
{
    DWORD dwStatus;
    if (!ReadDevnodeStatus(dwDevnode, &dwStatus))
        return false;
    return (dwStatus & DN_STARTED_FLAG) != 0;
}

void FindBayDevnode(void)
{
    HKEY hEnum = NULL;
    if (RegOpenKeyA(HKEY_DYN_DATA, c_szEnumKey, &hEnum) != ERROR_SUCCESS)
        return;

    /* One byte more than the size passed, always zero: the contents stay a terminated text. */
    char szName[DEVNODE_BUF_SIZE + 1];
    char szValue[DEVNODE_BUF_SIZE + 1];
    szName[DEVNODE_BUF_SIZE] = 0;
    szValue[DEVNODE_BUF_SIZE] = 0;

    DWORD dwFailures = 0;
    for (DWORD i = 0; i < SCAN_MAX_INDEX; ++i) {
        LONG lResult = RegEnumKeyA(hEnum, i, szName, DEVNODE_BUF_SIZE);
        if (lResult == ERROR_NO_MORE_ITEMS)
            break;
        if (lResult != ERROR_SUCCESS) {
            if (++dwFailures >= SCAN_MAX_FAILURES)
                break;
            continue;
        }
        dwFailures = 0;

        HKEY hNode = NULL;
        if (RegOpenKeyA(hEnum, szName, &hNode) != ERROR_SUCCESS)
            continue;
        DWORD dwDevnode = HexToDword(szName);
        DWORD cb = DEVNODE_BUF_SIZE;
        lResult = RegQueryValueExA(hNode, c_szHardwareKey, NULL, NULL, (LPBYTE)szValue, &cb);
        if (lResult == ERROR_SUCCESS) {
            /* A value without its own terminator must not run on into the
               bytes an earlier, longer value left in the buffer. */
            if (cb < DEVNODE_BUF_SIZE)
                szValue[cb] = 0;
            if (IsBayChildKey(szValue))
                g_dwBayDevnode = dwDevnode;
        }
        RegCloseKey(hNode);
    }
    RegCloseKey(hEnum);
}

void OnDeviceChange(WPARAM wParam, LPARAM lParam)
{
    if (wParam != DBT_DEVICEARRIVAL && wParam != DBT_DEVICEREMOVECOMPLETE)
        return;
    /* Both events carry a record; one without it tells nothing. */
    const BYTE *pRecord = (const BYTE *)lParam;
    if (pRecord == NULL)
        return;

    DWORD dwType, dwDevnode;
    memcpy(&dwType, pRecord + 4, sizeof(dwType));
    if (dwType != DBT_DEVTYP_DEVNODE)
        return;
    memcpy(&dwDevnode, pRecord + 12, sizeof(dwDevnode));

    if (wParam == DBT_DEVICEARRIVAL) {
        char szValue[DEVNODE_BUF_SIZE + 1];
        memset(szValue, 0, sizeof(szValue));
        if (ReadDevnodeValue(dwDevnode, c_szHardwareKey, szValue, DEVNODE_BUF_SIZE) && IsBayChildKey(szValue))
            g_dwBayDevnode = dwDevnode;
    } else if (dwDevnode == g_dwBayDevnode) {
        g_dwBayDevnode = 0;
    }
}
