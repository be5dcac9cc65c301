// State of the engine module shared by all its COM objects: the module's own instance handle, the
// count of live objects that DllCanUnloadNow reports, and the key counter for registered
// notification sinks.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace kalvor {

// The module whose code this is: the engine DLL, or the test program that links the mode library
// directly. Window classes are registered with it. DllMain may set it; until then it is looked up
// from the address of this code.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

// Engine and mode objects handed out and not yet released.
LONG ObjectCount();
void ObjectCreated();
// The release notification: an engine or mode object calls it when its count falls to zero.
void ObjectReleased();

// The next key for ITTSCentral::Register. The counter starts at 1 and is incremented before each
// use, so the first registration of the process gets 2; keys are unique across all modes.
DWORD NextSinkKey();

}  // namespace kalvor
