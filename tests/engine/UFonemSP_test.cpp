// The speech data format and the unit inventory: lookup, rate conversion, and files that are
// broken in every way a file can be.
#include "UFonemSP.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "EngineHost.h"
#include "SyntheticVoice.h"

namespace kalvor {
namespace {

using test::RawEntry;
using test::RawSpeechData;
using test::SyntheticVoice;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

Bytes Append(TFonemList& list, std::string_view name, std::int32_t rate) {
  TMemoryStream s;
  list.AppendUnit(name, s, rate);
  return s.Bytes();
}

std::string LoadError(TFonemList& list, const std::filesystem::path& p) {
  try {
    list.LoadFromFile(p);
  } catch (const Exception& e) {
    return e.what();
  }
  return "(loaded)";
}

// --- the format ------------------------------------------------------------------------------

TEST(SpeechDataFormat, WriterAndReaderAgree) {
  TempDir dir;
  std::vector<SpeechUnit> units = {
      {"KA", {1, 2, 3, 4}}, {"D\xDD", {5, 6}}, {"A", {}}, {"KA", {9, 9}}, {"_AP", {1, 2, 3, 4}}};
  WriteSpeechData(dir / "v.spd", 2, units, {.shareIdenticalSamples = true});
  SpeechDataFile f(dir / "v.spd");
  SpeechDataTable t = ReadSpeechDataTable(f);
  EXPECT_EQ(t.sampleWidth, 2);
  ASSERT_EQ(t.entries.size(), units.size());
  const char* stored[] = {"KA", "D0", "A", "KA", "_AP"};
  for (std::size_t i = 0; i < units.size(); ++i) {
    EXPECT_EQ(t.entries[i].name, stored[i]);
    EXPECT_EQ(ReadEntrySamples(f, t.entries[i]), units[i].samples) << stored[i];
  }
  EXPECT_EQ(t.entries[4].offset, t.entries[0].offset);  // identical samples stored once
  EXPECT_EQ(f.Size(), spd::kHeaderSize + 5 * spd::kEntrySize + 4 + 2 + 2);
  EXPECT_FALSE(std::filesystem::exists(dir / "v.spd.tmp"));
}

TEST(SpeechDataFormat, WriterRefusesWhatCannotBeStored) {
  struct Case {
    std::uint8_t width;
    SpeechUnit unit;
    const char* message;
  } cases[] = {
      {3, {"A", {}}, "sample width 3 is not 1 or 2"},
      {2, {"", {}}, "unit 1 has no name"},
      {2, {"ABCD", {}}, "unit 1 \"ABCD\": a name has at most 3 characters"},
      {2, {"A B", {}}, "unit 1 \"A\\x20B\": spaces and control characters cannot be stored"},
      {2, {"KA", {1, 2, 3}}, "unit 1 \"KA\": odd number of bytes for 16-bit samples"},
  };
  for (const auto& c : cases) {
    try {
      EncodeSpeechData(c.width, {c.unit});
      ADD_FAILURE() << c.message;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  EXPECT_NO_THROW(EncodeSpeechData(1, {{"KA", {1, 2, 3}}}));  // odd is fine for 8-bit
}

TEST(SpeechDataFormat, WriteErrorNamesTheFile) {
  TempDir dir;
  auto p = dir / "missing" / "v.spd";
  try {
    WriteSpeechData(p, 2, {{"A", {0, 0}}});
    FAIL();
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find(PathText(p)), std::string::npos) << e.what();
  }
}

// --- lookup ----------------------------------------------------------------------------------

TEST(FonemList, FindsNamesIgnoringCaseWithZeroForDottedI) {
  TempDir dir;
  SyntheticVoice v(2);
  v.Add("D0", 3)
      .Add("KA", 4)
      .Add("KA", 5)
      .Add(
          "\xC7"
          "A",
          2)
      .Add("_AP", 3);
  TFonemList list;
  list.LoadFromFile(v.WriteTo(dir.Path()));
  ASSERT_EQ(list.Count(), 5u);
  struct {
    const char* request;
    const char* unit;
  } cases[] = {
      {"D\xDD", "D0"},
      {"d0", "D0"},
      {"D0", "D0"},
      {"KA", "KA"},  // the first of two entries named KA
      {"ka", "KA"},
      {"\xE7"
       "a",
       "\xC7"
       "A"},
      {"_ap", "_AP"},
  };
  for (const auto& c : cases) EXPECT_EQ(Append(list, c.request, 100), v.At100(c.unit)) << c.request;
  EXPECT_EQ(Append(list, "KA", 100), test::IdentifyingSamples(2, 2, 4));
  for (const char* missing : {"", "K", "KAX", "KAAA", "D", "0"})
    EXPECT_TRUE(Append(list, missing, 100).empty()) << missing;
}

TEST(FonemList, StoredNamesAreTrimmedOfSpacesAndZeroBytes) {
  TempDir dir;
  Bytes tail = {7, 8, 9};
  int base = spd::kHeaderSize + 4 * spd::kEntrySize;
  auto file = RawSpeechData(1, 4,
                            {{std::string("A  ", 3), base, 1},
                             {std::string("\0\0B", 3), base + 1, 1},
                             {std::string(" C\0", 3), base + 2, 1},
                             {std::string("   ", 3), base, 3}},
                            tail);
  test::WriteFile(dir / "t.spd", file);
  TFonemList list;
  list.LoadFromFile(dir / "t.spd");
  EXPECT_EQ(Append(list, "A", 100), Bytes{7});
  EXPECT_EQ(Append(list, "B", 100), Bytes{8});
  EXPECT_EQ(Append(list, "C", 100), Bytes{9});
  EXPECT_EQ(list.List()[3].first, "");
  EXPECT_TRUE(Append(list, "", 100).empty());  // an empty request never finds the blank entry
}

// --- rate conversion -------------------------------------------------------------------------

// Indices written as runs: {{0, 3}, {1, 2}} is 0, 0, 0, 1, 1.
std::vector<std::size_t> Runs(std::initializer_list<std::pair<std::size_t, std::size_t>> runs) {
  std::vector<std::size_t> v;
  for (auto [index, times] : runs) v.insert(v.end(), times, index);
  return v;
}

TEST(FonemList, RateConversionPicksNearestSamplesTiesToEven) {
  struct Case {
    std::int32_t rate;
    std::size_t samples;
    std::vector<std::size_t> indices;
  } cases[] = {
      {100, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {200, 10, {0, 2, 4, 6, 8}},
      {101, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8}},  // stops once pos reaches the last index
      {300, 5, {0, 3}},
      {150, 6, {0, 2, 3, 4}},  // 1.5 -> 2 and 4.5 -> 4: ties go to the even index
      {200, 1, {0}},
      // Below 100 every sample is played, stretched: pos runs on in steps of Rate / 100 until
      // it rounds past the last index. Rate 50: 0, .5 -> 0, 1, 1.5 -> 2, 2, 2.5 -> 2, 3, ...,
      // 9, and 9.5 -> 10 ends it.
      {50, 10, {0, 0, 1, 2, 2, 2, 3, 4, 4, 4, 5, 6, 6, 6, 7, 8, 8, 8, 9}},
      {50, 4, {0, 0, 1, 2, 2, 2, 3}},
      {75, 4, {0, 1, 2, 2, 3}},                  // 0, .75, 1.5, 2.25, 3; 3.75 -> 4 ends it
      {99, 10, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},  // 8.91 -> 9, then 9.9 -> 10 ends it
      // Rate 25 on 3 samples: pos 0 .25 .5 | .75 1 1.25 | 1.5 1.75 2 2.25 2.5; 2.75 ends it.
      {25, 3, Runs({{0, 3}, {1, 3}, {2, 5}})},
      {25, 10,
       Runs({{0, 3}, {1, 3}, {2, 5}, {3, 3}, {4, 5}, {5, 3}, {6, 5}, {7, 3}, {8, 5}, {9, 3}})},
      // Slower than the lowest speaking rate, 0 and negative rates included, speaks at it.
      {24, 3, Runs({{0, 3}, {1, 3}, {2, 5}})},
      {1, 3, Runs({{0, 3}, {1, 3}, {2, 5}})},
      {0, 3, Runs({{0, 3}, {1, 3}, {2, 5}})},
      {-50, 3, Runs({{0, 3}, {1, 3}, {2, 5}})},
      {0, 1, {0, 0, 0}},  // .75 rounds past the only sample
  };
  for (std::uint8_t width : {1, 2}) {
    for (const auto& c : cases) {
      TempDir dir;
      SyntheticVoice v(width);
      v.Add("KA", c.samples);
      TFonemList list;
      list.LoadFromFile(v.WriteTo(dir.Path()));
      EXPECT_EQ(Append(list, "KA", c.rate), v.Pick("KA", c.indices))
          << "width " << int(width) << ", rate " << c.rate << ", " << c.samples << " samples";
    }
  }
}

// What a listener hears: a unit at rate R lasts about 100 / R times as long, from its first sample
// to its last, down to the lowest speaking rate.
TEST(FonemList, SlowRatesLengthenUnitsAndPlayThemToTheEnd) {
  TempDir dir;
  SyntheticVoice v(2);
  v.Add("KA", 1600);
  TFonemList list;
  list.LoadFromFile(v.WriteTo(dir.Path()));
  const Bytes all = Append(list, "KA", 100);
  ASSERT_EQ(all.size(), 3200u);
  for (std::int32_t rate : {0, 10, 25, 33, 50, 80, 99}) {
    const std::int32_t heard = std::max(rate, TFonemList::kLowestRate);
    const Bytes got = Append(list, "KA", rate);
    const double want = 1600.0 * 100 / heard;
    EXPECT_NEAR(static_cast<double>(got.size() / 2), want, 100.0 / heard + 1) << rate;
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 2, all.begin())) << rate;
    EXPECT_TRUE(std::equal(got.end() - 2, got.end(), all.end() - 2)) << rate;
  }
}

TEST(FonemList, EmptyUnitAppendsNothingAtAnyRate) {
  TempDir dir;
  SyntheticVoice v(2);
  v.Add("A", Bytes{});
  TFonemList list;
  list.LoadFromFile(v.WriteTo(dir.Path()));
  for (int rate : {0, 50, 100, 200}) EXPECT_TRUE(Append(list, "A", rate).empty());
}

// A 16-bit unit with an odd byte count gives only its whole samples: its odd last byte would
// shift every later sample of the output by one byte.
TEST(FonemList, OddSixteenBitUnitGivesWholeSamplesOnly) {
  TempDir dir;
  SyntheticVoice v(2);
  v.Add("KA", Bytes{1, 0, 2, 0, 3, 0, 0x7F});
  TFonemList list;
  list.LoadFromFile(v.WriteTo(dir.Path()));
  EXPECT_EQ(Append(list, "KA", 100), (Bytes{1, 0, 2, 0, 3, 0}));
  EXPECT_EQ(Append(list, "KA", 50), (Bytes{1, 0, 1, 0, 2, 0, 3, 0, 3, 0, 3, 0}));
  EXPECT_EQ(Append(list, "KA", 200), (Bytes{1, 0}));

  TMemoryStream out;  // consecutive units stay aligned on samples
  list.AppendUnit("KA", out, 100);
  list.AppendUnit("KA", out, 100);
  EXPECT_EQ(out.Size() % 2, 0u);
}

// --- loading ---------------------------------------------------------------------------------

TEST(FonemList, LoadsEmptyTablesAndKeepsTheWidth) {
  TempDir dir;
  for (std::int32_t count : {0, -1, std::numeric_limits<std::int32_t>::min()}) {
    test::WriteFile(dir / "e.spd", RawSpeechData(1, count, {}, {1, 2, 3}));
    TFonemList list;
    list.LoadFromFile(dir / "e.spd");
    EXPECT_EQ(list.Count(), 0u) << count;
    EXPECT_EQ(list.SampleWidth(), 1);
    EXPECT_TRUE(Append(list, "A", 100).empty());
  }
}

TEST(FonemList, BareNameResolvesInModuleDirectoryAndSamePathLoadsOnce) {
  TempDir dir;
  SyntheticVoice a(2), b(2);
  a.Add("KA", 3);
  b.Add("KA", 5).Add("BE", 2);
  a.WriteTo(dir.Path(), "ORVDAT2.SPD");
  auto saved = host::ModuleDirectory();
  host::SetModuleDirectory(dir.Path());
  TFonemList list;
  list.LoadFromFile("ORVDAT2.SPD");
  host::SetModuleDirectory(saved);
  EXPECT_EQ(list.FileName(), dir / "ORVDAT2.SPD");
  EXPECT_EQ(Append(list, "KA", 100), a.At100("KA"));

#ifdef _WIN32
  // The open voice refuses writers.
  EXPECT_THROW(b.WriteTo(dir.Path(), "ORVDAT2.SPD"), std::runtime_error);
#else
  // Replace the file: the same path is not read again, another path is.
  b.WriteTo(dir.Path(), "ORVDAT2.SPD");
  list.LoadFromFile(dir / "ORVDAT2.SPD");
  EXPECT_EQ(list.Count(), 1u);
#endif
  b.WriteTo(dir.Path(), "OTHER.SPD");
  list.LoadFromFile(dir / "OTHER.SPD");
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(Append(list, "KA", 100), b.At100("KA"));

  list.Clear();  // empties the table, keeps the name and the width
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_FALSE(list.IsOpen());
  EXPECT_EQ(list.FileName(), dir / "OTHER.SPD");
  EXPECT_EQ(list.SampleWidth(), 2);
  EXPECT_TRUE(Append(list, "KA", 100).empty());
}

TEST(FonemList, RejectsBrokenHeadersAndTablesBeforeAllocating) {
  Bytes good = RawSpeechData(2, 2, {{"KA", 35, 2}, {"BE", 35, 2}}, {1, 0});
  auto with = [&](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    Bytes b = good;
    std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
    return b;
  };
  auto cut = [&](std::size_t n) { return Bytes(good.begin(), good.begin() + n); };
  struct Case {
    const char* what;
    Bytes file;
    const char* message;
  } cases[] = {
      {"empty file", {}, "Data Corrupt!"},
      {"ends in the magic", cut(4), "Data Corrupt!"},
      {"lower-case magic", with(0, {'k'}), "Data Corrupt!"},
      {"version 2.0", with(6, {2}), "Version mismatch!"},
      {"version 1.1", with(7, {1}), "Version mismatch!"},
      {"version 0 and short", Bytes{'K', 'a', 'l', 'v', 'o', 'r', 0}, "Version mismatch!"},
      {"ends after the first version byte", cut(7), "Data Corrupt!"},
      {"ends before the sample width", cut(8), "Data Corrupt!"},
      {"ends in the count", cut(11), "Data Corrupt!"},
      {"ends in the table", cut(20), "Data Corrupt!"},
      {"count one more than the table", with(9, {3, 0, 0, 0}), "Data Corrupt!"},
      {"count 2^31-1", with(9, {0xFF, 0xFF, 0xFF, 0x7F}), "Data Corrupt!"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    auto p = dir / "bad.spd";
    test::WriteFile(p, c.file);
    TFonemList list;
    EXPECT_EQ(LoadError(list, p), c.message) << c.what;
    EXPECT_EQ(list.Count(), 0u) << c.what;
    // The file stays open: the same path is not tried again until another one is loaded.
    EXPECT_TRUE(list.IsOpen()) << c.what;
    EXPECT_EQ(LoadError(list, p), "(loaded)") << c.what;
  }
  test::WriteFile(dir / "good.spd", good);
  TFonemList list;
  EXPECT_EQ(LoadError(list, dir / "good.spd"), "(loaded)");
  EXPECT_EQ(list.Count(), 2u);
}

TEST(FonemList, OpenErrorNamesPathAndReasonAndIsTriedAgain) {
  TempDir dir;
  auto p = dir / "ORVDAT1.SPD";
  TFonemList list;
  std::string msg = LoadError(list, p);
  EXPECT_EQ(msg,
            "Cannot open file \"" + PathText(p) + "\". " + std::generic_category().message(ENOENT));
  EXPECT_FALSE(list.IsOpen());
  EXPECT_EQ(list.FileName(), p);

  SyntheticVoice v(2);
  v.Add("KA", 2);
  v.WriteTo(dir.Path(), "ORVDAT1.SPD");
  EXPECT_EQ(LoadError(list, p), "(loaded)");
  EXPECT_EQ(list.Count(), 1u);

  EXPECT_NE(LoadError(list, dir.Path()).find("Cannot open file"), std::string::npos);
}

// Entries that point outside the file fail at use with the stream's read error, without reading
// or writing outside any buffer, and leave the output as it was.
TEST(FonemList, EntriesOutsideTheFileRaiseStreamReadError) {
  TempDir dir;
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  const int base = spd::kHeaderSize + 7 * spd::kEntrySize;
  Bytes tail = {1, 2, 3, 4};
  auto file = RawSpeechData(1, 7,
                            {{"OK", base, 4},
                             {"END", base + 2, 3},
                             {"NO", -1, 2},
                             {"NL", base, -2},
                             {"BIG", max, max},
                             {"FAR", base + 100, 0},  // empty: nothing to read, not an error
                             {"ALL", 0, base + 4}},
                            tail);
  test::WriteFile(dir / "r.spd", file);
  TFonemList list;
  list.LoadFromFile(dir / "r.spd");
  for (const char* name : {"END", "NO", "NL", "BIG"}) {
    for (int rate : {100, 50}) {
      TMemoryStream out;
      out.Write("xy", 2);
      try {
        list.AppendUnit(name, out, rate);
        ADD_FAILURE() << name << " at " << rate;
      } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
      }
      EXPECT_EQ(out.Size(), 2u) << name;
    }
  }
  EXPECT_EQ(Append(list, "OK", 100), tail);
  EXPECT_TRUE(Append(list, "FAR", 100).empty());
  EXPECT_EQ(Append(list, "ALL", 100).size(), static_cast<std::size_t>(base + 4));
}

// Units are read through a bounded cache of the file's blocks: every unit comes out exactly, also
// one that straddles blocks and after the cache has had to give blocks up; a file cut short while
// in use gives the stream's read error, never a crash.
TEST(FonemList, ReadsThroughABoundedCacheAndSurvivesAFileCutShort) {
  TempDir dir;
  SyntheticVoice v(2);
  const std::size_t unitSamples = SpeechDataFile::kBlockSize * 3 / 4 + 1;  // 1.5 blocks of bytes
  const std::size_t count =
      SpeechDataFile::kCacheBlocks * SpeechDataFile::kBlockSize / (unitSamples * 2) + 40;
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i)
    names.push_back(std::string("A") + char('A' + i / 26 % 26) + char('A' + i % 26));
  for (const auto& n : names) v.Add(n, unitSamples);
  auto path = v.WriteTo(dir.Path());
  ASSERT_GT(std::filesystem::file_size(path),
            SpeechDataFile::kCacheBlocks * SpeechDataFile::kBlockSize);

  TFonemList list;
  list.LoadFromFile(path);
  for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(Append(list, names[i], 100), v.At100(names[i]));
  for (std::size_t i = count; i-- > 0;) ASSERT_EQ(Append(list, names[i], 100), v.At100(names[i]));

    // The last units left the cache on the way back; the file loses its second half.
#ifdef _WIN32
  // Windows lets no one write to a voice file in use: it cannot be cut short there at all.
  std::error_code ec;
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2, ec);
  EXPECT_TRUE(ec);
  return;
#endif
  std::filesystem::resize_file(path, std::filesystem::file_size(path) / 2);
  try {
    Append(list, names.back(), 100);
    ADD_FAILURE() << "a unit past the new end was read";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
  EXPECT_EQ(Append(list, names.front(), 100), v.At100(names.front()));  // still cached
}

}  // namespace
}  // namespace kalvor
