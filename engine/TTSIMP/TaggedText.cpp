#include "TaggedText.h"

#include <cstdint>

namespace kalvor {
namespace {

bool SameName(std::wstring_view name, std::wstring_view known) {
  if (name.size() != known.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    wchar_t c = name[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != known[i]) return false;
  }
  return true;
}

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && (s.front() == L' ' || s.front() == L'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == L' ' || s.back() == L'\t')) s.remove_suffix(1);
  return s;
}

// A decimal number, the whole value; false for anything else.
bool ParseNumber(std::wstring_view s, DWORD& value) {
  s = Trim(s);
  if (!s.empty() && s.front() == L'+') s.remove_prefix(1);
  if (s.empty()) return false;
  std::uint64_t v = 0;
  for (wchar_t c : s) {
    if (c < L'0' || c > L'9') return false;
    v = v * 10 + static_cast<std::uint64_t>(c - L'0');
    if (v > 0xFFFFFFFFu) v = 0xFFFFFFFFu + std::uint64_t{1};  // stays above, no overflow
  }
  value = v > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<DWORD>(v);
  return true;
}

}  // namespace

TTaggedText ParseTaggedText(std::wstring_view text) {
  static constexpr struct {
    std::wstring_view Name;
    TTextTag::TKind Kind;
  } kValued[] = {
      {L"mrk", TTextTag::Mark},   {L"pau", TTextTag::Pause}, {L"pit", TTextTag::Pitch},
      {L"vol", TTextTag::Volume}, {L"spd", TTextTag::Speed},
  };
  TTaggedText out;
  out.Plain.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t slash = text.find(L'\\', i);
    if (slash == std::wstring_view::npos) {
      out.Plain.append(text.substr(i));
      break;
    }
    out.Plain.append(text.substr(i, slash - i));
    if (slash + 1 < text.size() && text[slash + 1] == L'\\') {
      out.Plain += L'\\';
      i = slash + 2;
      continue;
    }
    const std::size_t close = text.find(L'\\', slash + 1);
    if (close == std::wstring_view::npos) break;  // an open tag to the end: nothing to speak
    const std::wstring_view body = text.substr(slash + 1, close - slash - 1);
    i = close + 1;
    const std::size_t eq = body.find(L'=');
    const std::wstring_view name = Trim(body.substr(0, eq));
    if (eq == std::wstring_view::npos) {
      if (SameName(name, L"rst")) out.Tags.push_back({TTextTag::Reset, 0, out.Plain.size()});
      continue;
    }
    DWORD value = 0;
    for (const auto& k : kValued)
      if (SameName(name, k.Name) && ParseNumber(body.substr(eq + 1), value)) {
        out.Tags.push_back({k.Kind, value, out.Plain.size()});
        break;
      }
  }
  return out;
}

}  // namespace kalvor
