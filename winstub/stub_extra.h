/* Small additions to the stand-in's test API, used by the failure-injection tests and the fuzz targets. */
#ifndef MOXU_STUB_EXTRA_H
#define MOXU_STUB_EXTRA_H

#include <stddef.h>

namespace stub {

/* Drops the user actions still queued for dialogs (a dialog that never opened
   leaves its actions behind; the next dialog must not take them) and says how many. */
size_t ClearActions();

}

#endif
