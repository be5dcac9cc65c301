#include "Wav.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "Cli.h"
#include "Framework.h"
#include "OutputFile.h"
#include "UFonemSP_Format.h"

#include <sys/stat.h>
#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>
#endif

namespace kalvor::cli {
namespace {

void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = std::uint8_t(v);
  p[1] = std::uint8_t(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(v >> (8 * i));
}
std::uint16_t Get16(const std::uint8_t* p) {
  return std::uint16_t(p[0] | p[1] << 8);
}
std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
         std::uint32_t(p[3]) << 24;
}

std::string Reason(int err) {
  return std::generic_category().message(err ? err : EIO);
}

bool SeekTo(std::FILE* f, std::int64_t pos) {
#ifdef _WIN32
  return _fseeki64(f, pos, SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0;
#endif
}

std::int64_t Tell(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return static_cast<std::int64_t>(ftello(f));
#endif
}

// Whether the header can be patched in place after the samples: a file we can seek in and whose
// writes land where we put them (not opened for appending), or a device such as /dev/null.
bool CanPatch(std::FILE* f) {
#ifdef _WIN32
  struct _stat64 st;
  if (_fstat64(_fileno(f), &st) != 0) return false;
  return (st.st_mode & _S_IFREG) != 0 && Tell(f) >= 0;
#else
  struct stat st;
  if (fstat(fileno(f), &st) != 0) return false;
  int flags = fcntl(fileno(f), F_GETFL);
  if (flags < 0 || (flags & O_APPEND)) return false;
  if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode)) return false;
  return Tell(f) >= 0;
#endif
}

}  // namespace

std::array<std::uint8_t, 44> WavHeader(const WavFormat& format, std::uint32_t dataBytes) {
  std::array<std::uint8_t, 44> h{};
  std::uint16_t blockAlign = static_cast<std::uint16_t>(format.bitsPerSample / 8);
  std::uint32_t padded = dataBytes + (dataBytes & 1);
  std::memcpy(h.data(), "RIFF", 4);
  Put32(h.data() + 4, dataBytes == kWavUnknownSize ? kWavUnknownSize : 36 + padded);
  std::memcpy(h.data() + 8, "WAVEfmt ", 8);
  Put32(h.data() + 16, 16);
  Put16(h.data() + 20, 1);  // PCM
  Put16(h.data() + 22, 1);  // mono
  Put32(h.data() + 24, format.sampleRate);
  Put32(h.data() + 28, format.sampleRate * blockAlign);
  Put16(h.data() + 32, blockAlign);
  Put16(h.data() + 34, format.bitsPerSample);
  std::memcpy(h.data() + 36, "data", 4);
  Put32(h.data() + 40, dataBytes);
  return h;
}

Wav ParseWav(std::span<const std::uint8_t> b, const std::string& name) {
  auto fail = [&](const std::string& what) -> void { throw CliError(name + ": " + what); };
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 ||
      std::memcmp(b.data() + 8, "WAVE", 4) != 0)
    fail("not a WAV file (no RIFF/WAVE header)");
  Wav wav;
  bool haveFmt = false, haveData = false;
  std::size_t pos = 12;
  while (pos + 8 <= b.size() && !haveData) {
    const std::uint8_t* c = b.data() + pos;
    std::uint32_t size = Get32(c + 4);
    std::size_t body = pos + 8;
    std::size_t avail = b.size() - body;
    if (std::memcmp(c, "fmt ", 4) == 0) {
      if (size < 16 || size > avail) fail("broken fmt chunk");
      std::uint16_t tag = Get16(c + 8);
      std::uint16_t channels = Get16(c + 10);
      wav.format.sampleRate = Get32(c + 12);
      wav.format.bitsPerSample = Get16(c + 22);
      // WAVE_FORMAT_EXTENSIBLE carries the real format as the first two bytes of its sub-format.
      if (tag == 0xFFFE && size >= 40) tag = Get16(c + 32);
      if (tag != 1)
        fail("not PCM audio (format tag " + std::to_string(tag) + "); convert it first");
      if (channels != 1)
        fail(std::to_string(channels) + " channels; only mono is supported (e.g. sox IN -c 1 OUT)");
      if (wav.format.bitsPerSample != 8 && wav.format.bitsPerSample != 16)
        fail(std::to_string(wav.format.bitsPerSample) + "-bit samples; only 8 or 16 bits");
      if (wav.format.sampleRate == 0) fail("sample rate 0");
      haveFmt = true;
    } else if (std::memcmp(c, "data", 4) == 0) {
      if (!haveFmt) fail("data chunk before the fmt chunk");
      std::size_t n = size;
      // Streamed files may leave the size open (0 or all ones): take what is there.
      if (size == 0xFFFFFFFFu || (size == 0 && avail > 0)) n = avail;
      if (n > avail) fail("the file ends inside its data chunk (truncated)");
      if (wav.format.bitsPerSample == 16) n &= ~std::size_t(1);
      wav.samples.assign(b.begin() + static_cast<std::ptrdiff_t>(body),
                         b.begin() + static_cast<std::ptrdiff_t>(body + n));
      haveData = true;
    }
    pos = body + size + (size & 1);
    if (pos < body) break;  // size wrapped around
  }
  if (!haveFmt) fail("no fmt chunk");
  if (!haveData) fail("no data chunk");
  return wav;
}

Wav ReadWav(const std::filesystem::path& path) {
  std::string name = PathText(path);
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw CliError("cannot open " + name + ": " + Reason(errno));
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  if (in.bad()) throw CliError("cannot read " + name + ": " + Reason(errno));
  return ParseWav(bytes, name);
}

void WriteWav(const std::filesystem::path& path, const Wav& wav) {
  std::string name = PathText(path);
  if (wav.samples.size() > kMaxWavDataBytes)
    throw CliError(name + ": too much audio for a WAV file");
  // The file's own errors as the command line's, naming it.
  std::optional<OutputFile> out;
  try {
    out.emplace(path);
  } catch (const Exception& e) {
    throw CliError(e.what());
  }
  auto h = WavHeader(wav.format, static_cast<std::uint32_t>(wav.samples.size()));
  errno = 0;
  std::FILE* f = out->Stream();
  bool ok = std::fwrite(h.data(), 1, h.size(), f) == h.size();
  // (An empty unit has no samples to write, and no buffer to write them from.)
  if (ok && !wav.samples.empty())
    ok = std::fwrite(wav.samples.data(), 1, wav.samples.size(), f) == wav.samples.size();
  if (ok && (wav.samples.size() & 1)) ok = std::fputc(0, f) != EOF;
  if (!ok) {
    int err = errno;
    out->Abandon();
    throw CliError("cannot write " + name + ": " + Reason(err));
  }
  try {
    out->Commit();
  } catch (const Exception& e) {
    throw CliError(e.what());
  }
}

// --- streaming -------------------------------------------------------------------------------

WavStreamWriter::WavStreamWriter(std::FILE* out, std::string name, WavFormat format, bool raw)
    : out_(out), name_(std::move(name)), format_(format), raw_(raw) {
  if (raw_) return;
  patch_ = CanPatch(out_);
  if (patch_) start_ = Tell(out_);
  // Sizes patched by Finish, or unknown for good.
  auto h = WavHeader(format_, patch_ ? 0 : kWavUnknownSize);
  errno = 0;
  if (std::fwrite(h.data(), 1, h.size(), out_) != h.size()) Fail();
}

void WavStreamWriter::Fail() const {
  throw CliError("cannot write " + name_ + ": " + Reason(errno));
}

void WavStreamWriter::Write(const void* data, std::size_t n) {
  if (n == 0) return;
  if (patch_ && bytes_ + n > kMaxWavDataBytes)
    throw CliError(name_ + ": the speech is too long for one WAV file (4 GiB); split the text");
  errno = 0;
  if (std::fwrite(data, 1, n, out_) != n) Fail();
  bytes_ += n;
}

void WavStreamWriter::Finish() {
  if (finished_) return;
  finished_ = true;
  errno = 0;
  if (patch_) {
    if ((bytes_ & 1) && std::fputc(0, out_) == EOF) Fail();
    auto h = WavHeader(format_, static_cast<std::uint32_t>(bytes_));
    std::int64_t end = Tell(out_);
    if (!SeekTo(out_, start_) || std::fwrite(h.data(), 1, h.size(), out_) != h.size()) Fail();
    if (end >= 0 && !SeekTo(out_, end)) Fail();
  }
  if (std::fflush(out_) != 0 || std::ferror(out_)) Fail();
}

}  // namespace kalvor::cli
