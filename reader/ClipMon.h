// TClipboardMonitor: tells its owner when the contents of the Windows clipboard change, as a member
// of the clipboard viewer chain with a hidden window of its own.
#pragma once

#include <windows.h>

#include <functional>

#include "WComp.h"

namespace lumeko {

class TClipboardMonitor : private TMessageReceiver {
 public:
  using TNotifyEvent = std::function<void(TClipboardMonitor& sender)>;

  // Makes the hidden window and joins the viewer chain.
  TClipboardMonitor();
  // Forgets OnChange, leaves the chain and destroys the window.
  virtual ~TClipboardMonitor();
  TClipboardMonitor(const TClipboardMonitor&) = delete;
  TClipboardMonitor& operator=(const TClipboardMonitor&) = delete;

  HWND Handle() const { return FHandle; }
  // The window after this one in the viewer chain; 0 out of the chain or at its end.
  HWND NextViewer() const { return FNextViewer; }

  // True while the window is in the viewer chain.
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool value);

  // Raised on every clipboard change, synchronously inside the clipboard notification: a handler
  // that has real work to do should post itself a message and return.
  TNotifyEvent OnChange;

 protected:
  // Raises OnChange; the place where a descendant reacts to a change.
  virtual void Change();

 private:
  void WndProc(TMessage& message) override;
  void RaiseChange() noexcept;

  HWND FHandle = nullptr;
  HWND FNextViewer = nullptr;
  bool FEnabled = false;
};

}  // namespace lumeko
