#include "SyntheticVoice.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace kalvor::test {
namespace {

const std::string kVowels = "AEI\xDDO\xD6U\xDC";
const std::string kConsonants =
    "BC\xC7"
    "DFG\xD0HJKLMNPRS\xDETVYZX";

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c;
}

std::string Key(std::string_view name) {
  std::string k = StoredUnitName(name);
  for (char& c : k) c = AsciiUpper(c);
  return k;
}

void PutLE32(std::vector<std::uint8_t>& out, std::int32_t v) {
  auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(u >> (8 * i)));
}

}  // namespace

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  auto base = std::filesystem::temp_directory_path();
  for (int attempt = 0;; ++attempt) {
    path_ = base / ("kalvor-test-" + std::to_string(stamp) + "-" + std::to_string(++counter));
    if (std::filesystem::create_directory(path_)) break;
    if (attempt > 100) throw std::runtime_error("cannot make a temporary directory");
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> IdentifyingSamples(std::uint8_t sampleWidth, std::uint32_t unitNumber,
                                             std::size_t sampleCount) {
  std::vector<std::uint8_t> out;
  for (std::size_t k = 0; k < sampleCount; ++k) {
    auto v = static_cast<std::uint16_t>(unitNumber * 16 + k % 16);
    out.push_back(static_cast<std::uint8_t>(v));
    if (sampleWidth == 2) out.push_back(static_cast<std::uint8_t>(v >> 8));
  }
  return out;
}

SyntheticVoice& SyntheticVoice::Add(std::string name, std::vector<std::uint8_t> bytes) {
  units_.push_back({std::move(name), std::move(bytes)});
  return *this;
}

SyntheticVoice& SyntheticVoice::Add(std::string name, std::size_t sampleCount) {
  auto number = static_cast<std::uint32_t>(units_.size() + 1);
  return Add(std::move(name), IdentifyingSamples(width_, number, sampleCount));
}

SyntheticVoice SyntheticVoice::Covering(const std::vector<std::string>& names,
                                        std::uint8_t sampleWidth, std::size_t minSamples) {
  SyntheticVoice v(sampleWidth);
  for (const auto& n : names) v.Add(n, minSamples + (v.units_.size() + 1) % 4);
  return v;
}

std::vector<std::uint8_t> SyntheticVoice::Bytes() const {
  // The engine's writer refuses odd 16-bit units; tests need them, so such voices are laid out
  // here with the same table format.
  bool odd = false;
  for (const auto& u : units_) odd = odd || (width_ == 2 && u.samples.size() % 2);
  if (!odd) return EncodeSpeechData(width_, units_);
  std::vector<RawEntry> entries;
  std::vector<std::uint8_t> tail;
  std::int32_t offset =
      static_cast<std::int32_t>(spd::kHeaderSize + spd::kEntrySize * units_.size());
  for (const auto& u : units_) {
    entries.push_back(
        {StoredUnitName(u.name), offset, static_cast<std::int32_t>(u.samples.size())});
    tail.insert(tail.end(), u.samples.begin(), u.samples.end());
    offset += static_cast<std::int32_t>(u.samples.size());
  }
  return RawSpeechData(width_, static_cast<std::int32_t>(units_.size()), entries, tail);
}

std::filesystem::path SyntheticVoice::WriteTo(const std::filesystem::path& dir,
                                              const std::string& fileName) const {
  auto path = dir / fileName;
  WriteFile(path, Bytes());
  return path;
}

const std::vector<std::uint8_t>* SyntheticVoice::Find(std::string_view name) const {
  std::string key = Key(name);
  for (const auto& u : units_)
    if (Key(u.name) == key) return &u.samples;
  return nullptr;
}

std::vector<std::uint8_t> SyntheticVoice::At100(std::string_view name) const {
  const auto* s = Find(name);
  if (!s) return {};
  std::size_t whole = width_ == 2 ? s->size() / 2 * 2 : s->size();
  return std::vector<std::uint8_t>(s->begin(), s->begin() + static_cast<std::ptrdiff_t>(whole));
}

std::vector<std::uint8_t> SyntheticVoice::Pick(std::string_view name,
                                               const std::vector<std::size_t>& indices) const {
  const auto* s = Find(name);
  if (!s) throw std::invalid_argument("no unit " + std::string(name) + " in the synthetic voice");
  std::size_t w = width_ == 2 ? 2 : 1;
  std::vector<std::uint8_t> out;
  for (std::size_t i : indices) {
    if ((i + 1) * w > s->size()) throw std::out_of_range("sample index past the unit");
    out.insert(out.end(), s->begin() + static_cast<std::ptrdiff_t>(i * w),
               s->begin() + static_cast<std::ptrdiff_t>((i + 1) * w));
  }
  return out;
}

std::vector<std::string> AllTurkishUnitNames() {
  std::vector<std::string> names;
  auto add = [&](std::string s) { names.push_back(std::move(s)); };
  for (char v : kVowels) add(std::string{v, '1'});                // V1
  for (char v : kVowels) add(std::string{v, '3'});                // V3
  for (char c : kConsonants) add(std::string{c, '1'});            // C1
  for (char x : kVowels + kConsonants) add(std::string{x, '2'});  // X2
  for (char a : kVowels)
    for (char b : kVowels) add(std::string{a, b});  // VV
  for (char c : kConsonants)
    for (char v : kVowels) {
      add(std::string{c, v});       // CV
      add(std::string{'_', c, v});  // _CV
      add(std::string{'_', v, c});  // _VC
    }
  for (char a : kVowels)
    for (char c : kConsonants)
      for (char b : kVowels) add(std::string{a, c, b});  // VCV
  return names;
}

std::vector<std::uint8_t> RawSpeechData(std::uint8_t sampleWidth, std::int32_t count,
                                        const std::vector<RawEntry>& entries,
                                        const std::vector<std::uint8_t>& tail) {
  std::vector<std::uint8_t> out(spd::kMagic, spd::kMagic + 6);
  out.push_back(spd::kVersionMajor);
  out.push_back(spd::kVersionMinor);
  out.push_back(sampleWidth);
  PutLE32(out, count);
  for (const auto& e : entries) {
    for (std::size_t i = 0; i < spd::kNameSize; ++i)
      out.push_back(i < e.name.size() ? static_cast<std::uint8_t>(e.name[i]) : 0);
    PutLE32(out, e.offset);
    PutLE32(out, e.length);
  }
  out.insert(out.end(), tail.begin(), tail.end());
  return out;
}

void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!f) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace kalvor::test
