// kalvor say end to end on synthetic voices: the WAV holds exactly the engine's batches, errors
// name the file or the value, and a failure leaves no output file behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Cli.h"
#include "SyntheticVoice.h"
#include "Wav.h"

namespace kalvor::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::SyntheticVoice;
using test::TempDir;

const std::string KI = "K\xDD", ITA = "\xDDTA";

int Say(std::vector<std::string> args, std::string* err = nullptr) {
  testing::internal::CaptureStderr();
  int rc = 0;
  try {
    rc = CmdSay(Args(std::move(args)));
  } catch (...) {
    testing::internal::GetCapturedStderr();
    throw;
  }
  std::string e = testing::internal::GetCapturedStderr();
  if (err) *err = e;
  return rc;
}

std::string SayError(std::vector<std::string> args) {
  try {
    Say(std::move(args));
  } catch (const CliError& e) {
    return e.what();
  }
  return "(no error)";
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

SyntheticVoice Kitap(std::uint8_t width) {
  SyntheticVoice v(width);
  v.Add("K0", 10).Add("0TA", 10).Add("_AP", 10);
  return v;
}

TEST(Say, WritesTheBatchesAsSixteenBitWavAndReportsTheDuration) {
  TempDir dir;
  auto v = Kitap(2);
  auto voice = v.WriteTo(dir.Path());
  std::string err;
  // "KİTAP." in UTF-8, as typed on the command line.
  EXPECT_EQ(Say({"--voice", voice.string(), "-o", (dir / "o.wav").string(), "K\xC4\xB0TAP."}, &err),
            0);
  Wav w = ReadWav(dir / "o.wav");
  EXPECT_EQ(w.format.sampleRate, 16000u);
  EXPECT_EQ(w.format.bitsPerSample, 16);
  Bytes want = Cat({v.At100(KI), v.At100(ITA), v.At100("_AP"), Bytes(9600, 0)});
  EXPECT_EQ(w.samples, want);
  EXPECT_EQ(err, (dir / "o.wav").string() + ": 0.30 s\n");  // 30 + 4800 samples
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(Say, RateAndEightBitVoices) {
  TempDir dir;
  auto v8 = Kitap(1);
  auto voice = v8.WriteTo(dir.Path(), "v8.spd");
  ASSERT_EQ(
      Say({"--voice", voice.string(), "--rate", "200", "-o", (dir / "o.wav").string(), "kitap"}),
      0);
  // 8-bit samples are unsigned around 128: widened to signed 16-bit; the pause of an 8-bit voice
  // is 8 samples per step of n, silence 128, which is 0 in the output.
  auto widen = [](const Bytes& b) {
    Bytes out;
    for (auto s : b) {
      auto v = static_cast<std::uint16_t>((s - 128) * 256);
      out.push_back(std::uint8_t(v));
      out.push_back(std::uint8_t(v >> 8));
    }
    return out;
  };
  std::vector<std::size_t> even = {0, 2, 4, 6, 8};
  Bytes want = Cat({widen(v8.Pick(KI, even)), widen(v8.Pick(ITA, even)),
                    widen(v8.Pick("_AP", even)), Bytes(600 * 8 * 2, 0)});
  EXPECT_EQ(ReadWav(dir / "o.wav").samples, want);
}

TEST(Say, RefusesBadArgumentsAndVoicesNamingThem) {
  TempDir dir;
  auto good = Kitap(2).WriteTo(dir.Path());
  test::WriteFile(dir / "corrupt.spd", Bytes{'k', 'a', 'l', 'v', 'o', 'r', 1, 0, 2, 0, 0, 0, 0});
  int base = kalvor::spd::kHeaderSize + kalvor::spd::kEntrySize;
  test::WriteFile(dir / "short.spd", test::RawSpeechData(2, 1, {{"K0", base, 1000}}, {1, 2}));
  auto out = (dir / "o.wav").string();
  std::string missing = (dir / "none.spd").string();
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"--rate", "201", "x"}, "--rate takes a whole number from 0 to 200, not \"201\""},
      {{"--rate", "-1", "x"}, "--rate takes a whole number from 0 to 200, not \"-1\""},
      {{"--rate", "12x", "x"}, "--rate takes a whole number from 0 to 200, not \"12x\""},
      {{"--rate"}, "option --rate needs a value"},
      {{"--speed", "3"}, "say: unknown option --speed (kalvor say --help)"},
      {{"--voice", missing, "-o", out, "x"},
       "Cannot open file \"" + missing + "\". No such file or directory"},
      {{"--voice", (dir / "corrupt.spd").string(), "-o", out, "x"},
       (dir / "corrupt.spd").string() + ": Data Corrupt!"},
      {{"--voice", (dir / "short.spd").string(), "-o", out, "kitap"},
       (dir / "short.spd").string() + ": Stream read error (a unit points outside the file)"},
      {{"--voice", good.string(), "-o", (dir / "no" / "o.wav").string(), "x"},
       "Cannot create file \"" + (dir / "no" / "o.wav").string() + "\". No such file or directory"},
  };
  for (const auto& c : cases) EXPECT_EQ(SayError(c.args), c.message);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 3);  // the voices

  // A failure never clobbers an existing output file.
  test::WriteFile(out, Bytes{'o', 'l', 'd'});
  EXPECT_NE(SayError({"--voice", (dir / "short.spd").string(), "-o", out, "kitap"}), "(no error)");
  std::ifstream in(out, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
}

TEST(Say, ClearMessagesForTextThatCannotBeRead) {
  TempDir dir;
  auto voice = Kitap(2).WriteTo(dir.Path()).string();
  auto out = (dir / "o.wav").string();
  auto say = [&](std::vector<std::string> more) {
    std::vector<std::string> args = {"--voice", voice, "-o", out};
    args.insert(args.end(), more.begin(), more.end());
    return SayError(args);
  };
  std::string folder = dir.Path().string();
  EXPECT_EQ(say({"-f", folder}), folder + ": a folder, not a text file");
  auto u16 = (dir / "u16.txt").string();
  test::WriteFile(u16, Bytes{0xFF, 0xFE, 'K', 0, 'i', 0});
  EXPECT_EQ(say({"-f", u16}),
            u16 +
                ": UTF-16 text; kalvor reads UTF-8: convert it first, e.g. iconv -f UTF-16 -t "
                "UTF-8");
#ifndef _WIN32
  // An endless input stops at the limit instead of growing until memory runs out.
  EXPECT_EQ(say({"-f", "/dev/zero"}),
            "/dev/zero: more than 64 MiB of text, the most kalvor reads at once; give it in parts");
#endif
  EXPECT_EQ(SayError({"--voice", "Male", "-o", out, "x"}),
            "voice Male: no such file; the voices are named male and female, in lower case "
            "(--voice male)");
  EXPECT_FALSE(std::filesystem::exists(out));

  // Nothing the engine can say (Greek, emoji): a warning, and the file holds only the pause.
  std::string err;
  EXPECT_EQ(Say({"--voice", voice, "-o", out, "\xCE\xB1\xCE\xB2 \xF0\x9F\x98\x80."}, &err), 0);
  EXPECT_NE(err.find("kalvor: warning: nothing was spoken"), std::string::npos) << err;
}

TEST(Say, DoubleDashEndsTheOptions) {
  TempDir dir;
  auto v = Kitap(2);
  auto voice = v.WriteTo(dir.Path()).string();
  auto out = dir / "o.wav";
  // "-o" after "--" is text, not the option: the output stays the first -o.
  ASSERT_EQ(Say({"--voice", voice, "-o", out.string(), "--", "kitap", "-o"}), 0);
  ASSERT_EQ(Say({"--voice", voice, "-o", (dir / "same.wav").string(), "kitap -o"}), 0);
  EXPECT_EQ(ReadWav(out).samples, ReadWav(dir / "same.wav").samples);
}

TEST(Separators, DigitsAndLettersAreRefused) {
  for (const char* bad : {"5", "a", "Z", "\xC5\x9F" /* ş */, "\xC4\xB0" /* İ */}) {
    try {
      SingleChar("--thousands", bad);
      ADD_FAILURE() << bad;
    } catch (const CliError& e) {
      EXPECT_EQ(e.exit_code, 2);
      EXPECT_NE(std::string(e.what()).find("not the letter or digit"), std::string::npos);
    }
  }
  for (const char* good : {".", ",", " ", "'", "\xE2\x80\x99" /* ’ */})
    EXPECT_NO_THROW(SingleChar("--decimal", good)) << good;
}

// Every help fits a terminal of 80 columns (counted in characters, not UTF-8 bytes).
TEST(Help, LinesFitEightyColumns) {
  auto width = [](const std::string& line) {
    return std::count_if(line.begin(), line.end(),
                         [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
  };
  using Command = int (*)(Args);
  for (auto [name, cmd] :
       std::initializer_list<std::pair<const char*, Command>>{{"say", CmdSay},
                                                              {"units", CmdUnits},
                                                              {"sentences", CmdSentences},
                                                              {"voice", CmdVoice}}) {
    testing::internal::CaptureStdout();
    cmd(Args({"--help"}));
    std::fflush(stdout);
    std::string help = testing::internal::GetCapturedStdout();
    EXPECT_NE(help.find("Usage: kalvor"), std::string::npos) << name;
    std::size_t start = 0;
    for (std::size_t nl; (nl = help.find('\n', start)) != std::string::npos; start = nl + 1) {
      std::string line = help.substr(start, nl - start);
      EXPECT_LE(width(line), 80) << name << ": " << line;
    }
  }
}

#if !defined(_WIN32) && defined(KALVOR_EXE)
// Standard output: a file gets the same bytes as -o (its header patched in place), a pipe the same
// samples under a header whose sizes say "unknown".
TEST(Say, StandardOutputFileAndPipeMatchTheFile) {
  TempDir dir;
  auto voice = SyntheticVoice::Covering(test::AllTurkishUnitNames(), 2, 50).WriteTo(dir.Path());
  std::string base = std::string(KALVOR_EXE) + " say --voice '" + voice.string() + "' ";
  std::string text = "'Merhaba dünya. Bugün 23 Nisan, hava güzel mi?'";
  auto d = dir.Path().string();
  ASSERT_EQ(std::system((base + "-o '" + d + "/a.wav' " + text + " 2>/dev/null").c_str()), 0);
  ASSERT_EQ(std::system((base + text + " > '" + d + "/b.wav'").c_str()), 0);
  ASSERT_EQ(std::system((base + text + " | cat > '" + d + "/c.wav'").c_str()), 0);
  auto read = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  };
  Bytes a = read(dir / "a.wav");
  EXPECT_GT(ReadWav(dir / "a.wav").samples.size(), 2u * 16000 * 6 / 10);  // two 300 ms pauses
  EXPECT_EQ(read(dir / "b.wav"), a);
  Bytes c = read(dir / "c.wav");
  ASSERT_EQ(c.size(), a.size());
  EXPECT_EQ(Bytes(c.begin() + 4, c.begin() + 8), Bytes(4, 0xFF));
  EXPECT_EQ(Bytes(c.begin() + 40, c.begin() + 44), Bytes(4, 0xFF));
  EXPECT_EQ(Bytes(c.begin() + 44, c.end()), Bytes(a.begin() + 44, a.end()));
}
#endif

}  // namespace
}  // namespace kalvor::cli
