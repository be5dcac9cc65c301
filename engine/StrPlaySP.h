// TStrPlayer: the engine's synthesizer. It carries the Turkish text front end (preparation, number
// reading, sentence, word and unit stepping) and the synthesis driver that fetches every unit from
// the voice's inventory and hands the samples to its owner one batch at a time.
//
// Engine text is Windows-1254 bytes, upper case from the moment Speak stores it, with 1-based
// positions in the cursors below.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Framework.h"
#include "UFonemSP.h"

namespace kalvor {

// A unit name: at most 3 characters, held in place.
class TStr3 {
 public:
  TStr3() = default;
  TStr3(std::string_view s) { Assign(s); }  // NOLINT: converts like the short string it stands for
  TStr3(const char* s) : TStr3(std::string_view(s)) {}

  void Assign(std::string_view s) {
    len_ = static_cast<std::uint8_t>(s.size() < 3 ? s.size() : 3);
    for (std::uint8_t i = 0; i < len_; ++i) s_[i] = s[i];
  }
  std::string_view View() const { return {s_, len_}; }
  std::string Str() const { return std::string(s_, len_); }
  std::size_t Size() const { return len_; }
  bool Empty() const { return len_ == 0; }
  char operator[](std::size_t i) const { return s_[i]; }
  friend bool operator==(const TStr3& a, const TStr3& b) { return a.View() == b.View(); }

 private:
  std::uint8_t len_ = 0;
  char s_[3] = {0, 0, 0};
};

class TStrPlayer {
 public:
  // Fired for every unit and every pause; the handler reads OutputStream() and leaves 0 in HRES to
  // go on, anything else to end the speaking.
  using TPlaySylableEvent = std::function<void(TStrPlayer& Sender, TStr3 Syl, std::int32_t& HRES)>;
  using TNotifyEvent = std::function<void(TStrPlayer& Sender)>;
  // Fired for cue Index of a Speak with cues (see there).
  using TCueEvent = std::function<void(TStrPlayer& Sender, std::size_t Index)>;

  TStrPlayer();
  ~TStrPlayer();
  TStrPlayer(const TStrPlayer&) = delete;
  TStrPlayer& operator=(const TStrPlayer&) = delete;

  // Published properties.
  std::int32_t Hiz() const { return FHiz; }
  void SetHiz(std::int32_t v) { FHiz = v; }
  std::int32_t KelimeArasiBekleme() const { return FKelimeArasiBekleme; }
  void SetKelimeArasiBekleme(std::int32_t v) { FKelimeArasiBekleme = v; }
  std::int32_t Efekt() const { return FEfekt; }
  void SetEfekt(std::int32_t v) { FEfekt = v; }
  std::uint8_t DataSize() const { return FDataSize; }
  void SetDataSize(std::uint8_t v) { FDataSize = v; }
  const TPlaySylableEvent& OnPlaySyl() const { return FOnPlaySyl; }
  void SetOnPlaySyl(TPlaySylableEvent e) { FOnPlaySyl = std::move(e); }
  const TNotifyEvent& OnEndOfData() const { return FOnEndOfData; }
  void SetOnEndOfData(TNotifyEvent e) { FOnEndOfData = std::move(e); }

  // Synthesis driver.
  void LoadData(const std::filesystem::path& FileName);
  std::int32_t Speak(std::string_view Text);
  // Speaks Text exactly as Speak(Text) does, and calls OnCue once for each cue, in order: a cue
  // is a byte offset into Text (ascending), and it fires right before the first unit that holds a
  // letter of the text after it; cues behind the last letter fire after the last pause, and only
  // when the text was spoken to its end. Within a sentence whose spoken letters differ from its
  // written ones (numbers read out, long vowels) a cue falls in proportion. A cue handler may
  // change Hiz (it takes effect with the next unit) and call EmitPause.
  std::int32_t Speak(std::string_view Text, const std::vector<std::size_t>& Cues,
                     const TCueEvent& OnCue);
  // A pause of n (milliseconds at 16-bit output and 16000 samples per second) through OnPlaySyl,
  // as after a sentence; for cue handlers.
  void EmitPause(std::int32_t n) { EmitSilence(n); }
  std::int32_t Resume();
  void Stop() { FStopped = true; }
  bool Paused() const { return FPaused; }
  TMemoryStream& OutputStream() { return *FOutput; }
  TFonemList& FonemList() { return *FFonemList; }

  // Stage-wise use (command line, tests): takes a text exactly as Speak does (trim, Turkish
  // upper-casing, PrepareText, cursors to 0) without speaking it; the stepping operations below
  // can then be called one by one. The speaking order of units is Speak's own: to list them, speak
  // with an OnPlaySyl that records the names (no voice is needed for that).
  void BeginText(std::string_view Text);

  // Text front end.
  void PrepareText();
  void ExpandNumbers();
  bool NextSentence();
  bool NextWord();
  bool NextUnit();
  void FindQuestionWord();
  bool IsQuestionWord(std::int32_t Index);
  void ApplyLongVowels();

  // Text state of the front end, written only by the player's own operations.
  const std::string& Text() const { return FText; }
  std::uint8_t SentenceKind() const { return FSentenceKind; }  // 0 statement, 1 question, 2 !
  const std::string& Sentence() const { return FSentence; }
  const std::string& Word() const { return FWord; }
  const TStr3& Unit1() const { return FUnit1; }
  const TStr3& Unit2() const { return FUnit2; }
  char CurChar() const { return FCurChar; }
  std::int32_t TextPos() const { return FTextPos; }
  std::int32_t SentencePos() const { return FSentencePos; }
  char PrevChar() const { return FPrevChar; }
  char LastConsonant() const { return FLastConsonant; }
  std::int32_t WordPos() const { return FWordPos; }
  std::int32_t QuestionWord() const { return FQuestionWord; }

 private:
  // The test seam (StrPlaySP_Stages.h): sets the text state for tests of one stepping operation
  // and lets the front end's invariant checker walk the speaking order step by step.
  friend struct TStrPlayerStages;

  struct TCueing;
  // The speaking loop of Speak and Resume. Resuming goes on in the paused sentence and word, with
  // the intonation of speech after a pause; Cues (Speak only) are fired on the way.
  void Run(bool Resuming, TCueing* Cues);
  // A sentence of the speaking order begins: its question word is found, no word taken yet.
  void BeginSentence();
  // The next word of the sentence on its own, without gluing.
  bool TakeWord();
  // A new word or sentence starts: no letter before it shapes its first unit.
  void ForgetPreviousLetters() {
    FPrevChar = 0;
    FLastConsonant = 0;
  }

  bool CanContinue() const { return !FStopped && !FPaused && FHRes == 0; }
  void EmitUnits(std::int32_t Rate);
  void EmitSilence(std::int32_t n);
  // Intonation raise for the word at FWordIndex when speaking resumes after a pause.
  std::int32_t WordRaise() const;

  std::string FText;
  std::uint8_t FSentenceKind = 0;
  std::string FSentence;
  std::string FWord;
  TStr3 FUnit1;
  TStr3 FUnit2;
  char FCurChar = 0;
  std::int32_t FTextPos = 0;
  std::int32_t FSentencePos = 0;
  char FPrevChar = 0;
  char FLastConsonant = 0;
  std::int32_t FWordPos = 0;
  std::int32_t FQuestionWord = -1;

  std::uint8_t FState = 0;  // 0 idle, 2 speaking
  bool FStopped = false;
  std::int32_t FHiz = 100;
  std::int32_t FKelimeArasiBekleme = 150;
  std::int32_t FEfekt = 0;
  TPlaySylableEvent FOnPlaySyl;
  TNotifyEvent FOnEndOfData;
  bool FPaused = false;
  std::unique_ptr<TFonemList> FFonemList;
  std::int32_t FHRes = 0;
  std::uint8_t FDataSize = 0;
  std::unique_ptr<TMemoryStream> FOutput;
  std::int32_t FWordIndex = -1;  // 0-based index of the current word in its sentence
};

}  // namespace kalvor
