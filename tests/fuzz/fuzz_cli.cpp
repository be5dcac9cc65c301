// libFuzzer target for the command line's own readers and writers: arbitrary bytes as UTF-8 text
// (the text input) and as Windows-1254 text (the text output), and as WAV files and samples (the
// WAV reader, the streaming writer in each of its forms, and the whole-file writer). Nothing may
// crash or read outside a buffer; the only error allowed is the reader's own refusal, and what is
// written must read back as it was.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "Cli.h"
#include "Cp1254.h"
#include "Wav.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace kalvor::cli;
using kalvor::Cp1254ToUtf8;
using kalvor::Utf8ToCp1254;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_cli: %s\n", what);
    std::abort();
  }
}

void Text(const std::string& in) {
  try {
    std::string cp = Utf8ToCp1254(in);
    Check(cp.size() <= in.size(), "more characters than bytes");
    // (A zero byte goes out as U+FFFD, as the five unassigned codes do, and comes back a space.)
    if (cp.find('\0') == std::string::npos)
      Check(Utf8ToCp1254(Cp1254ToUtf8(cp)) == cp, "Windows-1254 text does not survive UTF-8");
  } catch (const CliError&) {
    // not UTF-8: refused, as it must be
  }
  std::string utf8 = Cp1254ToUtf8(in);
  std::string back;
  try {
    back = Utf8ToCp1254(utf8);
  } catch (const CliError&) {
    Check(false, "Cp1254ToUtf8 made text that is not UTF-8");
  }
  Check(back.size() == in.size(), "one character did not stay one");
  if (utf8.find("\xEF\xBF\xBD") == std::string::npos && in.find('\0') == std::string::npos)
    Check(back == in, "a Windows-1254 character changed on the way through UTF-8");
}

Bytes ReadAll(std::FILE* f) {
  Bytes out;
  std::rewind(f);
  std::uint8_t buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  return out;
}

void Audio(const std::uint8_t* data, std::size_t size) {
  // The reader on the bytes as they are.
  try {
    ParseWav({data, size}, "input");
  } catch (const CliError&) {
  }
  if (size < 1) return;
  WavFormat format;
  format.bitsPerSample = data[0] & 1 ? 8 : 16;
  format.sampleRate = 8000 + (data[0] >> 1) * 100;
  Bytes samples(data + 1, data + size);
  if (format.bitsPerSample == 16) samples.resize(samples.size() & ~std::size_t(1));

  // The streaming writer: a file gets exact sizes, raw gets the samples alone, a stream's
  // "unknown" sizes read back as everything that follows.
  for (bool raw : {false, true}) {
    std::FILE* f = std::tmpfile();
    Check(f != nullptr, "no temporary file");
    {
      WavStreamWriter w(f, "tmp", format, raw);
      // In two pieces, as units come.
      std::size_t half = samples.size() / 2 & ~std::size_t(1);
      w.Write(samples.data(), half);
      w.Write(samples.data() + half, samples.size() - half);
      w.Finish();
      Check(w.DataBytes() == samples.size(), "DataBytes");
    }
    Bytes got = ReadAll(f);
    std::fclose(f);
    if (raw) {
      Check(got == samples, "raw samples changed");
    } else {
      Wav wav = ParseWav(got, "tmp");
      Check(wav.samples == samples, "WAV samples changed");
      Check(wav.format.sampleRate == format.sampleRate, "rate changed");
    }
  }
  auto h = WavHeader(format, kWavUnknownSize);
  Bytes stream(h.begin(), h.end());
  stream.insert(stream.end(), samples.begin(), samples.end());
  Check(ParseWav(stream, "stream").samples == samples, "a stream's samples changed");

  // The whole-file writer and reader.
  static const std::filesystem::path p =
      std::filesystem::temp_directory_path() / ("fuzz_cli_" + std::to_string(getpid()) + ".wav");
  Wav wav;
  wav.format = format;
  wav.samples = samples;
  WriteWav(p, wav);
  Check(ReadWav(p).samples == samples, "a written WAV file reads back otherwise");
  std::error_code ec;
  std::filesystem::remove(p, ec);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Text(std::string(reinterpret_cast<const char*>(data), size));
  Audio(data, size);
  return 0;
}
