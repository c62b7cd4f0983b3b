/* Small additions to the stand-in's test API. */
#include "stub_extra.h"
#include "stub_internal.h"

namespace stub {

size_t ClearActions()
{
    size_t n = W().actions.size();
    W().actions.clear();
    return n;
}

}
