// The engine's COM objects use the shared COM plumbing under the engine's own namespace.
#pragma once

#include "ComSupport.h"

namespace kalvor {

using sapi4::ComEntry;
using sapi4::TComRef;
using sapi4::TFacet;

}  // namespace kalvor
