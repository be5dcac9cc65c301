// TSysHotKey: system-wide hot keys that raise OnHotKey with the hot key's index when pressed in any
// program. A hot key's index is its position in the component's list, and also its identifier with
// the system, so identifiers start at 0 again after every ClearHotKeys.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "WComp.h"

namespace lumeko {

// Modifier keys of a hot key, a set of bits.
using THotKeyModifiers = std::uint8_t;
inline constexpr THotKeyModifiers hmShift = 1 << 0;
inline constexpr THotKeyModifiers hmCtrl = 1 << 1;
inline constexpr THotKeyModifiers hmAlt = 1 << 2;
inline constexpr THotKeyModifiers hmWin = 1 << 3;

// The keys a hot key can use: index to Windows virtual-key code. Entry 0 is "no key"; the
// punctuation keys, VK 0x2A and the Windows and application keys are deliberately absent.
inline constexpr std::size_t kVirtualKeyCount = 102;
extern const std::array<std::uint8_t, kVirtualKeyCount> VirtualKeyTable;

// The first index of VirtualKeyTable holding the code, or 0 when the key is not in the table.
int KeyIndexOf(std::uint16_t virtualKey);

struct THotKeyItem {
  THotKeyModifiers Modifiers = 0;
  std::uint8_t Key = 0;     // index into VirtualKeyTable
  bool Registered = false;  // the last registration with the system succeeded
};

class TSysHotKey : public TWindowedComponent {
 public:
  using THotKeyEvent = std::function<void(TSysHotKey& sender, int index)>;

  TSysHotKey() = default;
  ~TSysHotKey() override;

  // Appends a hot key (key: an index from KeyIndexOf); registers it at once when active.
  void AddHotKey(std::uint8_t key, THotKeyModifiers modifiers);
  // Unregisters every hot key when active, then empties the list; Active keeps its value.
  void ClearHotKeys();
  const std::vector<THotKeyItem>& HotKeys() const { return FHotKeys; }

  // While true, every hot key of the list is registered with the system. A key combination that
  // another program holds fails quietly: its item stays unregistered and the key does nothing.
  bool Active() const { return FActive; }
  void SetActive(bool value);

  THotKeyEvent OnHotKey;

 protected:
  void Dispatch(TMessage& message) override;

 private:
  void RegisterItem(std::size_t index);
  void UnregisterItem(std::size_t index);

  bool FActive = false;
  std::vector<THotKeyItem> FHotKeys;
};

}  // namespace lumeko
