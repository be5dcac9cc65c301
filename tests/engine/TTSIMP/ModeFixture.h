// A mode object on a fake audio destination with a synthetic voice, and what the synthesizer on
// its own makes of a text: the yardstick for what the mode must hand over.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FakeAudioDest.h"
#include "SpcMode.h"
#include "SyntheticVoice.h"

namespace kalvor::test {

// One OnPlaySyl event of the synthesizer: the unit name (empty for a pause) and its samples.
struct RefEvent {
  std::string syl;
  std::vector<std::uint8_t> bytes;
};

// What a synthesizer of its own, with the voice and rate given, emits for a Windows-1254 text.
std::vector<RefEvent> ReferenceEvents(const std::filesystem::path& voice, std::string_view text,
                                      std::int32_t hiz = 100);
std::vector<std::uint8_t> Concat(const std::vector<RefEvent>& events);

// "Ali geldi. Ay\u015Fe gitti.": two sentences, Turkish letters in both, in UTF-16 and in
// Windows-1254.
inline constexpr wchar_t kTwoSentencesW[] = L"Ali geldi. Ay\u015Fe gitti.";
inline constexpr char kTwoSentences[] =
    "Ali geldi. Ay\xFE"
    "e gitti.";

// The letters' bookmarks the mode places for kTwoSentences at rate 100 with the fixture's voice,
// each with the bytes written before it. The synthesizer's units (with * for the dotted capital I,
// 0xDD, and $ for the capital S with cedilla, 0xDE) are A1 AL* *GE _EL D* _D*, a pause of 9600
// bytes, A1 _AY $E EG* _*T T* _T* and a pause: the first two letters of a unit are marked before
// its samples and the third after them; "_" is no letter.
extern const std::vector<FakeAudioDest::Mark> kTwoSentencesMarks;

// Two new buffer sinks that write their events, each under its name, into one journal.
std::pair<RecordingBufSink*, RecordingBufSink*> JournaledSinks(std::vector<std::string>& journal,
                                                               const char* first,
                                                               const char* second);

class ModeTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;
  void TearDown() override;

  // TextData (W) with a terminated copy of text.
  HRESULT Say(std::wstring_view text, IUnknown* sink = nullptr,
              const IID& iid = IID_ITTSBufNotifySink);
  std::vector<RefEvent> Reference(std::string_view cp1254, std::int32_t hiz = 100) const {
    return ReferenceEvents(VoicePath(), cp1254, hiz);
  }
  static const std::filesystem::path& VoicePath();

  FakeAudioDest* fake = nullptr;
  TSpcMode* mode = nullptr;
  ITTSCentralW* central = nullptr;
  HandlerWindow handler;

 private:
  LONG objectsBefore_ = 0;
  static std::unique_ptr<TempDir> dir_;
  static std::filesystem::path voice_;
};

}  // namespace kalvor::test
