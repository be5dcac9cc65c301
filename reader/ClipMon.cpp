#include "ClipMon.h"

#include <exception>

#include "Framework.h"

namespace lumeko {

TClipboardMonitor::TClipboardMonitor() {
  FHandle = AllocateHWnd(*this);
  // Joining the chain makes Windows send WM_DRAWCLIPBOARD at once; OnChange is not set yet, so the
  // clipboard as it stands now is not reported as a change.
  SetEnabled(true);
}

TClipboardMonitor::~TClipboardMonitor() {
  OnChange = nullptr;
  SetEnabled(false);
  DeallocateHWnd(FHandle);
}

void TClipboardMonitor::SetEnabled(bool value) {
  if (value == FEnabled) return;
  if (value) {
    // The window may have been destroyed from outside (and the chain left with it).
    if (FHandle == nullptr) FHandle = AllocateHWnd(*this);
    FNextViewer = SetClipboardViewer(FHandle);
    FEnabled = true;
  } else {
    ChangeClipboardChain(FHandle, FNextViewer);
    FEnabled = false;
    FNextViewer = nullptr;
  }
}

void TClipboardMonitor::Change() {
  if (OnChange) OnChange(*this);
}

void TClipboardMonitor::RaiseChange() noexcept {
  try {
    Change();
  } catch (const std::exception& error) {
    ShowException(error);
  } catch (...) {
    ShowException(kalvor::Exception("Unknown error in the clipboard change handler"));
  }
}

void TClipboardMonitor::WndProc(TMessage& message) {
  message.Result = 0;
  switch (message.Msg) {
    case WM_DESTROY:
      SetEnabled(false);
      break;
    case WM_NCDESTROY:
      FHandle = nullptr;
      break;
    case WM_DESTROYCLIPBOARD:
      RaiseChange();
      break;
    case WM_DRAWCLIPBOARD:
      // The chain protocol: every viewer passes the notice on before doing its own work.
      if (FNextViewer != nullptr)
        SendMessageW(FNextViewer, message.Msg, message.WParam, message.LParam);
      RaiseChange();
      break;
    case WM_CHANGECBCHAIN:
      // WParam leaves the chain and LParam follows it: re-link past it when it is our neighbour,
      // else let the rest of the chain hear of it.
      if (reinterpret_cast<HWND>(message.WParam) == FNextViewer)
        FNextViewer = reinterpret_cast<HWND>(message.LParam);
      else if (FNextViewer != nullptr)
        SendMessageW(FNextViewer, message.Msg, message.WParam, message.LParam);
      break;
    default:
      message.Result = DefWindowProcW(message.Window, message.Msg, message.WParam, message.LParam);
      break;
  }
}

}  // namespace lumeko
