// TOrvelSpeech: Lumeko's only way to reach a speech engine, as a client of the SAPI 4 run time. It
// lists the installed text-to-speech voice modes, selects one by name with the default multimedia
// wave device as audio destination, hands it text, stops it, and reads and writes its pitch, speed
// and volume. It never loads an engine itself: the run time does that when a mode is selected.
//
// The SAPI calls use the ANSI (A) interfaces, except for the text itself: Speak hands UTF-16 to
// the mode's ITTSCentralW when the mode offers it, so Turkish letters reach the engine on a system
// whose ANSI code page has none of them. Names and descriptions are given to the program in
// UTF-16, converted from the ANSI code page the run time answers in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ComSupport.h"
#include "Framework.h"
#include "Speech.h"

namespace lumeko {

// The speech component's own errors: no engines loaded, unknown mode name, no mode selected.
class EOrvelSpeechException : public kalvor::Exception {
 public:
  using kalvor::Exception::Exception;
};

// What the component knows of the selected mode.
struct TOrvelSpeechEngineInfo {
  std::wstring ModeName;
  std::wstring Dialect;
  std::wstring MfgName;
  std::wstring ProductName;
  std::wstring ModeID;    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case
  std::wstring EngineID;  // the same form
  std::wstring Speaker;
  std::wstring Style;
  std::wstring Gender;  // "TARAFSIZ", "KADIN" or "ERKEK"; unchanged for any other gender code
  std::int32_t Age = 0;
  std::uint32_t Features = 0;
  std::uint32_t Interfaces = 0;
  // Ranges as the engine reported them when asked for the extremes.
  std::uint16_t MaxPitch = 0;
  std::uint16_t MinPitch = 0;
  std::uint32_t MaxSpeed = 0;
  std::uint32_t MinSpeed = 0;
  std::uint32_t MaxVolume = 0;
  std::uint32_t MinVolume = 0;
};

class TOrvelSpeech {
 public:
  TOrvelSpeech();
  ~TOrvelSpeech();
  TOrvelSpeech(const TOrvelSpeech&) = delete;
  TOrvelSpeech& operator=(const TOrvelSpeech&) = delete;

  // Mode names in the order the run time listed them; never sorted, duplicates kept.
  std::vector<std::wstring> Engines;
  // The text Speak sends, one entry per line.
  std::vector<std::wstring> Text;

  // Fills Engines. Never throws: a failure leaves EnginesLoaded false (and the names listed so
  // far in Engines).
  void LoadEngines();
  bool EnginesLoaded() const { return FEnginesLoaded; }

  // Selects the first mode whose name equals the given one, ignoring letter case. Throws
  // EOrvelSpeechException when no engines are loaded or the name is unknown; a failure of the
  // run time or the engine after that only leaves EngineSelected false.
  void SelectEngine(const std::wstring& modeName);
  bool EngineSelected() const { return FEngineSelected; }
  const TOrvelSpeechEngineInfo& EngineInfo() const { return FEngineInfo; }
  // The copy of the selected mode's record (null before the first selection).
  const TTSMODEINFOA* ModeInfo() const { return FModeInfo.get(); }

  // Hands Text to the selected mode as one more item, without stopping what it is saying: the
  // lines joined with CR LF after each, NUL-terminated. An empty text is not sent. Throws
  // EOrvelSpeechException when no engines are loaded or no mode is selected; a failure of the
  // engine is not reported.
  void Speak();
  // Stops speaking and discards queued text. Never throws.
  void Stop();

  // Straight through to the mode's attributes; the engine's result codes are not looked at.
  // Throw kalvor::Exception "Sentezleme motoru seçilemedi!" when no mode is selected.
  std::uint16_t Pitch();
  void SetPitch(std::uint16_t value);
  std::uint32_t Speed();
  void SetSpeed(std::uint32_t value);
  std::uint32_t Volume();
  void SetVolume(std::uint32_t value);

  // Always "Lumeko 0.1"; a value written goes nowhere that is read.
  std::wstring Version() const { return L"Lumeko 0.1"; }
  void SetVersion(const std::wstring& value) { FVersionWritten = value; }

 private:
  template <class T>
  using TComPtr = sapi4::TComRef<T>;

  void FillEngineInfo(const TTSMODEINFOA& info);
  // The selected mode's attributes; throws kalvor::Exception when no mode is selected.
  ITTSAttributesA& SelectedAttributes() const;
  template <class Interface, class T>
  T AttributeGet(HRESULT (STDMETHODCALLTYPE Interface::*get)(T*)) const {
    T value = 0;
    (SelectedAttributes().*get)(&value);
    return value;
  }

  bool FEngineSelected = false;
  bool FEnginesLoaded = false;
  TComPtr<IAudioMultiMediaDevice> FAudio;
  TOrvelSpeechEngineInfo FEngineInfo;
  TComPtr<ITTSAttributesA> FAttributes;
  TComPtr<ITTSCentralA> FCentral;
  TComPtr<ITTSEnumA> FEnum;
  // Never set: nobody listens to the text's progress.
  ITTSBufNotifySink* FBufNotifySink = nullptr;
  std::wstring FVersionWritten;
  std::unique_ptr<TTSMODEINFOA> FModeInfo;
};

}  // namespace lumeko
