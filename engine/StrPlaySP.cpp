// The synthesis driver of TStrPlayer: the speaking loops over the front end's stepping operations,
// unit and pause emission, and the voice's data. The text operations live in StrPlaySP_Text,
// StrPlaySP_Numbers and StrPlaySP_Segment.
#include "StrPlaySP.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "StrPlaySP_Text.h"

namespace kalvor {
namespace {

// Letters and digits of s[from, to): what the unit steps consume.
std::int64_t CountLetters(const std::string& s, std::size_t from, std::size_t to) {
  std::int64_t n = 0;
  for (std::size_t i = from; i < to && i < s.size(); ++i) n += IsLetterOrDigit(s[i]) ? 1 : 0;
  return n;
}

std::int32_t Saturate(std::int64_t v) {
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

// Restores the idle state however a speaking loop is left, an exception included.
class SpeakingState {
 public:
  explicit SpeakingState(std::uint8_t& state) : state_(state) { state_ = 2; }
  ~SpeakingState() { state_ = 0; }
  SpeakingState(const SpeakingState&) = delete;
  SpeakingState& operator=(const SpeakingState&) = delete;

 private:
  std::uint8_t& state_;
};

}  // namespace

TStrPlayer::TStrPlayer()
    : FFonemList(std::make_unique<TFonemList>()), FOutput(std::make_unique<TMemoryStream>()) {}

TStrPlayer::~TStrPlayer() {
  // A player destroyed from inside its own handler asks the running Speak to end first.
  if (FState != 0) Stop();
}

void TStrPlayer::LoadData(const std::filesystem::path& FileName) {
  FFonemList->LoadFromFile(FileName);
  FDataSize = FFonemList->SampleWidth();
}

std::int32_t TStrPlayer::Speak(std::string_view Text) {
  return Speak(Text, {}, {});
}

std::int32_t TStrPlayer::Speak(std::string_view Text, const std::vector<std::size_t>& Cues,
                               const TCueEvent& OnCue) {
  // Cues are placed by letters: a cue stands after so many letters of the prepared text. The text
  // between two cues is prepared on its own to count them (preparing is local: a sign becomes its
  // word, W a V), and while speaking the letters the unit steps have consumed are counted.
  const bool cueing = !Cues.empty() && OnCue;
  std::vector<std::int64_t> cueAt;
  if (cueing) {
    cueAt.reserve(Cues.size());
    std::int64_t letters = 0;
    std::size_t from = 0;
    for (std::size_t cue : Cues) {
      const std::size_t to = std::min(std::max(cue, from), Text.size());
      FText = UpperCaseTr(Text.substr(from, to - from));
      PrepareText();
      letters += CountLetters(FText, 0, FText.size());
      cueAt.push_back(letters);
      from = to;
    }
  }
  std::size_t nextCue = 0;
  auto fireCues = [&](std::int64_t reached) {
    while (nextCue < cueAt.size() && cueAt[nextCue] <= reached && CanContinue())
      OnCue(*this, nextCue++);
  };

  BeginText(Text);
  FStopped = false;
  FPaused = false;
  FHRes = 0;
  FSentencePos = 0;
  FTextPos = 0;
  FWordPos = 0;
  {
    SpeakingState speaking(FState);
    FOutput->Clear();
    std::int64_t lettersBefore = 0;  // letters of FText in the sentences done
    std::int32_t sentenceFrom = 0;   // where in FText the sentence's search began
    while (CanContinue() && NextSentence()) {
      FQuestionWord = -1;
      if (FSentenceKind == 1) FindQuestionWord();
      std::int64_t written = 0, spoken = 0, consumed = 0;
      if (cueing) {
        written = CountLetters(FText, static_cast<std::size_t>(sentenceFrom),
                               static_cast<std::size_t>(std::min<std::int32_t>(
                                   FTextPos, static_cast<std::int32_t>(FText.size()))));
        while (NextWord()) spoken += CountLetters(FWord, 0, FWord.size());
        FSentencePos = 0;
        FWordPos = 0;
      }
      FWordIndex = -1;
      while (CanContinue() && NextWord()) {
        ++FWordIndex;
        FPrevChar = 0;
        std::size_t counted = 0;  // of FWord, in consumed
        for (;;) {
          if (!CanContinue()) break;
          const std::int32_t at = FWordPos;
          if (!NextUnit()) break;
          FPrevChar = FCurChar;
          if (cueing) {
            consumed += CountLetters(FWord, counted, static_cast<std::size_t>(at));
            counted = static_cast<std::size_t>(at);
            fireCues(lettersBefore + (spoken > 0 ? consumed * written / spoken : 0));
            if (!CanContinue()) break;
          }
          EmitUnits(FHiz);
        }
        if (cueing) consumed += CountLetters(FWord, counted, FWord.size());
      }
      // The sentence's closing pause comes however its word loop ended; the sentence loop's test
      // then decides whether speaking goes on.
      EmitSilence(Saturate(3 * std::int64_t{FHiz}));
      lettersBefore += written;
      sentenceFrom = FTextPos;
    }
    // What stands behind the last letter comes after all of the audio.
    if (cueing && !FStopped && FHRes == 0 && !FPaused) fireCues(INT64_MAX);
  }
  if (!FPaused && FOnEndOfData) FOnEndOfData(*this);
  return FHRes;
}

std::int32_t TStrPlayer::WordRaise() const {
  if (FSentenceKind == 0) return FWordIndex == 0 || FWordIndex == 1 ? 3 : 0;
  if (FSentenceKind == 1) return FWordIndex == FQuestionWord ? 1 : 0;
  return 0;
}

// Speaking after a pause carries intonation: the first two words of a statement a little faster
// and higher, the question word rising unit by unit, and a short pause after every word.
std::int32_t TStrPlayer::Resume() {
  if (!FPaused) return 0;
  FPaused = false;
  {
    SpeakingState speaking(FState);
    FOutput->Clear();
    bool inSentence = true;  // the paused sentence and word go on where they stopped
    bool inWord = FWordIndex >= 0;
    do {
      if (!inSentence) {
        FQuestionWord = -1;
        if (FSentenceKind == 1) FindQuestionWord();
        FWordIndex = -1;
      }
      inSentence = false;
      std::int32_t r = 0;
      while (inWord || (CanContinue() && NextWord())) {
        if (!inWord) {
          ++FWordIndex;
          FPrevChar = 0;
        }
        inWord = false;
        r = WordRaise();
        bool rising = FSentenceKind == 1 && FWordIndex == FQuestionWord;
        while (CanContinue() && NextUnit()) {
          FPrevChar = FCurChar;
          if (rising && r < 7) ++r;
          EmitUnits(Saturate(std::int64_t{FHiz} + r));
        }
        EmitSilence(Saturate(std::int64_t{FHiz} + r));
      }
      EmitSilence(Saturate(3 * (std::int64_t{FHiz} + r)));
    } while (CanContinue() && NextSentence());
  }
  if (!FPaused && FOnEndOfData) FOnEndOfData(*this);
  return FHRes;
}

void TStrPlayer::EmitUnits(std::int32_t Rate) {
  if (!FOnPlaySyl) return;
  // Both names are taken before the first event: a handler may act on the player re-entrantly.
  const TStr3 names[2] = {FUnit1, FUnit2};
  for (const TStr3& name : names) {
    if (name.Empty()) continue;
    FOutput->Reset();
    FFonemList->AppendUnit(name.View(), *FOutput, Rate);
    FOnPlaySyl(*this, name, FHRes);
  }
}

void TStrPlayer::EmitSilence(std::int32_t n) {
  if (!FOnPlaySyl) return;
  FOutput->Clear();
  // n counts 8 x DataSize samples: milliseconds for 16-bit output at 16000 samples per second.
  std::int64_t count = std::int64_t{n} * 8 * FDataSize;
  if (count > 0) {
    const std::uint8_t value = static_cast<std::uint8_t>((FDataSize & 1) << 7);  // 128 or 0
    std::vector<std::uint8_t> pause(static_cast<std::size_t>(count) * FDataSize, value);
    FOutput->Write(pause.data(), pause.size());
  }
  FOnPlaySyl(*this, TStr3(), FHRes);
}

}  // namespace kalvor
