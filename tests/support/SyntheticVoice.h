// Synthetic voices for tests: small speech data files whose samples tell which unit they came
// from, so that the exact output of the engine can be computed. Written with the engine's own
// speech data writer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "UFonemSP_Format.h"

namespace kalvor::test {

// A fresh directory under the system's temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// Samples of the unit numbered unitNumber (1, 2, ...): sample k holds unitNumber * 16 + k % 16
// (16-bit, little-endian; low byte only for 8-bit), so the unit and the index of every sample
// within its first 16 can be read back from the output.
std::vector<std::uint8_t> IdentifyingSamples(std::uint8_t sampleWidth, std::uint32_t unitNumber,
                                             std::size_t sampleCount);

class SyntheticVoice {
 public:
  explicit SyntheticVoice(std::uint8_t sampleWidth = 2) : width_(sampleWidth) {}

  // A unit with exactly these bytes (any count, to test odd lengths too). Names are
  // Windows-1254; a dotted capital I may be given as code 221 or as "0".
  SyntheticVoice& Add(std::string name, std::vector<std::uint8_t> bytes);
  // A unit with sampleCount identifying samples; its number is its position in the voice, from 1.
  SyntheticVoice& Add(std::string name, std::size_t sampleCount);

  // A voice with one identifying unit per name, in the order given; unit i (from 1) has
  // minSamples + i % 4 samples so that neighbouring units differ in length.
  static SyntheticVoice Covering(const std::vector<std::string>& names,
                                 std::uint8_t sampleWidth = 2, std::size_t minSamples = 3);

  std::uint8_t SampleWidth() const { return width_; }
  const std::vector<SpeechUnit>& Units() const { return units_; }

  // The file's bytes, and the file written as dir/fileName.
  std::vector<std::uint8_t> Bytes() const;
  std::filesystem::path WriteTo(const std::filesystem::path& dir,
                                const std::string& fileName = "VOICE.SPD") const;

  // The bytes of the first unit that the engine finds for name (code 221 as "0", letter case
  // ignored for ASCII), or nullptr.
  const std::vector<std::uint8_t>* Find(std::string_view name) const;
  // What the engine appends for name at rate 100: the unit's whole samples, or nothing.
  std::vector<std::uint8_t> At100(std::string_view name) const;
  // The unit's samples with the given indices, in order (expected outputs of a rate conversion).
  std::vector<std::uint8_t> Pick(std::string_view name,
                                 const std::vector<std::size_t>& indices) const;

 private:
  std::uint8_t width_;
  std::vector<SpeechUnit> units_;
};

// Every unit name that the front end can form from the Turkish alphabet (the vowels A E I İ O Ö U
// Ü, the consonants B C Ç D F G Ğ H J K L M N P R S Ş T V Y Z and X), in all forms: CV, VCV, _VC,
// VV, V1, C1, X2, _CV, V3. Windows-1254, the dotted capital I as code 221.
std::vector<std::string> AllTurkishUnitNames();

// A speech data file built byte by byte, for files the writer refuses to make: odd names, offsets
// and lengths outside the file, counts that do not match, short headers.
struct RawEntry {
  std::string name;  // up to 3 bytes, stored as given (padding: zero bytes)
  std::int32_t offset;
  std::int32_t length;
};
std::vector<std::uint8_t> RawSpeechData(std::uint8_t sampleWidth, std::int32_t count,
                                        const std::vector<RawEntry>& entries,
                                        const std::vector<std::uint8_t>& tail = {});

// Writes bytes to a file.
void WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

}  // namespace kalvor::test
