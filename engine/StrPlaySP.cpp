// The synthesis driver of TStrPlayer: the speaking loops over the front end's stepping operations,
// unit and pause emission, and the voice's data. The text operations live in StrPlaySP_Text,
// StrPlaySP_Numbers and StrPlaySP_Segment.
#include "StrPlaySP.h"

#include <limits>
#include <vector>

namespace kalvor {
namespace {

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
    while (CanContinue() && NextSentence()) {
      FQuestionWord = -1;
      if (FSentenceKind == 1) FindQuestionWord();
      FWordIndex = -1;
      while (CanContinue() && NextWord()) {
        ++FWordIndex;
        FPrevChar = 0;
        while (CanContinue() && NextUnit()) {
          FPrevChar = FCurChar;
          EmitUnits(FHiz);
        }
      }
      // The sentence's closing pause comes however its word loop ended; the sentence loop's test
      // then decides whether speaking goes on.
      EmitSilence(Saturate(3 * std::int64_t{FHiz}));
    }
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
