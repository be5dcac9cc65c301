// The synthesis driver of TStrPlayer: the speaking loops over the front end's stepping operations,
// unit and pause emission, and the voice's data. The text operations live in StrPlaySP_Text,
// StrPlaySP_Numbers and StrPlaySP_Segment.
#include "StrPlaySP.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
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

// Cues are placed by letters: a cue stands after so many letters of the prepared text. The text
// between two cues is prepared on its own to count them (preparing is local: a sign becomes its
// word, W a V), and while speaking the letters the unit steps have consumed are counted.
struct TStrPlayer::TCueing {
  const TCueEvent& OnCue;
  std::vector<std::int64_t> At;  // letters before each cue
  std::size_t Next = 0;
  std::int64_t LettersBefore = 0;  // letters of FText in the sentences done
  std::int32_t SentenceFrom = 0;   // where in FText the sentence's search began
  // Of the current sentence: its written and spoken letters, and those the unit steps consumed.
  std::int64_t Written = 0, Spoken = 0, Consumed = 0;
  std::size_t Counted = 0;  // of FWord, in Consumed

  void Fire(TStrPlayer& p, std::int64_t reached) {
    while (Next < At.size() && At[Next] <= reached && p.CanContinue()) OnCue(p, Next++);
  }
  // A sentence was found (and its question word): count its letters, written and as spoken.
  void BeginSentence(TStrPlayer& p) {
    Written = CountLetters(p.FText, static_cast<std::size_t>(SentenceFrom),
                           static_cast<std::size_t>(std::min<std::int32_t>(
                               p.FTextPos, static_cast<std::int32_t>(p.FText.size()))));
    Spoken = Consumed = 0;
    while (p.NextWord()) Spoken += CountLetters(p.FWord, 0, p.FWord.size());
    p.FSentencePos = 0;
    p.FWordPos = 0;
  }
  void BeginWord() { Counted = 0; }
  // A unit step that began at word position at has been taken.
  void UnitTaken(TStrPlayer& p, std::int32_t at) {
    Consumed += CountLetters(p.FWord, Counted, static_cast<std::size_t>(at));
    Counted = static_cast<std::size_t>(at);
    Fire(p, LettersBefore + (Spoken > 0 ? Consumed * Written / Spoken : 0));
  }
  void EndWord(TStrPlayer& p) { Consumed += CountLetters(p.FWord, Counted, p.FWord.size()); }
  void EndSentence(TStrPlayer& p) {
    LettersBefore += Written;
    SentenceFrom = p.FTextPos;
  }
};

std::int32_t TStrPlayer::Speak(std::string_view Text, const std::vector<std::size_t>& Cues,
                               const TCueEvent& OnCue) {
  std::optional<TCueing> cueing;
  if (!Cues.empty() && OnCue) {
    cueing.emplace(TCueing{OnCue, {}});
    cueing->At.reserve(Cues.size());
    std::int64_t letters = 0;
    std::size_t from = 0;
    for (std::size_t cue : Cues) {
      const std::size_t to = std::min(std::max(cue, from), Text.size());
      FText = UpperCaseTr(Text.substr(from, to - from));
      PrepareText();
      letters += CountLetters(FText, 0, FText.size());
      cueing->At.push_back(letters);
      from = to;
    }
  }

  BeginText(Text);
  FStopped = false;
  FPaused = false;
  FHRes = 0;
  FSentencePos = 0;
  FTextPos = 0;
  FWordPos = 0;
  Run(false, cueing ? &*cueing : nullptr);
  return FHRes;
}

// Speaking after a pause carries intonation: the first two words of a statement a little faster
// and higher, the question word rising unit by unit, and a short pause after every word.
std::int32_t TStrPlayer::Resume() {
  if (!FPaused) return 0;
  FPaused = false;
  Run(true, nullptr);
  return FHRes;
}

void TStrPlayer::BeginSentence() {
  FQuestionWord = -1;
  if (FSentenceKind == 1) FindQuestionWord();
  FWordIndex = -1;
}

void TStrPlayer::Run(bool Resuming, TCueing* Cues) {
  {
    SpeakingState speaking(FState);
    FOutput->Clear();
    // A resumed speaking goes on in the paused sentence and word where they stopped.
    bool inSentence = Resuming;
    bool inWord = Resuming && FWordIndex >= 0;
    for (;;) {
      if (!inSentence) {
        if (!CanContinue() || !NextSentence()) break;
        BeginSentence();
        if (Cues) Cues->BeginSentence(*this);
      }
      inSentence = false;
      std::int32_t r = 0;
      while (inWord || (CanContinue() && NextWord())) {
        if (!inWord) ++FWordIndex;
        inWord = false;
        if (Cues) Cues->BeginWord();
        r = Resuming ? WordRaise() : 0;
        const bool rising = Resuming && FSentenceKind == 1 && FWordIndex == FQuestionWord;
        for (;;) {
          if (!CanContinue()) break;
          const std::int32_t at = FWordPos;
          if (!NextUnit()) break;
          if (Cues) {
            Cues->UnitTaken(*this, at);
            if (!CanContinue()) break;
          }
          if (rising && r < 7) ++r;
          EmitUnits(Saturate(std::int64_t{FHiz} + r));
        }
        if (Cues) Cues->EndWord(*this);
        if (Resuming) EmitSilence(Saturate(std::int64_t{FHiz} + r));
      }
      // The sentence's closing pause comes however its word loop ended; the sentence loop's test
      // then decides whether speaking goes on.
      EmitSilence(Saturate(3 * (std::int64_t{FHiz} + r)));
      if (Cues) Cues->EndSentence(*this);
    }
    // What stands behind the last letter comes after all of the audio.
    if (Cues && !FStopped && FHRes == 0 && !FPaused) Cues->Fire(*this, INT64_MAX);
  }
  if (!FPaused && FOnEndOfData) FOnEndOfData(*this);
}

std::int32_t TStrPlayer::WordRaise() const {
  if (FSentenceKind == 0) return FWordIndex == 0 || FWordIndex == 1 ? 3 : 0;
  if (FSentenceKind == 1) return FWordIndex == FQuestionWord ? 1 : 0;
  return 0;
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
