#include "OrvelSpeech.h"

#include <cstring>
#include <limits>
#include <tuple>
#include <utility>

namespace lumeko {

namespace {

// The text of a fixed-size ANSI field, up to its first NUL, in UTF-16.
template <std::size_t N>
std::wstring FromAnsi(const CHAR (&field)[N]) {
  int length = static_cast<int>(strnlen(field, N));
  if (length == 0) return {};
  int n = MultiByteToWideChar(CP_ACP, 0, field, length, nullptr, 0);
  std::wstring text(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, field, length, text.data(), n);
  return text;
}

std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = L"";
  StringFromGUID2(guid, text, 40);
  return text;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()),
                        b.data(), static_cast<int>(b.size())) == CSTR_EQUAL;
}

// The range of one attribute, learnt by asking for the extremes: an engine clamps a request to
// its limits. The value is put back as it was. Answers {minimum, maximum}. The methods' class is
// deduced: the ANSI interface inherits them from the declaration it shares with the wide one.
template <class Interface, class T>
std::pair<T, T> ProbeRange(ITTSAttributesA& a, HRESULT (STDMETHODCALLTYPE Interface::*get)(T*),
                           HRESULT (STDMETHODCALLTYPE Interface::*set)(T)) {
  T saved = 0, max = 0, min = 0;
  (a.*get)(&saved);
  (a.*set)(std::numeric_limits<T>::max());
  (a.*get)(&max);
  (a.*set)(0);
  (a.*get)(&min);
  (a.*set)(saved);
  return {min, max};
}

// The component's messages.
const char kNotLoaded[] = "Konuşma Motoru yüklenedi";
const char kNotFound[] = "Belirtilen Konuşma Motoru bulunamadı";
const char kNotSelected[] = "Konuşma Motoru seçilmedi";
const char kNoEngine[] = "Sentezleme motoru seçilemedi!";

}  // namespace

TOrvelSpeech::TOrvelSpeech() = default;

TOrvelSpeech::~TOrvelSpeech() {
  FEnginesLoaded = false;
  // The mode goes before the enumerator that made it and the device it speaks into.
  FAttributes.Reset();
  FCentral.Reset();
  FAudio.Reset();
  FEnum.Reset();
}

void TOrvelSpeech::LoadEngines() {
  FEnginesLoaded = true;
  FEngineSelected = false;
  Engines.clear();
  FEnum.Reset();
  ITTSEnumA* enumerator = nullptr;
  if (FAILED(CoCreateInstance(CLSID_TTSEnumerator, nullptr, CLSCTX_ALL, IID_ITTSEnumA,
                              reinterpret_cast<void**>(&enumerator))) ||
      enumerator == nullptr) {
    FEnginesLoaded = false;
    return;
  }
  FEnum.Attach(enumerator);
  if (FAILED(FEnum->Reset())) {
    FEnginesLoaded = false;
    return;
  }
  auto info = std::make_unique<TTSMODEINFOA>();
  for (;;) {
    ULONG fetched = 0;
    std::memset(info.get(), 0, sizeof(TTSMODEINFOA));
    if (FAILED(FEnum->Next(1, info.get(), &fetched))) {
      FEnginesLoaded = false;
      return;
    }
    if (fetched == 0) break;
    Engines.push_back(FromAnsi(info->szModeName));
  }
}

void TOrvelSpeech::SelectEngine(const std::wstring& modeName) {
  if (!FEnginesLoaded) throw EOrvelSpeechException(kNotLoaded);
  FAttributes.Reset();
  FCentral.Reset();
  std::size_t index = 0;
  while (index < Engines.size() && !SameName(Engines[index], modeName)) ++index;
  if (index == Engines.size()) {
    FEngineSelected = false;
    throw EOrvelSpeechException(kNotFound);
  }
  FEngineSelected = false;
  // The enumerator is walked again on every selection: the position in Engines is the position
  // in the run time's list.
  if (!FEnum || FAILED(FEnum->Reset())) return;
  auto info = std::make_unique<TTSMODEINFOA>();
  for (std::size_t i = 0; i <= index; ++i) {
    ULONG fetched = 0;
    if (FAILED(FEnum->Next(1, info.get(), &fetched)) || fetched == 0) return;
  }
  FModeInfo = std::move(info);

  FAudio.Reset();
  IAudioMultiMediaDevice* audio = nullptr;
  if (FAILED(CoCreateInstance(CLSID_MMAudioDest, nullptr, CLSCTX_ALL, IID_IAudioMultiMediaDevice,
                              reinterpret_cast<void**>(&audio))) ||
      audio == nullptr)
    return;
  FAudio.Attach(audio);

  ITTSCentralA* central = nullptr;
  if (FAILED(FEnum->Select(FModeInfo->gModeID, &central, FAudio.Get())) || central == nullptr)
    return;
  FCentral.Attach(central);
  ITTSAttributesA* attributes = nullptr;
  if (FAILED(
          FCentral->QueryInterface(IID_ITTSAttributesA, reinterpret_cast<void**>(&attributes))) ||
      attributes == nullptr)
    return;
  FAttributes.Attach(attributes);
  FEngineSelected = true;
  FillEngineInfo(*FModeInfo);
}

void TOrvelSpeech::FillEngineInfo(const TTSMODEINFOA& info) {
  TOrvelSpeechEngineInfo& e = FEngineInfo;
  e.ModeName = FromAnsi(info.szModeName);
  e.Dialect = FromAnsi(info.language.szDialect);
  e.MfgName = FromAnsi(info.szMfgName);
  e.ProductName = FromAnsi(info.szProductName);
  e.ModeID = GuidText(info.gModeID);
  e.EngineID = GuidText(info.gEngineID);
  e.Speaker = FromAnsi(info.szSpeaker);
  e.Style = FromAnsi(info.szStyle);
  switch (info.wGender) {
    case GENDER_NEUTRAL:
      e.Gender = L"TARAFSIZ";
      break;
    case GENDER_FEMALE:
      e.Gender = L"KADIN";
      break;
    case GENDER_MALE:
      e.Gender = L"ERKEK";
      break;
    default:
      break;  // an unknown code keeps the previous text
  }
  e.Age = info.wAge;
  e.Features = info.dwFeatures;
  e.Interfaces = info.dwInterfaces;

  ITTSAttributesA& a = *FAttributes.Get();
  std::tie(e.MinPitch, e.MaxPitch) =
      ProbeRange(a, &ITTSAttributesA::PitchGet, &ITTSAttributesA::PitchSet);
  std::tie(e.MinSpeed, e.MaxSpeed) =
      ProbeRange(a, &ITTSAttributesA::SpeedGet, &ITTSAttributesA::SpeedSet);
  std::tie(e.MinVolume, e.MaxVolume) =
      ProbeRange(a, &ITTSAttributesA::VolumeGet, &ITTSAttributesA::VolumeSet);
}

void TOrvelSpeech::Speak() {
  if (!FEnginesLoaded) throw EOrvelSpeechException(kNotLoaded);
  if (!FEngineSelected) throw EOrvelSpeechException(kNotSelected);
  std::wstring s;
  for (const auto& line : Text) {
    s += line;
    s += L"\r\n";
  }
  if (s.empty() || !FCentral) return;

  ITTSCentralW* wide = nullptr;
  if (SUCCEEDED(FCentral->QueryInterface(IID_ITTSCentralW, reinterpret_cast<void**>(&wide))) &&
      wide != nullptr) {
    TComPtr<ITTSCentralW> central(wide, false);
    // The size counts the terminating NUL, in bytes.
    SDATA data{const_cast<wchar_t*>(s.c_str()),
               static_cast<DWORD>((s.size() + 1) * sizeof(wchar_t))};
    central->TextData(CHARSET_TEXT, 0, data, FBufNotifySink, IID_ITTSBufNotifySink);
    return;
  }
  // A mode without the wide interface gets the text in the system's ANSI code page.
  int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr,
                              nullptr);
  std::string ansi(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), ansi.data(), n, nullptr,
                      nullptr);
  SDATA data{ansi.data(), static_cast<DWORD>(ansi.size() + 1)};
  FCentral->TextData(CHARSET_TEXT, 0, data, FBufNotifySink, IID_ITTSBufNotifySink);
}

void TOrvelSpeech::Stop() {
  if (FEnginesLoaded && FEngineSelected && FCentral) FCentral->AudioReset();
}

ITTSAttributesA& TOrvelSpeech::SelectedAttributes() const {
  if (!FEngineSelected || !FAttributes) throw kalvor::Exception(kNoEngine);
  return *FAttributes.Get();
}

std::uint16_t TOrvelSpeech::Pitch() {
  return AttributeGet(&ITTSAttributesA::PitchGet);
}

void TOrvelSpeech::SetPitch(std::uint16_t value) {
  SelectedAttributes().PitchSet(value);
}

std::uint32_t TOrvelSpeech::Speed() {
  return AttributeGet(&ITTSAttributesA::SpeedGet);
}

void TOrvelSpeech::SetSpeed(std::uint32_t value) {
  SelectedAttributes().SpeedSet(value);
}

std::uint32_t TOrvelSpeech::Volume() {
  return AttributeGet(&ITTSAttributesA::VolumeGet);
}

void TOrvelSpeech::SetVolume(std::uint32_t value) {
  SelectedAttributes().VolumeSet(value);
}

}  // namespace lumeko
