// WAV files of the command line: mono PCM, 8-bit unsigned or 16-bit signed little-endian. The one
// reader and writer of the project.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace kalvor::cli {

struct WavFormat {
  std::uint32_t sampleRate = 16000;
  std::uint16_t bitsPerSample = 16;  // 8 or 16; always one channel
};

struct Wav {
  WavFormat format;
  std::vector<std::uint8_t> samples;  // the data chunk's bytes
};

// The largest data chunk a WAV file can describe (its sizes are 32-bit, counted from byte 8).
inline constexpr std::uint64_t kMaxWavDataBytes = 0xFFFFFFFFull - 36 - 1;

// The size a stream's header gives when it is not known: "until the end of the stream".
inline constexpr std::uint32_t kWavUnknownSize = 0xFFFFFFFFu;

// The 44-byte header of a mono PCM WAV file with dataBytes bytes of samples (a pad byte follows
// odd data; the RIFF size counts it). With kWavUnknownSize both sizes say "unknown".
std::array<std::uint8_t, 44> WavHeader(const WavFormat& format, std::uint32_t dataBytes);

// Reads a mono PCM WAV file of 8 or 16 bits per sample. Throws CliError naming the file and what is
// wrong: not a RIFF/WAVE file, no fmt or data chunk, a format other than PCM, several channels,
// another sample size, a file that ends early.
Wav ReadWav(const std::filesystem::path& path);
// The same on bytes in memory; name is used in messages.
Wav ParseWav(std::span<const std::uint8_t> bytes, const std::string& name);

// Writes a whole WAV file: an existing file is only replaced by a complete one, a device or a
// FIFO is written directly (see OutputFile). Throws an error naming the file.
void WriteWav(const std::filesystem::path& path, const Wav& wav);

// Streams samples into an open file as they come. Memory use does not grow with the length of
// the audio. An output that can seek back (a file) gets the exact sizes at Finish; any other (a
// pipe) gets them as "unknown" and the samples as they are made, as every streaming WAV writer
// does, so that a player can start at once. raw: the samples alone, no header.
class WavStreamWriter {
 public:
  // name is used in messages ("standard output" or the file's path).
  WavStreamWriter(std::FILE* out, std::string name, WavFormat format, bool raw = false);
  WavStreamWriter(const WavStreamWriter&) = delete;
  WavStreamWriter& operator=(const WavStreamWriter&) = delete;

  // Throws CliError on a write error or when the audio outgrows the WAV file's sizes.
  void Write(const void* data, std::size_t n);
  std::uint64_t DataBytes() const { return bytes_; }
  // Completes the file (sizes, pad byte) and flushes it. Throws CliError on a write error.
  void Finish();

 private:
  [[noreturn]] void Fail() const;

  std::FILE* out_;
  std::string name_;
  WavFormat format_;
  bool raw_ = false;
  bool patch_ = false;      // sizes written at Finish
  std::int64_t start_ = 0;  // where the header begins in out_
  std::uint64_t bytes_ = 0;
  bool finished_ = false;
};

}  // namespace kalvor::cli
