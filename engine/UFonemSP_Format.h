// The speech data file (.SPD): the one reader and the one writer of the format, shared by the unit
// inventory, the voice tools and the test helpers.
//
// Layout (integers are 32-bit two's complement, little-endian):
//   0   6   "Kalvor"
//   6   1   format version, first byte: 1
//   7   1   format version, second byte: 0
//   8   1   sample width: 1 = 8-bit unsigned PCM, 2 = 16-bit signed PCM little-endian
//   9   4   entry count (0 or negative: no entries)
//   13  11 x count  entries: name[3] (Windows-1254, padded with spaces or zero bytes, "0" for the
//                   dotted capital I), offset (absolute), length (bytes)
//   then the samples, wherever the entries point (entries may overlap or share samples).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace kalvor {

namespace spd {
inline constexpr char kMagic[6] = {'K', 'a', 'l', 'v', 'o', 'r'};
inline constexpr std::uint8_t kVersionMajor = 1;
inline constexpr std::uint8_t kVersionMinor = 0;
inline constexpr std::size_t kHeaderSize = 13;
inline constexpr std::size_t kEntrySize = 11;
inline constexpr std::size_t kNameSize = 3;
// Windows-1254 dotted capital I, which never appears in a stored name: "0" stands in its place.
inline constexpr char kDottedCapitalI = '\xDD';
}  // namespace spd

// The messages of the format, as the engine reports them.
inline constexpr const char* kMsgDataCorrupt = "Data Corrupt!";
inline constexpr const char* kMsgVersionMismatch = "Version mismatch!";
inline constexpr const char* kMsgStreamRead = "Stream read error";

// A path as UTF-8 text, for messages.
std::string PathText(const std::filesystem::path& p);

// A unit name as it is stored and looked up: every dotted capital I (code 221) becomes "0".
std::string StoredUnitName(std::string_view name);

// One entry of the unit table, its name trimmed of codes 0..32 at both ends (as stored, so "0"
// where the front end says İ).
struct SpeechDataEntry {
  std::string name;
  std::int32_t offset = 0;
  std::int32_t length = 0;
};

// Header and unit table of a speech data file.
struct SpeechDataTable {
  std::uint8_t sampleWidth = 0;
  std::int32_t entryCount = 0;  // as stored; negative counts load as an empty table
  std::vector<SpeechDataEntry> entries;
};

// A speech data file open for reading with seek + read, 64-bit positions and, on Windows, wide
// paths; other readers may share it, writers are refused where the system allows it.
class SpeechDataFile {
 public:
  // Throws Exception: Cannot open file "PATH". REASON
  explicit SpeechDataFile(const std::filesystem::path& path);
  ~SpeechDataFile();
  SpeechDataFile(const SpeechDataFile&) = delete;
  SpeechDataFile& operator=(const SpeechDataFile&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::uint64_t Size() const { return size_; }
  // Reads up to n bytes at offset; returns how many were read (fewer only at the end of the file).
  std::size_t ReadSome(std::uint64_t offset, void* dst, std::size_t n);
  // Reads exactly n bytes at offset; throws Exception("Stream read error") when the file holds
  // fewer.
  void ReadAt(std::uint64_t offset, void* dst, std::size_t n);
  // The n bytes at offset, through a bounded cache of the file's blocks: valid until the next
  // call. Throws Exception("Stream read error") when the file holds fewer, also when it was cut
  // short after it was opened.
  const std::uint8_t* View(std::uint64_t offset, std::size_t n);

  // The cache: blocks of kBlockSize bytes, at most kCacheBlocks of them (8 MiB), the least
  // recently used one giving way. Turkish text uses well under half of a default voice's 9 MB,
  // so a book is read from the file in a few hundred reads; blocks are made only when needed.
  static constexpr std::size_t kBlockSize = std::size_t{1} << 14;
  static constexpr std::size_t kCacheBlocks = 512;

 private:
  struct Block {
    std::uint64_t index = 0;
    std::uint64_t lastUse = 0;
    std::vector<std::uint8_t> data;
  };
  const std::uint8_t* CachedBlock(std::uint64_t index);

  std::filesystem::path path_;
  std::vector<Block> blocks_;
  std::vector<std::int32_t> slotOf_;  // block index -> slot in blocks_, or -1
  std::uint64_t uses_ = 0;
  std::vector<std::uint8_t> joined_;  // a range that spans blocks, put together
#ifdef _WIN32
  std::FILE* f_ = nullptr;
#else
  int fd_ = -1;  // read with pread: one system call per unit, no stream buffer to refill
#endif
  std::uint64_t size_ = 0;
};

// Reads and checks the header and the unit table. Throws Exception "Data Corrupt!" (wrong magic, a
// header or table that ends early, an entry count that the file cannot hold: checked before
// anything is allocated for the table) or "Version mismatch!". Entries are not checked against the
// file size here: an entry that points outside the file fails when its samples are read.
SpeechDataTable ReadSpeechDataTable(SpeechDataFile& file);

// Whether an entry's samples lie wholly inside a file of the given size (negative offsets and
// lengths never do, except that an empty entry is always readable: it reads nothing).
bool EntryInFile(const SpeechDataEntry& e, std::uint64_t fileSize);

// The samples of one entry. Throws Exception("Stream read error") when its range is not inside the
// file.
std::vector<std::uint8_t> ReadEntrySamples(SpeechDataFile& file, const SpeechDataEntry& e);

// Writing. Units are written in the order given, the table first, then the samples.
struct SpeechUnit {
  std::string name;  // 1..3 Windows-1254 characters; a dotted capital I is stored as "0"
  std::vector<std::uint8_t> samples;
};

struct SpeechDataWriteOptions {
  // Units with identical samples point at one copy of them.
  bool shareIdenticalSamples = false;
};

// The bytes of a speech data file. Throws Exception on a sample width other than 1 or 2, a name
// that is empty, longer than 3 characters or holds codes 0..32, a 16-bit unit with an odd number of
// bytes, or data beyond the format's 2 GiB reach. Same input, same bytes.
std::vector<std::uint8_t> EncodeSpeechData(std::uint8_t sampleWidth,
                                           const std::vector<SpeechUnit>& units,
                                           const SpeechDataWriteOptions& options = {});

// Writes EncodeSpeechData's bytes to path through a temporary file beside it, so an existing file
// is replaced only by a complete one. Errors name the file and the reason.
void WriteSpeechData(const std::filesystem::path& path, std::uint8_t sampleWidth,
                     const std::vector<SpeechUnit>& units,
                     const SpeechDataWriteOptions& options = {});

}  // namespace kalvor
