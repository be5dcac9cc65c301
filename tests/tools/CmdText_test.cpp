// kalvor sentences and kalvor units: UTF-8 in and out, the speaking order, options and errors.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "Cli.h"
#include "EngineHost.h"

namespace kalvor::cli {
namespace {

using Command = int (*)(Args);

// Runs a command and returns what it wrote to standard output; its exit code in *rc.
std::string Capture(Command cmd, std::vector<std::string> args, int* rc = nullptr) {
  testing::internal::CaptureStdout();
  int code = -1;
  try {
    code = cmd(Args(std::move(args)));
  } catch (...) {
    testing::internal::GetCapturedStdout();
    throw;
  }
  if (rc) *rc = code;
  return testing::internal::GetCapturedStdout();
}

// The error a command reports, with its exit code.
std::pair<std::string, int> Error(Command cmd, std::vector<std::string> args) {
  try {
    Capture(cmd, std::move(args));
  } catch (const CliError& e) {
    return {e.what(), e.exit_code};
  }
  return {"(no error)", 0};
}

class TempFile {
 public:
  explicit TempFile(const std::string& contents) {
    path_ = std::filesystem::temp_directory_path() /
            ("kalvor_cmdtext_" + std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".txt");
    std::ofstream(path_, std::ios::binary) << contents;
  }
  ~TempFile() { std::filesystem::remove(path_); }
  std::string Path() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

TEST(CmdSentences, KindTabAndTheSentenceAsSpoken) {
  int rc = -1;
  EXPECT_EQ(Capture(CmdSentences, {"O geldi. Saat 3'te mi?", "Dur!"}, &rc),
            ".\t OGELDİ\n?\tSAAT ÜÇTEMİ\n!\tDUR\n");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(Capture(CmdSentences, {"...", "  "}), "");  // no letters: no sentence
}

TEST(CmdUnits, SpeakingOrderWithAPauseLineAfterEachSentence) {
  EXPECT_EQ(Capture(CmdUnits, {"Kitap.", "Anne", "geldi", "mi?"}),
            "Kİ\nİTA\n_AP\n\nA1\n_AN\nNE\nEGE\n_EL\nDİ\nİMİ\n_Mİ\n\n");
  EXPECT_EQ(Capture(CmdUnits, {"Ağaç"}), "A1\nAĞA\n_AÇ\n\n");
}

TEST(CmdText, ReadsAFileAndHonoursTheSeparators) {
  TempFile f("Fiyat\xC4\xB1 3.5 lira.\n");  // "Fiyatı" in UTF-8
  EXPECT_EQ(Capture(CmdSentences, {"-f", f.Path()}), ".\tFİYATI OTUZBEŞLİRA\n");
  host::SetNumberSeparators(',', '.');
  std::string english = Capture(CmdSentences, {"--file", f.Path()});
  host::SetNumberSeparators('.', ',');
  EXPECT_EQ(english, ".\tFİYATI ÜÇNOKTABEŞLİRA\n");
}

TEST(CmdText, HelpAndErrors) {
  int rc = -1;
  EXPECT_NE(Capture(CmdUnits, {"--help"}, &rc).find("Usage: kalvor units"), std::string::npos);
  EXPECT_EQ(rc, 0);
  EXPECT_NE(Capture(CmdSentences, {"-h"}, &rc).find("Usage: kalvor sentences"), std::string::npos);
  EXPECT_EQ(rc, 0);

  auto [unknown, unknownCode] = Error(CmdUnits, {"--fast"});
  EXPECT_NE(unknown.find("--fast"), std::string::npos);
  EXPECT_EQ(unknownCode, 2);

  auto [missing, missingCode] = Error(CmdSentences, {"-f", "/no/such/dir/metin.txt"});
  EXPECT_NE(missing.find("/no/such/dir/metin.txt"), std::string::npos);
  EXPECT_EQ(missingCode, 1);

  TempFile latin("A\xFD\n");  // a Windows-1254 file, not UTF-8
  auto [notUtf8, notUtf8Code] = Error(CmdUnits, {"-f", latin.Path()});
  EXPECT_NE(notUtf8.find(latin.Path()), std::string::npos);
  EXPECT_EQ(notUtf8Code, 1);

  EXPECT_EQ(Error(CmdUnits, {"-f", latin.Path(), "metin"}).second, 2);  // text given twice
}

}  // namespace
}  // namespace kalvor::cli
