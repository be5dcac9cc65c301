// kalvor voice build, list and extract: what goes in as WAV files comes out of the voice unchanged,
// names follow the engine's rules, and every refusal names the file and the reason.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "Cli.h"
#include "SyntheticVoice.h"
#include "UFonemSP_Format.h"
#include "Wav.h"

namespace kalvor::cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::TempDir;

fs::path U8(const std::string& s) {
  return fs::path(std::u8string(s.begin(), s.end()));
}

std::string PathArg(const fs::path& p) {
  std::u8string u = p.u8string();
  return std::string(u.begin(), u.end());
}

struct Result {
  int rc = 0;
  std::string out, err, error;  // error: the CliError's message, if one was thrown
};

Result Voice(std::vector<std::string> args) {
  Result r;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  try {
    r.rc = CmdVoice(Args(std::move(args)));
  } catch (const CliError& e) {
    r.rc = e.exit_code;
    r.error = e.what();
  } catch (const std::exception& e) {
    r.rc = -1;
    r.error = e.what();
  }
  std::fflush(stdout);
  r.out = testing::internal::GetCapturedStdout();
  r.err = testing::internal::GetCapturedStderr();
  return r;
}

void PutWav(const fs::path& path, Bytes samples, std::uint16_t bits = 16,
            std::uint32_t rate = 16000) {
  Wav w;
  w.format.sampleRate = rate;
  w.format.bitsPerSample = bits;
  w.samples = std::move(samples);
  WriteWav(path, w);
}

Bytes S16(std::initializer_list<int> v) {
  Bytes b;
  for (int s : v) {
    auto u = static_cast<std::uint16_t>(static_cast<std::int16_t>(s));
    b.push_back(static_cast<std::uint8_t>(u & 0xFF));
    b.push_back(static_cast<std::uint8_t>(u >> 8));
  }
  return b;
}

// The stored names and samples of a voice, in file order.
std::vector<std::pair<std::string, Bytes>> Units(const fs::path& spd) {
  SpeechDataFile f(spd);
  SpeechDataTable t = ReadSpeechDataTable(f);
  std::vector<std::pair<std::string, Bytes>> out;
  for (const auto& e : t.entries) out.emplace_back(e.name, ReadEntrySamples(f, e));
  return out;
}

TEST(VoiceBuild, FileNamesBecomeStoredUnitNamesByTheTurkishRules) {
  TempDir dir;
  fs::create_directories(dir / "in");
  // File name -> stored name.
  const std::map<std::string, std::string> valid = {
      {"KA.wav", "KA"},
      {"_ap.WAV", "_AP"},
      {"D\xC4\xB0.wav", "D0"},                 // Dİ
      {"k\xC4\xB1.wav", "KI"},                 // kı: the dotless i
      {"li.wav", "L0"},                        // a lower-case i is the dotted one
      {"_\xC3\xBC\xC3\xA7.wav", "_\xDC\xC7"},  // _üç
  };
  int k = 1;
  std::map<std::string, Bytes> samplesOf;
  for (const auto& [file, stored] : valid) {
    Bytes s = S16({k, -k, 1000 * k});
    PutWav(dir / "in" / U8(file), s);
    samplesOf[stored] = s;
    ++k;
  }
  fs::path out = dir / "v.spd";
  Result r = Voice({"build", PathArg(dir / "in"), "-o", PathArg(out)});
  ASSERT_EQ(r.rc, 0) << r.error;
  auto units = Units(out);
  ASSERT_EQ(units.size(), valid.size());
  for (const auto& [name, samples] : units) {
    ASSERT_TRUE(samplesOf.count(name)) << name;
    EXPECT_EQ(samples, samplesOf[name]) << name;
  }
  EXPECT_NE(r.err.find(std::to_string(valid.size()) + " units"), std::string::npos) << r.err;
}

TEST(VoiceBuild, ConvertsBetweenSampleWidths) {
  TempDir dir;
  fs::create_directories(dir / "in");
  PutWav(dir / "in" / "KA.wav", {0, 128, 255, 1}, 8);
  PutWav(dir / "in" / "KE.wav", S16({-32768, -129, 0, 127, 128, 32767}), 16);

  ASSERT_EQ(Voice({"build", PathArg(dir / "in"), "-o", PathArg(dir / "w2.spd")}).rc, 0);
  auto w2 = Units(dir / "w2.spd");
  EXPECT_EQ(w2[0].second, S16({-32768, 0, 32512, -32512}));  // 8-bit centred on 128
  EXPECT_EQ(w2[1].second, S16({-32768, -129, 0, 127, 128, 32767}));

  ASSERT_EQ(Voice({"build", PathArg(dir / "in"), "-o", PathArg(dir / "w1.spd"), "--width", "1"}).rc,
            0);
  auto w1 = Units(dir / "w1.spd");
  EXPECT_EQ(w1[0].second, (Bytes{0, 128, 255, 1}));
  // To the nearest 8-bit step, never past the top.
  EXPECT_EQ(w1[1].second, (Bytes{0, 127, 128, 128, 129, 255}));
}

TEST(VoiceBuild, RefusesWhatWouldMakeAWrongVoiceNamingTheFile) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, Bytes>> files;  // raw file bytes; empty = a valid WAV
    std::vector<std::string> expect;                   // pieces of the message
  };
  Bytes stereo = {'R', 'I', 'F', 'F', 40,  0,   0,   0,   'W',  'A',  'V', 'E', 'f', 'm',  't', ' ',
                  16,  0,   0,   0,   1,   0,   2,   0,   0x80, 0x3E, 0,   0,   0,   0xFA, 0,   0,
                  4,   0,   16,  0,   'd', 'a', 't', 'a', 4,    0,    0,   0,   1,   0,    2,   0};
  const std::vector<Case> cases = {
      {"not a unit name", {{"FOO.wav", {}}}, {"FOO.wav", "not a unit name"}},
      {"three vowels", {{"AEI.wav", {}}}, {"AEI.wav", "not a unit name"}},
      {"digit marker on a VCV", {{"ATA1.wav", {}}}, {"ATA1.wav"}},
      {"stereo", {{"KA.wav", stereo}}, {"KA.wav"}},
      {"not a WAV", {{"KA.wav", Bytes{'h', 'e', 'l', 'l', 'o'}}}, {"KA.wav"}},
      {"same unit twice", {{"di.wav", {}}, {"D0.wav", {}}}, {"di.wav", "D0.wav", "same unit"}},
      {"no WAV files", {{"notes.txt", Bytes{'x'}}}, {"no .wav files"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    fs::create_directories(dir / "in");
    for (const auto& [name, bytes] : c.files) {
      if (bytes.empty()) {
        PutWav(dir / "in" / U8(name), S16({1, 2, 3}));
      } else {
        test::WriteFile(dir / "in" / U8(name), bytes);
      }
    }
    Result r = Voice({"build", PathArg(dir / "in"), "-o", PathArg(dir / "v.spd")});
    EXPECT_EQ(r.rc, 1) << c.what;
    for (const std::string& piece : c.expect)
      EXPECT_NE(r.error.find(piece), std::string::npos) << c.what << ": " << r.error;
    EXPECT_FALSE(fs::exists(dir / "v.spd")) << c.what;
  }
}

TEST(VoiceBuild, WarnsAboutOtherRatesAndChecksItsArguments) {
  TempDir dir;
  fs::create_directories(dir / "in");
  PutWav(dir / "in" / "KA.wav", S16({1, 2}), 16, 22050);
  Result r = Voice({"build", PathArg(dir / "in"), "-o", PathArg(dir / "v.spd")});
  EXPECT_EQ(r.rc, 0) << r.error;
  EXPECT_NE(r.err.find("KA.wav: 22050 Hz"), std::string::npos) << r.err;

  EXPECT_EQ(Voice({"build", PathArg(dir / "in")}).rc, 2);
  EXPECT_EQ(Voice({"build", PathArg(dir / "in"), "-o", "x.spd", "--width", "3"}).rc, 2);
  Result missing = Voice({"build", PathArg(dir / "nowhere"), "-o", PathArg(dir / "v2.spd")});
  EXPECT_EQ(missing.rc, 1);
  EXPECT_NE(missing.error.find("nowhere"), std::string::npos) << missing.error;
  EXPECT_EQ(Voice({"frobnicate"}).rc, 2);
  Result help = Voice({"extract", "--help"});
  EXPECT_EQ(help.rc, 0);
  EXPECT_NE(help.out.find("kalvor voice build DIR"), std::string::npos);
}

TEST(VoiceList, OneLinePerEntryInFileOrder) {
  TempDir dir;
  test::SyntheticVoice v(2);
  v.Add("KA", Bytes(3200, 1)).Add("D0", Bytes(6, 2)).Add("ka", Bytes(2, 3)).Add("_AP", Bytes{});
  fs::path spd = v.WriteTo(dir.Path());
  Result r = Voice({"list", PathArg(spd)});
  ASSERT_EQ(r.rc, 0) << r.error;
  std::string expect;
  std::size_t offset = spd::kHeaderSize + 4 * spd::kEntrySize;
  auto line = [&](const std::string& name, std::size_t len, const char* secs) {
    expect +=
        name + "\t" + std::to_string(offset) + "\t" + std::to_string(len) + "\t" + secs + "\n";
    offset += len;
  };
  line("KA", 3200, "0.100");
  line("D\xC4\xB0", 6, "0.000");
  line("ka", 2, "0.000");
  line("_AP", 0, "0.000");
  EXPECT_EQ(r.out, expect);
}

TEST(VoiceList, ControlCharactersInNamesAreShownEscaped) {
  TempDir dir;
  // Hand-made names with a control character and a backslash inside: one line each, readable.
  const std::int32_t data = static_cast<std::int32_t>(spd::kHeaderSize + 2 * spd::kEntrySize);
  test::WriteFile(dir / "odd.spd", test::RawSpeechData(2, 2,
                                                       {{"A\x1B"
                                                         "B",
                                                         data, 2},
                                                        {"K\\A", data, 2}},
                                                       {1, 0}));
  Result r = Voice({"list", PathArg(dir / "odd.spd")});
  ASSERT_EQ(r.rc, 0) << r.error;
  std::string at = "\t" + std::to_string(data) + "\t2\t0.000\n";
  EXPECT_EQ(r.out, "A\\x1BB" + at + "K\\x5CA" + at);
}

TEST(VoiceList, ReportsABrokenFileWithItsName) {
  TempDir dir;
  test::WriteFile(dir / "bad.spd", Bytes{'N', 'o', 't', 'V', 'o', 'i', 1, 0, 2, 0, 0, 0, 0});
  Result r = Voice({"list", PathArg(dir / "bad.spd")});
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.error.find("bad.spd"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("Data Corrupt!"), std::string::npos) << r.error;
  Result none = Voice({"list", PathArg(dir / "none.spd")});
  EXPECT_EQ(none.rc, 1);
  EXPECT_NE(none.error.find("none.spd"), std::string::npos) << none.error;
}

TEST(VoiceExtract, RoundTripsThroughBuildAndTakesTheFirstOfDuplicates) {
  TempDir dir;
  test::SyntheticVoice v(2);
  v.Add("KA", S16({1, 2, 3})).Add("D0", S16({4, 5})).Add("ka", S16({9, 9})).Add("_AP", S16({-7}));
  fs::path spd = v.WriteTo(dir.Path());

  Result all = Voice({"extract", PathArg(spd), "-o", PathArg(dir / "out")});
  ASSERT_EQ(all.rc, 0) << all.error;
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(dir / "out"))
    files.push_back(PathArg(e.path().filename()));
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"D\xC4\xB0.wav", "KA.wav", "_AP.wav"}));
  Wav ka = ReadWav(dir / "out" / "KA.wav");
  EXPECT_EQ(ka.format.sampleRate, 16000u);
  EXPECT_EQ(ka.format.bitsPerSample, 16);
  EXPECT_EQ(ka.samples, S16({1, 2, 3}));  // the first KA, not the later "ka"

  ASSERT_EQ(Voice({"build", PathArg(dir / "out"), "-o", PathArg(dir / "again.spd")}).rc, 0);
  auto units = Units(dir / "again.spd");
  std::map<std::string, Bytes> got(units.begin(), units.end());
  EXPECT_EQ(got, (std::map<std::string, Bytes>{
                     {"KA", S16({1, 2, 3})}, {"D0", S16({4, 5})}, {"_AP", S16({-7})}}));
}

TEST(VoiceExtract, AnEmptyUnitBecomesAnEmptyWav) {
  TempDir dir;
  test::SyntheticVoice v(2);
  v.Add("KA", S16({1}))
      .Add(
          "\xD0"
          "1",
          Bytes{});  // Ğ1 has no samples, as in the default voices
  Result r = Voice({"extract", PathArg(v.WriteTo(dir.Path())), "-o", PathArg(dir / "o")});
  ASSERT_EQ(r.rc, 0) << r.error;
  Wav empty = ReadWav(dir / "o" /
                      U8("\xC4\x9E"
                         "1.wav"));
  EXPECT_TRUE(empty.samples.empty());
  EXPECT_EQ(fs::file_size(dir / "o" /
                          U8("\xC4\x9E"
                             "1.wav")),
            44u);
}

#ifndef _WIN32
// A file build or extract replaces is replaced whole, and a link lying in wait under a temporary
// name is never written through.
TEST(VoiceFiles, ReplacedWholeAndNeverThroughALink) {
  TempDir dir;
  test::SyntheticVoice v(2);
  v.Add("KA", S16({1, 2}));
  fs::path spd = v.WriteTo(dir.Path());
  test::WriteFile(dir / "victim", Bytes{'s', 'a', 'f', 'e'});
  fs::create_directories(dir / "out");
  fs::create_symlink(dir / "victim", dir / "out" / "KA.wav.tmp");
  fs::create_symlink(dir / "victim", dir / "again.spd.tmp");
  test::WriteFile(dir / "again.spd", Bytes{'o', 'l', 'd'});
  fs::permissions(dir / "again.spd", fs::perms::owner_read | fs::perms::owner_write);

  ASSERT_EQ(Voice({"extract", PathArg(spd), "-o", PathArg(dir / "out")}).rc, 0);
  ASSERT_EQ(Voice({"build", PathArg(dir / "out"), "-o", PathArg(dir / "again.spd")}).rc, 0);
  std::ifstream victim(dir / "victim");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "safe");
  EXPECT_EQ(ReadWav(dir / "out" / "KA.wav").samples, S16({1, 2}));
  EXPECT_EQ(Units(dir / "again.spd"), Units(spd));
  EXPECT_EQ(fs::status(dir / "again.spd").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
}
#endif

TEST(VoiceExtract, NamedUnitsEitherFormAndRefusals) {
  TempDir dir;
  test::SyntheticVoice v(1);
  v.Add("KA", Bytes{10, 20}).Add("D0", Bytes{30});
  fs::path spd = v.WriteTo(dir.Path());

  // "extract FILE DIR NAME..." and names as people write them: lower case, İ spelled out.
  Result r = Voice({"extract", PathArg(spd), PathArg(dir / "o"), "di", "ka"});
  ASSERT_EQ(r.rc, 0) << r.error;
  EXPECT_EQ(ReadWav(dir / "o" / U8("D\xC4\xB0.wav")).samples, (Bytes{30}));
  EXPECT_EQ(ReadWav(dir / "o" / "KA.wav").format.bitsPerSample, 8);

  Result unknown = Voice({"extract", PathArg(spd), "ZZ", "-o", PathArg(dir / "p")});
  EXPECT_EQ(unknown.rc, 1);
  EXPECT_NE(unknown.error.find("no unit named ZZ"), std::string::npos) << unknown.error;
  EXPECT_EQ(Voice({"extract", PathArg(spd)}).rc, 2);
}

TEST(VoiceExtract, HalfSamplesAndEntriesOutsideTheFile) {
  TempDir dir;
  // A 16-bit unit of 5 bytes, and one that points past the end of the file.
  const std::int32_t data = static_cast<std::int32_t>(spd::kHeaderSize + 2 * spd::kEntrySize);
  test::WriteFile(dir / "odd.spd",
                  test::RawSpeechData(2, 2, {{"KA", data, 5}, {"KE", data, 500}}, {1, 0, 2, 0, 3}));
  Result odd = Voice({"extract", PathArg(dir / "odd.spd"), "KA", "-o", PathArg(dir / "o")});
  ASSERT_EQ(odd.rc, 0) << odd.error;
  EXPECT_NE(odd.err.find("half a sample"), std::string::npos) << odd.err;
  EXPECT_EQ(ReadWav(dir / "o" / "KA.wav").samples, S16({1, 2}));

  Result outside = Voice({"extract", PathArg(dir / "odd.spd"), "KE", "-o", PathArg(dir / "o")});
  EXPECT_EQ(outside.rc, 1);
  EXPECT_NE(outside.error.find("odd.spd"), std::string::npos) << outside.error;
  EXPECT_NE(outside.error.find("KE"), std::string::npos) << outside.error;
}

}  // namespace
}  // namespace kalvor::cli
