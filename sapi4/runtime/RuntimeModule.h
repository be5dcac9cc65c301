// Module-wide state of the stand-in SAPI 4 run time: the count of live objects and server locks
// that DllCanUnloadNow reports.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

#include "ComSupport.h"

namespace sapi4rt {

void ObjectCreated();
void ObjectDestroyed();
LONG LiveObjects();

// Every COM method runs its body through ComEntry; every object counts its references with
// TComObject and goes to its creator through HandOut.
using sapi4::ComEntry;
using sapi4::HandOut;
using sapi4::TComObject;

// Reads an environment variable of the process as it is now (the C runtime's getenv keeps a copy
// taken at start-up, which misses what a client sets before creating our objects).
bool EnvironmentValue(const wchar_t* name, std::wstring& value);

}  // namespace sapi4rt
