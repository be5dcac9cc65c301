// The engine module's state, shared by all its COM objects: the module's instance handle, the
// count of live objects and of class factories, the class factory's lock count, the key counter for
// registered notification sinks, the modes that Select created and which of them is the current
// one, and the start-up of the portable core's host settings (module directory, number separators).
//
// Lifetime of a mode: a mode is destroyed at its last Release, unless one of its own TextData calls
// is still on the stack (a client may let go of a mode from a message handler that the mode's wait
// for room dispatches); such a mode goes as soon as that call has returned, at the next call into
// the module or the next timer message of the thread. CurrentMode is the mode of the most recent
// Select while it lives, and DllCanUnloadNow says S_FALSE while any mode lives.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>

// The engine identifier (the module's COM class) and the two voice modes.
#include "KalvorIds.h"

namespace kalvor {

class TSpcMode;

// Called once when the module is loaded (DllMain): the directory of the module file for the voice
// files, and the thousands and decimal separators of the loading thread's regional settings
// (a comma and a full stop when the locale gives none that Windows-1254 can hold). Uses kernel32
// only, as the loader lock allows.
void InitEngineHost(HINSTANCE instance);

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

// The separators a locale's two strings give, with the fallback for each.
void SeparatorsFromLocale(const wchar_t* thousands, const wchar_t* decimal, char& thousandsOut,
                          char& decimalOut);

// LockServer's count. Unlocking at zero changes nothing and returns E_FAIL.
LONG LockCount();
HRESULT LockServer(BOOL fLock);

// Class factories handed out and not yet released: a client that holds one keeps the module.
void FactoryCreated();
void FactoryReleased();

// Takes over a mode that Select initialised, as the current mode.
void AdoptMode(std::unique_ptr<TSpcMode> mode);
TSpcMode* CurrentMode();
// Modes alive, the current one included.
std::size_t LiveModes();

// The release notification of every mode: ObjectReleased, then the destruction of every mode that
// no client holds and that is not speaking.
void ModeReleased();
// Destroys the modes that no client holds any more and that are not speaking.
void CollectModes();

// DllCanUnloadNow's answer, after collecting the modes it may destroy.
HRESULT CanUnloadNow();

}  // namespace kalvor
