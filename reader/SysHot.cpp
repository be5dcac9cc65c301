#include "SysHot.h"

namespace lumeko {

namespace {

constexpr std::array<std::uint8_t, kVirtualKeyCount> BuildVirtualKeyTable() {
  std::array<std::uint8_t, kVirtualKeyCount> table{};
  std::size_t i = 1;  // entry 0 stays 0: no key
  for (std::uint8_t vk : {0x03, 0x08, 0x09, 0x0C, 0x0D, 0x13, 0x14, 0x1B})  // cancel .. escape
    table[i++] = vk;
  for (std::uint8_t vk : {0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2B, 0x2C,
                          0x2D, 0x2E, 0x2F})  // space .. help, without 0x2A
    table[i++] = vk;
  for (int vk = 0x30; vk <= 0x39; ++vk) table[i++] = static_cast<std::uint8_t>(vk);  // 0..9
  for (int vk = 0x41; vk <= 0x5A; ++vk) table[i++] = static_cast<std::uint8_t>(vk);  // A..Z
  for (int vk = 0x60; vk <= 0x6F; ++vk) table[i++] = static_cast<std::uint8_t>(vk);  // keypad
  for (int vk = 0x70; vk <= 0x87; ++vk) table[i++] = static_cast<std::uint8_t>(vk);  // F1..F24
  table[i++] = 0x90;                                                                 // num lock
  table[i++] = 0x91;                                                                 // scroll lock
  return table;
}

UINT ModifierFlags(THotKeyModifiers modifiers) {
  UINT flags = 0;
  if (modifiers & hmShift) flags |= MOD_SHIFT;
  if (modifiers & hmCtrl) flags |= MOD_CONTROL;
  if (modifiers & hmAlt) flags |= MOD_ALT;
  if (modifiers & hmWin) flags |= MOD_WIN;
  return flags;
}

}  // namespace

const std::array<std::uint8_t, kVirtualKeyCount> VirtualKeyTable = BuildVirtualKeyTable();

int KeyIndexOf(std::uint16_t virtualKey) {
  for (std::size_t i = 0; i < VirtualKeyTable.size(); ++i)
    if (VirtualKeyTable[i] == virtualKey) return static_cast<int>(i);
  return 0;
}

TSysHotKey::~TSysHotKey() {
  ClearHotKeys();
  // The base destroys the window; its WM_DESTROY then finds nothing left to unregister.
}

void TSysHotKey::AddHotKey(std::uint8_t key, THotKeyModifiers modifiers) {
  FHotKeys.push_back(THotKeyItem{modifiers, key, false});
  if (FActive) RegisterItem(FHotKeys.size() - 1);
}

void TSysHotKey::ClearHotKeys() {
  if (FActive)
    for (std::size_t i = 0; i < FHotKeys.size(); ++i) UnregisterItem(i);
  FHotKeys.clear();
}

void TSysHotKey::SetActive(bool value) {
  if (value == FActive) return;
  FActive = value;
  for (std::size_t i = 0; i < FHotKeys.size(); ++i) {
    if (value)
      RegisterItem(i);
    else
      UnregisterItem(i);
  }
}

void TSysHotKey::RegisterItem(std::size_t index) {
  THotKeyItem& item = FHotKeys[index];
  // Indexes come from KeyIndexOf; one from elsewhere that lies beyond the table means no key.
  UINT code = item.Key < VirtualKeyTable.size() ? VirtualKeyTable[item.Key] : 0;
  item.Registered = RegisterHotKey(Handle(), static_cast<int>(index), ModifierFlags(item.Modifiers),
                                   code) != FALSE;
}

void TSysHotKey::UnregisterItem(std::size_t index) {
  THotKeyItem& item = FHotKeys[index];
  if (!item.Registered) return;
  UnregisterHotKey(Handle(), static_cast<int>(index));
  item.Registered = false;
}

void TSysHotKey::Dispatch(TMessage& message) {
  switch (message.Msg) {
    case WM_HOTKEY:
      if (OnHotKey) OnHotKey(*this, LOWORD(message.WParam));
      break;
    case WM_DESTROY:
      SetActive(false);
      break;
    default:
      break;
  }
}

}  // namespace lumeko
