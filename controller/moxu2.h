/* The six calls of the bay-controller library moxu2.dll, imported by name at load time. */
#ifndef MOXU_MOXU2_H
#define MOXU_MOXU2_H

#include "platform.h"

/* The library answers in AX: only the low 16 bits of a result mean anything,
   so the results are declared as DWORD and every caller masks them. */
#ifdef __cplusplus
extern "C" {
#endif

DWORD ThkGetSwapBayDevice(void);
DWORD ThkGetSwapBayStatus(void);
DWORD ThkGetCurSystemMode(void);
DWORD ThkGetSwapCapability(void);
DWORD ThkDisableSwap(void);
/* The only one of the six with arguments; the callee pops its 16 bytes. */
DWORD WINAPI ThkEnableDisableDevice(DWORD dwEnable, LPCSTR pszClass, LPCSTR pszDevKey, DWORD dwFlags);

#ifdef __cplusplus
}
#endif

#endif
