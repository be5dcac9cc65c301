// The command line's WAV reader and writer: headers that other programs accept, files they make
// that we must read or refuse with a message naming the file.
#include "Wav.h"

#include <gtest/gtest.h>

#include <cstring>

#include "Cli.h"
#include "SyntheticVoice.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace kalvor::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t U32(const Bytes& b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

// A WAV file with a fmt chunk of the given fields, other chunks around it, and data.
Bytes MakeWav(std::uint16_t tag, std::uint16_t channels, std::uint16_t bits, Bytes data,
              bool extensible = false, std::uint16_t subTag = 1) {
  Bytes fmt(extensible ? 40 : 16, 0);
  auto put16 = [&](std::size_t at, std::uint16_t v) {
    fmt[at] = std::uint8_t(v);
    fmt[at + 1] = std::uint8_t(v >> 8);
  };
  put16(0, tag);
  put16(2, channels);
  put16(4, 16000 & 0xFFFF);
  put16(14, bits);
  if (extensible) put16(24, subTag);
  Bytes out = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  auto chunk = [&](const char* id, const Bytes& body) {
    out.insert(out.end(), id, id + 4);
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(body.size() >> (8 * i)));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1) out.push_back(0);
  };
  chunk("LIST", {'x', 'y', 'z'});  // odd-sized chunk before fmt: padded
  chunk("fmt ", fmt);
  chunk("data", data);
  return out;
}

TEST(Wav, HeaderDescribesMonoPcmAndCountsThePadByte) {
  auto h = WavHeader({16000, 16}, 10);
  Bytes b(h.begin(), h.end());
  EXPECT_EQ(std::memcmp(b.data(), "RIFF", 4), 0);
  EXPECT_EQ(U32(b, 4), 36u + 10);
  EXPECT_EQ(U32(b, 24), 16000u);
  EXPECT_EQ(U32(b, 28), 32000u);  // bytes per second
  EXPECT_EQ(b[32], 2);            // block align
  EXPECT_EQ(b[34], 16);
  EXPECT_EQ(U32(b, 40), 10u);
  auto odd = WavHeader({8000, 8}, 7);
  EXPECT_EQ(U32(Bytes(odd.begin(), odd.end()), 4), 36u + 8);  // RIFF size includes the pad
  EXPECT_EQ(U32(Bytes(odd.begin(), odd.end()), 40), 7u);
}

TEST(Wav, WrittenFilesReadBack) {
  test::TempDir dir;
  for (Wav w : {Wav{{16000, 16}, {1, 2, 3, 4}}, Wav{{22050, 8}, {1, 2, 3}}}) {
    WriteWav(dir / "a.wav", w);
    Wav r = ReadWav(dir / "a.wav");
    EXPECT_EQ(r.format.sampleRate, w.format.sampleRate);
    EXPECT_EQ(r.format.bitsPerSample, w.format.bitsPerSample);
    EXPECT_EQ(r.samples, w.samples);
    EXPECT_EQ(std::filesystem::file_size(dir / "a.wav"), 44 + (w.samples.size() + 1) / 2 * 2);
  }
  // Chunks before fmt are skipped, WAVE_FORMAT_EXTENSIBLE with PCM inside is PCM.
  EXPECT_EQ(ParseWav(MakeWav(1, 1, 16, {5, 6}), "x").samples, (Bytes{5, 6}));
  EXPECT_EQ(ParseWav(MakeWav(0xFFFE, 1, 16, {5, 6}, true), "x").samples, (Bytes{5, 6}));
}

TEST(Wav, RefusesWhatIsNotMonoPcmNamingTheFile) {
  Bytes truncated = MakeWav(1, 1, 16, {1, 2, 3, 4});
  truncated.resize(truncated.size() - 2);
  Bytes noData = MakeWav(1, 1, 16, {});
  std::memcpy(noData.data() + noData.size() - 8, "junk", 4);
  struct Case {
    Bytes file;
    const char* message;
  } cases[] = {
      {{}, "v.wav: not a WAV file (no RIFF/WAVE header)"},
      {Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' '},
       "v.wav: not a WAV file (no RIFF/WAVE header)"},
      {MakeWav(3, 1, 32, {0, 0, 0, 0}), "v.wav: not PCM audio (format tag 3); convert it first"},
      {MakeWav(0xFFFE, 1, 16, {0, 0}, true, 3),
       "v.wav: not PCM audio (format tag 3); convert it first"},
      {MakeWav(1, 2, 16, {0, 0, 0, 0}),
       "v.wav: 2 channels; only mono is supported (e.g. sox IN -c 1 OUT)"},
      {MakeWav(1, 1, 24, {0, 0, 0}), "v.wav: 24-bit samples; only 8 or 16 bits"},
      {truncated, "v.wav: the file ends inside its data chunk (truncated)"},
      {noData, "v.wav: no data chunk"},
  };
  for (const auto& c : cases) {
    try {
      ParseWav(c.file, "v.wav");
      ADD_FAILURE() << c.message;
    } catch (const CliError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  test::TempDir dir;
  try {
    ReadWav(dir / "none.wav");
    FAIL();
  } catch (const CliError& e) {
    EXPECT_NE(std::string(e.what()).find("none.wav"), std::string::npos) << e.what();
  }
}

// The stream writer leaves the exact sizes where it can seek back, and where it cannot (a pipe) a
// header whose sizes say "unknown", written before the samples.
TEST(Wav, StreamWriterGetsTheSizesRightSeekableOrNot) {
  Bytes samples = {1, 2, 3, 4, 5, 6, 7};  // odd: a pad byte follows
  auto check = [&](const Bytes& file, const char* what) {
    ASSERT_EQ(file.size(), 44u + 8) << what;
    Wav w = ParseWav(file, what);
    EXPECT_EQ(w.samples, samples) << what;
    EXPECT_EQ(U32(file, 4), file.size() - 8) << what;
  };
  {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fputs("xx", f);  // the header goes where the file stands, not at 0
    WavStreamWriter w(f, "tmp", {16000, 8});
    w.Write(samples.data(), 3);
    w.Write(samples.data() + 3, 4);
    w.Finish();
    EXPECT_EQ(w.DataBytes(), 7u);
    Bytes all(100);
    std::rewind(f);
    all.resize(std::fread(all.data(), 1, all.size(), f));
    std::fclose(f);
    check(Bytes(all.begin() + 2, all.end()), "seekable");
  }
#ifndef _WIN32
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::FILE* wr = fdopen(fds[1], "wb");
  {
    WavStreamWriter w(wr, "pipe", {16000, 8});
    w.Write(samples.data(), samples.size());
    w.Finish();
  }
  std::fclose(wr);
  Bytes all(100);
  ssize_t n = read(fds[0], all.data(), all.size());
  close(fds[0]);
  all.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  ASSERT_EQ(all.size(), 44u + 7);  // no pad byte: nothing follows that it would keep in step
  EXPECT_EQ(U32(all, 4), 0xFFFFFFFFu);
  EXPECT_EQ(U32(all, 40), 0xFFFFFFFFu);
  EXPECT_EQ(ParseWav(all, "pipe").samples, samples);
#endif
}

}  // namespace
}  // namespace kalvor::cli
