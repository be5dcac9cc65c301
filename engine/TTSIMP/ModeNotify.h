// TModeNotify: the mode's IAudioDestNotifySink. The audio destination calls it from a thread of
// its own; it turns every event into a message posted to the mode's window, so that the mode itself
// is only ever touched on its own thread. It is reference counted on its own (the mode holds one
// reference) and is detached from the mode before the mode goes, so a destination that calls or
// releases it late reaches a harmless object, not a destroyed mode.
#pragma once

#include "Speech.h"

namespace kalvor {

class TModeNotify final : public IAudioDestNotifySink {
 public:
  TModeNotify(HWND window, IAudio* audio);
  TModeNotify(const TModeNotify&) = delete;
  TModeNotify& operator=(const TModeNotify&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE AudioStop(WORD wReason) override;
  HRESULT STDMETHODCALLTYPE AudioStart() override;
  HRESULT STDMETHODCALLTYPE FreeSpace(DWORD dwBytes, BOOL fEOF) override;
  HRESULT STDMETHODCALLTYPE BookMark(DWORD dwMarkID, BOOL fFlushed) override;

  // From the mode's thread, before the window and the audio object go away.
  void Detach();

 private:
  ~TModeNotify();
  void PostTimeStamp(UINT msg);

  LONG FRefCount = 1;
  CRITICAL_SECTION FLock;
  HWND FWindow;
  IAudio* FAudio;  // counted while attached
};

}  // namespace kalvor
