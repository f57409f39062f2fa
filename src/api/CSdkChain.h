// The registry of instances: handles given to the client, mapped onto live
// instances.
#pragma once

#include "api/CTRing.h"

namespace calidra {

class CSdkChain : public CTRing<CSDKDATA> {};

}  // namespace calidra
