#include "UFonemSP.h"

#include <algorithm>
#include <cmath>

#include "EngineHost.h"

namespace kalvor {
namespace {

// Letter case is ignored by folding both names to capitals with one fixed rule: ASCII, then the
// Windows-1254 letters (ç ğ ı ö ş ü and the other Latin ones). The dotted capital I folds to the
// "0" that stands for it in stored names, so a hand-made file that spells it out still matches.
unsigned char FoldChar(unsigned char c) {
  if (c >= 'a' && c <= 'z') return static_cast<unsigned char>(c - 32);
  switch (c) {
    case 0xFD:
      return 'I';  // dotless small i
    case 0xDD:
      return '0';  // dotted capital I
    case 0x9A:
      return 0x8A;  // s with caron
    case 0x9C:
      return 0x8C;  // oe
    case 0xFF:
      return 0x9F;  // y with diaeresis
    default:
      break;
  }
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<unsigned char>(c - 32);
  return c;
}

// Names hold at most 3 bytes, so a folded name and its length fit in one number.
std::uint32_t NameKey(std::string_view name) {
  std::uint32_t key = static_cast<std::uint32_t>(name.size()) << 24;
  for (std::size_t i = 0; i < name.size(); ++i)
    key |= std::uint32_t(FoldChar(static_cast<unsigned char>(name[i]))) << (16 - 8 * i);
  return key;
}

// Where a key's search starts in a table of `slots` (a power of two) slots: the high bits of a
// multiplicative hash, which spread names that differ only in their last letter.
std::size_t SlotOf(std::uint32_t key, std::size_t slots) {
  return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & (slots - 1);
}

bool IsBareName(const std::filesystem::path& p) {
  for (auto c : p.native())
    if (c == '/' || c == '\\' || c == ':') return false;
  return true;
}

// pos taken to the nearest integer, a tie going to the even one. Written out rather than left to
// the floating-point environment, which a host program may have changed.
std::int64_t RoundHalfEven(double pos) {
  double fl = std::floor(pos);
  double frac = pos - fl;
  auto i = static_cast<std::int64_t>(fl);
  if (frac > 0.5) return i + 1;
  if (frac < 0.5) return i;
  return (i % 2 == 0) ? i : i + 1;
}

}  // namespace

TFonemList::TFonemList() = default;

TFonemList::~TFonemList() {
  Clear();
}

void TFonemList::Clear() {
  FList.clear();
  FList.shrink_to_fit();
  FIndex.clear();
  FData.reset();
}

void TFonemList::LoadFromFile(const std::filesystem::path& FileName) {
  std::filesystem::path path = FileName;
  if (!FileName.empty() && IsBareName(FileName)) path = host::ModuleDirectory() / FileName;
  if (path == FFileName && FData) return;

  FFileName = path;
  Clear();
  FData = std::make_unique<SpeechDataFile>(path);
  // The file stays open even when its contents are refused: the same path is then not read again
  // until another file has been loaded.
  SpeechDataTable table = ReadSpeechDataTable(*FData);
  FSampleWidth = table.sampleWidth;

  FList.reserve(table.entries.size());
  std::size_t slots = 16;
  while (slots < table.entries.size() * 2) slots *= 2;
  FIndex.assign(slots, {});
  for (auto& e : table.entries) {
    std::uint32_t key = NameKey(e.name);
    if (key != 0) {  // (an empty name is never looked up)
      for (std::size_t i = SlotOf(key, slots);; i = (i + 1) & (slots - 1)) {
        if (FIndex[i].Key == key) break;  // the first one wins
        if (FIndex[i].Key == 0) {
          FIndex[i] = {key, Entry{e.offset, e.length}};
          break;
        }
      }
    }
    FList.emplace_back(std::move(e.name), Entry{e.offset, e.length});
  }
}

const TFonemList::IndexSlot* TFonemList::Find(std::uint32_t Key) const {
  if (FIndex.empty()) return nullptr;
  const std::size_t slots = FIndex.size();
  for (std::size_t i = SlotOf(Key, slots);; i = (i + 1) & (slots - 1)) {
    if (FIndex[i].Key == Key) return &FIndex[i];
    if (FIndex[i].Key == 0) return nullptr;
  }
}

void TFonemList::AppendUnit(std::string_view Name, TMemoryStream& Dest, std::int32_t Rate) {
  if (Name.empty() || Name.size() > spd::kNameSize || !FData) return;
  const IndexSlot* slot = Find(NameKey(Name));  // the key folds code 221 to "0" as stored
  if (!slot) return;
  const Entry& e = slot->Value;
  if (e.Length == 0) return;
  if (!EntryInFile({{}, e.Offset, e.Length}, FData->Size())) throw Exception(kMsgStreamRead);

  // Only whole samples: an odd last byte of a 16-bit unit would shift every later sample of the
  // output by one byte.
  std::size_t sampleSize = FSampleWidth == 2 ? 2 : 1;
  std::size_t bytes = static_cast<std::size_t>(e.Length) / sampleSize * sampleSize;
  if (bytes == 0) return;
  // Straight from the file's cached blocks: no buffer of its own per unit.
  const std::uint8_t* samples = FData->View(static_cast<std::uint64_t>(e.Offset), bytes);
  if (Rate == 100)
    Dest.Write(samples, bytes);
  else
    ConvertRate(samples, bytes, FSampleWidth, Rate, Dest);
}

void TFonemList::ConvertRate(const std::uint8_t* src, std::size_t bytes, std::uint8_t SampleWidth,
                             std::int32_t Rate, TMemoryStream& Dest) {
  std::size_t sampleSize = SampleWidth == 2 ? 2 : 1;
  std::size_t n = bytes / sampleSize;
  if (n == 0) return;
  const auto last = static_cast<std::int64_t>(n - 1);
  std::vector<std::uint8_t> out;
  auto take = [&](std::int64_t index) {
    const std::uint8_t* s = src + static_cast<std::size_t>(index) * sampleSize;
    out.insert(out.end(), s, s + sampleSize);
  };
  double pos = 0.0;
  if (Rate >= 100) {
    // Faster: every step skips ahead, and the unit ends once the position reaches its last
    // sample, about N x 100 / Rate samples.
    const double step = Rate / 100.0;
    out.reserve(n * sampleSize);
    for (std::size_t i = 0; i < n; ++i) {
      take(RoundHalfEven(pos));
      pos += step;
      if (pos >= static_cast<double>(last)) break;
    }
  } else {
    // Slower: the same nearest-sample rule, run on until the position has passed the last sample,
    // so every sample is played (each about 100 / Rate times) and the unit lasts about
    // N x 100 / Rate samples. Stopping after N samples instead would play only the leading Rate
    // percent of each unit, and at rate 0 nothing but its first sample. Below kLowestRate the
    // voice falls under the pitch a listener hears as speech, so slower rates (0 and negative
    // ones included) speak at kLowestRate.
    const std::int32_t rate = std::max(Rate, kLowestRate);
    const double step = rate / 100.0;
    out.reserve((n * 100 / static_cast<std::size_t>(rate) + 2) * sampleSize);
    for (std::int64_t index = 0; index <= last; index = RoundHalfEven(pos)) {
      take(index);
      pos += step;
    }
  }
  Dest.Write(out.data(), out.size());
}

}  // namespace kalvor
