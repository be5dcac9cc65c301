#include "UFonemSP_Format.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <limits>
#include <map>
#include <system_error>

#include "Framework.h"
#include "OutputFile.h"

#ifdef _WIN32
#include <share.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kalvor {
namespace {

std::int32_t GetInt32LE(const std::uint8_t* p) {
  std::uint32_t v = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                    std::uint32_t(p[3]) << 24;
  return static_cast<std::int32_t>(v);
}

void PutInt32LE(std::uint8_t* p, std::int32_t value) {
  auto v = static_cast<std::uint32_t>(value);
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
  p[2] = std::uint8_t(v >> 16);
  p[3] = std::uint8_t(v >> 24);
}

bool IsBlank(unsigned char c) {
  return c <= 32;
}

std::string TrimName(const std::uint8_t* p) {
  std::size_t b = 0, e = spd::kNameSize;
  while (b < e && IsBlank(p[b])) ++b;
  while (e > b && IsBlank(p[e - 1])) --e;
  return std::string(reinterpret_cast<const char*>(p) + b, e - b);
}

// A name for a message: printable ASCII as is, anything else as \xNN.
std::string ShowName(std::string_view name) {
  std::string out;
  for (char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c > 32 && c < 127) {
      out += char(c);
    } else {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    }
  }
  return out;
}

std::string Reason(int err) {
  return std::generic_category().message(err);
}

#ifdef _WIN32
bool SeekTo(std::FILE* f, std::uint64_t offset) {
  return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
}
#endif

}  // namespace

std::string PathText(const std::filesystem::path& p) {
  std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}

std::string StoredUnitName(std::string_view name) {
  std::string s(name);
  for (char& c : s)
    if (c == spd::kDottedCapitalI) c = '0';
  return s;
}

// --- reading ---------------------------------------------------------------------------------

SpeechDataFile::SpeechDataFile(const std::filesystem::path& path) : path_(path) {
  auto fail = [&](int err) {
    throw Exception("Cannot open file \"" + PathText(path_) + "\". " + Reason(err));
  };
  std::error_code ec;
  // A directory opens for reading on some systems and only fails at the first read.
  if (std::filesystem::is_directory(path_, ec)) fail(EISDIR);
  errno = 0;
#ifdef _WIN32
  f_ = _wfsopen(path_.c_str(), L"rb", _SH_DENYWR);
  if (!f_) fail(errno ? errno : ENOENT);
  long long end = _fseeki64(f_, 0, SEEK_END) == 0 ? _ftelli64(f_) : -1;
  if (end < 0) {
    int err = errno ? errno : EIO;
    std::fclose(f_);
    f_ = nullptr;
    fail(err);
  }
#else
  fd_ = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) fail(errno ? errno : ENOENT);
  struct stat st;
  long long end = ::fstat(fd_, &st) == 0 ? static_cast<long long>(st.st_size) : -1;
  if (end < 0) {
    int err = errno ? errno : EIO;
    ::close(fd_);
    fd_ = -1;
    fail(err);
  }
#endif
  size_ = static_cast<std::uint64_t>(end);
}

SpeechDataFile::~SpeechDataFile() {
#ifdef _WIN32
  if (f_) std::fclose(f_);
#else
  if (fd_ >= 0) ::close(fd_);
#endif
}

std::size_t SpeechDataFile::ReadSome(std::uint64_t offset, void* dst, std::size_t n) {
  if (n == 0 || offset >= size_) return 0;
#ifdef _WIN32
  if (!SeekTo(f_, offset)) return 0;
  return std::fread(dst, 1, n, f_);
#else
  std::size_t done = 0;
  while (done < n) {
    ssize_t got =
        ::pread(fd_, static_cast<char*>(dst) + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
#endif
}

void SpeechDataFile::ReadAt(std::uint64_t offset, void* dst, std::size_t n) {
  if (n == 0) return;
  std::memcpy(dst, View(offset, n), n);
}

// Why a cache of blocks read with pread and not a mapping of the file: a mapped file that another
// program cuts short kills the reader with SIGBUS at the first touch of a page past the new end,
// and no error can be returned from there; a read simply comes back short, which is reported as
// the stream's read error. The cache makes those reads rare.
const std::uint8_t* SpeechDataFile::CachedBlock(std::uint64_t index) {
  std::int32_t& slot = slotOf_[static_cast<std::size_t>(index)];
  if (slot < 0) {
    if (blocks_.size() < kCacheBlocks) {
      blocks_.emplace_back();
      slot = static_cast<std::int32_t>(blocks_.size() - 1);
    } else {
      std::size_t oldest = 0;
      for (std::size_t i = 1; i < blocks_.size(); ++i)
        if (blocks_[i].lastUse < blocks_[oldest].lastUse) oldest = i;
      slotOf_[static_cast<std::size_t>(blocks_[oldest].index)] = -1;
      slot = static_cast<std::int32_t>(oldest);
    }
    Block& b = blocks_[static_cast<std::size_t>(slot)];
    std::uint64_t start = index * kBlockSize;
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kBlockSize, size_ - start));
    b.index = index;
    b.data.resize(want);
    if (ReadSome(start, b.data.data(), want) != want) {
      slot = -1;
      b.lastUse = 0;
      b.data.clear();
      throw Exception(kMsgStreamRead);  // the file shrank since it was opened
    }
  }
  Block& b = blocks_[static_cast<std::size_t>(slot)];
  b.lastUse = ++uses_;
  return b.data.data();
}

const std::uint8_t* SpeechDataFile::View(std::uint64_t offset, std::size_t n) {
  if (offset > size_ || n > size_ - offset) throw Exception(kMsgStreamRead);
  if (n == 0) return joined_.data();
  if (slotOf_.empty())
    slotOf_.assign(static_cast<std::size_t>((size_ + kBlockSize - 1) / kBlockSize), -1);
  std::uint64_t first = offset / kBlockSize, last = (offset + n - 1) / kBlockSize;
  std::size_t within = static_cast<std::size_t>(offset % kBlockSize);
  if (first == last) return CachedBlock(first) + within;
  joined_.resize(n);
  std::size_t done = 0;
  for (std::uint64_t i = first; i <= last; ++i) {
    std::size_t from = i == first ? within : 0;
    std::size_t take = std::min(kBlockSize - from, n - done);
    std::memcpy(joined_.data() + done, CachedBlock(i) + from, take);
    done += take;
  }
  return joined_.data();
}

SpeechDataTable ReadSpeechDataTable(SpeechDataFile& file) {
  SpeechDataTable t;
  std::uint8_t head[spd::kHeaderSize];
  // One read for the whole header; a file that ends inside it is judged field by field, so that a
  // short file with the wrong magic or version still gets the message that names its fault.
  std::size_t got = file.ReadSome(0, head, sizeof head);
  if (got < 6 || std::memcmp(head, spd::kMagic, 6) != 0) throw Exception(kMsgDataCorrupt);
  if (got < 7) throw Exception(kMsgDataCorrupt);
  if (head[6] != spd::kVersionMajor) throw Exception(kMsgVersionMismatch);
  if (got < 8) throw Exception(kMsgDataCorrupt);
  if (head[7] != spd::kVersionMinor) throw Exception(kMsgVersionMismatch);
  if (got < spd::kHeaderSize) throw Exception(kMsgDataCorrupt);
  t.sampleWidth = head[8];
  t.entryCount = GetInt32LE(head + 9);
  if (t.entryCount <= 0) return t;

  // The table must fit in the file before any room is made for it.
  std::uint64_t room = (file.Size() - spd::kHeaderSize) / spd::kEntrySize;
  if (static_cast<std::uint64_t>(t.entryCount) > room) throw Exception(kMsgDataCorrupt);

  t.entries.reserve(static_cast<std::size_t>(t.entryCount));
  constexpr std::size_t kChunk = 4096;  // entries per read
  std::vector<std::uint8_t> buf;
  std::uint64_t pos = spd::kHeaderSize;
  std::size_t left = static_cast<std::size_t>(t.entryCount);
  while (left > 0) {
    std::size_t n = left < kChunk ? left : kChunk;
    buf.resize(n * spd::kEntrySize);
    if (file.ReadSome(pos, buf.data(), buf.size()) != buf.size())
      throw Exception(kMsgDataCorrupt);  // the file shrank under us
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t* e = buf.data() + i * spd::kEntrySize;
      t.entries.push_back({TrimName(e), GetInt32LE(e + 3), GetInt32LE(e + 7)});
    }
    pos += buf.size();
    left -= n;
  }
  return t;
}

bool EntryInFile(const SpeechDataEntry& e, std::uint64_t fileSize) {
  if (e.length == 0) return true;
  if (e.offset < 0 || e.length < 0) return false;
  return static_cast<std::uint64_t>(e.offset) + static_cast<std::uint64_t>(e.length) <= fileSize;
}

std::vector<std::uint8_t> ReadEntrySamples(SpeechDataFile& file, const SpeechDataEntry& e) {
  if (!EntryInFile(e, file.Size())) throw Exception(kMsgStreamRead);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(e.length));
  file.ReadAt(static_cast<std::uint64_t>(e.offset), out.data(), out.size());
  return out;
}

// --- writing ---------------------------------------------------------------------------------

std::vector<std::uint8_t> EncodeSpeechData(std::uint8_t sampleWidth,
                                           const std::vector<SpeechUnit>& units,
                                           const SpeechDataWriteOptions& options) {
  if (sampleWidth != 1 && sampleWidth != 2)
    throw Exception("sample width " + std::to_string(sampleWidth) + " is not 1 or 2");
  constexpr std::uint64_t kLimit = std::numeric_limits<std::int32_t>::max();

  std::vector<std::string> names;
  names.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::string name = StoredUnitName(units[i].name);
    std::string where = "unit " + std::to_string(i + 1) + " \"" + ShowName(units[i].name) + "\"";
    if (name.empty()) throw Exception("unit " + std::to_string(i + 1) + " has no name");
    if (name.size() > spd::kNameSize) throw Exception(where + ": a name has at most 3 characters");
    for (char c : name)
      if (IsBlank(static_cast<unsigned char>(c)))
        throw Exception(where + ": spaces and control characters cannot be stored");
    if (sampleWidth == 2 && units[i].samples.size() % 2 != 0)
      throw Exception(where + ": odd number of bytes for 16-bit samples");
    names.push_back(std::move(name));
  }

  std::uint64_t tableEnd = spd::kHeaderSize + std::uint64_t(spd::kEntrySize) * units.size();
  if (tableEnd > kLimit) throw Exception("too many units for a speech data file");

  // Sample placement: in unit order; with sharing, a repeated sample vector points at its first
  // copy.
  struct Less {
    // By size, then bytes: any strict order serves, and this one avoids a false overread warning
    // of some compilers on vector's own comparison.
    bool operator()(const std::vector<std::uint8_t>* a, const std::vector<std::uint8_t>* b) const {
      if (a->size() != b->size()) return a->size() < b->size();
      return !a->empty() && std::memcmp(a->data(), b->data(), a->size()) < 0;
    }
  };
  std::map<const std::vector<std::uint8_t>*, std::uint64_t, Less> placed;
  std::vector<std::uint64_t> offsets(units.size());
  std::uint64_t end = tableEnd;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto& s = units[i].samples;
    if (options.shareIdenticalSamples) {
      auto it = placed.find(&s);
      if (it != placed.end()) {
        offsets[i] = it->second;
        continue;
      }
      placed.emplace(&s, end);
    }
    offsets[i] = end;
    end += s.size();
    if (end > kLimit) throw Exception("the units do not fit in a speech data file (2 GiB at most)");
  }

  std::vector<std::uint8_t> out(static_cast<std::size_t>(end), 0);
  std::memcpy(out.data(), spd::kMagic, 6);
  out[6] = spd::kVersionMajor;
  out[7] = spd::kVersionMinor;
  out[8] = sampleWidth;
  PutInt32LE(out.data() + 9, static_cast<std::int32_t>(units.size()));
  for (std::size_t i = 0; i < units.size(); ++i) {
    std::uint8_t* e = out.data() + spd::kHeaderSize + i * spd::kEntrySize;
    std::memcpy(e, names[i].data(), names[i].size());  // the rest stays zero
    PutInt32LE(e + 3, static_cast<std::int32_t>(offsets[i]));
    PutInt32LE(e + 7, static_cast<std::int32_t>(units[i].samples.size()));
    if (!units[i].samples.empty())
      std::memcpy(out.data() + offsets[i], units[i].samples.data(), units[i].samples.size());
  }
  return out;
}

void WriteSpeechData(const std::filesystem::path& path, std::uint8_t sampleWidth,
                     const std::vector<SpeechUnit>& units, const SpeechDataWriteOptions& options) {
  std::vector<std::uint8_t> bytes = EncodeSpeechData(sampleWidth, units, options);
  OutputFile out(path);
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), out.Stream()) != bytes.size()) {
    int err = errno ? errno : EIO;
    out.Abandon();
    throw Exception("Cannot write file \"" + PathText(path) + "\". " + Reason(err));
  }
  out.Commit();
}

}  // namespace kalvor
