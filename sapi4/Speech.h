// Our declarations of the SAPI 4 text-to-speech interfaces, records, constants and identifiers, as
// far as the engine, the stand-in run time and the reader use them. The SAPI 4 run time and its
// clients are 32-bit programs: the layout below must match theirs byte for byte, which the
// static_asserts at the end check for the i686 build. The same sources also build for x86_64 (the
// Windows tests run there), where only pointer-sized fields differ.
//
// Every method is __stdcall and returns HRESULT; the abstract classes list the methods in their
// published slot order after IUnknown's three. Parameters that the ABI passes by value (SDATA,
// GUID/IID, QWORD, CHAR/WCHAR) are declared by value: a reference would change the stack layout.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <mmreg.h>
#include <objbase.h>
#include <unknwn.h>

#include <cstddef>

// ---------------------------------------------------------------------------------------------
// Basic types

typedef unsigned __int64 QWORD;
typedef QWORD* PQWORD;

// A counted block of memory handed across the interface (text, wave format, ...).
struct SDATA {
  PVOID pData;
  DWORD dwSize;
};
typedef SDATA* PSDATA;

enum VOICECHARSET : int {
  CHARSET_TEXT = 0,
  CHARSET_IPAPHONETIC = 1,
  CHARSET_ENGINEPHONETIC = 2,
};

constexpr int TTSI_NAMELEN = 262;
constexpr int TTSI_STYLELEN = 262;
constexpr int LANG_LEN = 64;

struct LANGUAGEW {
  LANGID LanguageID;
  WCHAR szDialect[LANG_LEN];
};
typedef LANGUAGEW* PLANGUAGEW;

struct LANGUAGEA {
  LANGID LanguageID;
  CHAR szDialect[LANG_LEN];
};
typedef LANGUAGEA* PLANGUAGEA;

struct TTSMOUTH {
  BYTE bMouthHeight;
  BYTE bMouthWidth;
  BYTE bMouthUpturn;
  BYTE bJawOpen;
  BYTE bTeethUpperVisible;
  BYTE bTeethLowerVisible;
  BYTE bTonguePosn;
  BYTE bLipTension;
};
typedef TTSMOUTH* PTTSMOUTH;

struct TTSMODEINFOW {
  GUID gEngineID;
  WCHAR szMfgName[TTSI_NAMELEN];
  WCHAR szProductName[TTSI_NAMELEN];
  GUID gModeID;
  WCHAR szModeName[TTSI_NAMELEN];
  LANGUAGEW language;
  WCHAR szSpeaker[TTSI_NAMELEN];
  WCHAR szStyle[TTSI_STYLELEN];
  WORD wGender;
  WORD wAge;
  DWORD dwFeatures;
  DWORD dwInterfaces;
  DWORD dwEngineFeatures;
};
typedef TTSMODEINFOW* PTTSMODEINFOW;

struct TTSMODEINFOA {
  GUID gEngineID;
  CHAR szMfgName[TTSI_NAMELEN];
  CHAR szProductName[TTSI_NAMELEN];
  GUID gModeID;
  CHAR szModeName[TTSI_NAMELEN];
  LANGUAGEA language;
  CHAR szSpeaker[TTSI_NAMELEN];
  CHAR szStyle[TTSI_STYLELEN];
  WORD wGender;
  WORD wAge;
  DWORD dwFeatures;
  DWORD dwInterfaces;
  DWORD dwEngineFeatures;
};
typedef TTSMODEINFOA* PTTSMODEINFOA;

// How much each field of a search's criteria counts (Find).
struct TTSMODEINFORANK {
  DWORD dwEngineID;
  DWORD dwMfgName;
  DWORD dwProductName;
  DWORD dwModeID;
  DWORD dwModeName;
  DWORD dwLanguage;
  DWORD dwDialect;
  DWORD dwSpeaker;
  DWORD dwStyle;
  DWORD dwGender;
  DWORD dwAge;
  DWORD dwFeatures;
  DWORD dwInterfaces;
  DWORD dwEngineFeatures;
};
typedef TTSMODEINFORANK* PTTSMODEINFORANK;

// ---------------------------------------------------------------------------------------------
// Constants

constexpr WORD GENDER_NEUTRAL = 0;
constexpr WORD GENDER_FEMALE = 1;
constexpr WORD GENDER_MALE = 2;

constexpr WORD TTSAGE_BABY = 1;
constexpr WORD TTSAGE_TODDLER = 3;
constexpr WORD TTSAGE_CHILD = 6;
constexpr WORD TTSAGE_ADOLESCENT = 14;
constexpr WORD TTSAGE_ADULT = 30;
constexpr WORD TTSAGE_ELDERLY = 70;

constexpr DWORD TTSFEATURE_ANYWORD = 1u << 0;
constexpr DWORD TTSFEATURE_VOLUME = 1u << 1;
constexpr DWORD TTSFEATURE_SPEED = 1u << 2;
constexpr DWORD TTSFEATURE_PITCH = 1u << 3;
constexpr DWORD TTSFEATURE_TAGGED = 1u << 4;
constexpr DWORD TTSFEATURE_IPAUNICODE = 1u << 5;
constexpr DWORD TTSFEATURE_VISUAL = 1u << 6;
constexpr DWORD TTSFEATURE_WORDPOSITION = 1u << 7;
constexpr DWORD TTSFEATURE_PCOPTIMIZED = 1u << 8;
constexpr DWORD TTSFEATURE_PHONEOPTIMIZED = 1u << 9;
constexpr DWORD TTSFEATURE_FIXEDAUDIO = 1u << 10;
constexpr DWORD TTSFEATURE_SINGLEINSTANCE = 1u << 11;
constexpr DWORD TTSFEATURE_THREADSAFE = 1u << 12;
constexpr DWORD TTSFEATURE_IPATEXTDATA = 1u << 13;
constexpr DWORD TTSFEATURE_PREFERRED = 1u << 14;
constexpr DWORD TTSFEATURE_TRANSPLANTED = 1u << 15;
constexpr DWORD TTSFEATURE_SAPI4 = 1u << 16;

constexpr DWORD TTSI_ILEXPRONOUNCE = 0x1;
constexpr DWORD TTSI_ITTSATTRIBUTES = 0x2;
constexpr DWORD TTSI_ITTSCENTRAL = 0x4;
constexpr DWORD TTSI_ITTSDIALOGS = 0x8;
constexpr DWORD TTSI_IATTRIBUTES = 0x10;
constexpr DWORD TTSI_ILEXPRONOUNCE2 = 0x20;

constexpr DWORD TTSDATAFLAG_TAGGED = 1;

// TextDataDone flags.
constexpr DWORD TTSBNS_ABORTED = 1;

// AttribChanged codes.
constexpr DWORD TTSNSAC_REALTIME = 0;
constexpr DWORD TTSNSAC_PITCH = 1;
constexpr DWORD TTSNSAC_SPEED = 2;
constexpr DWORD TTSNSAC_VOLUME = 3;

// Visual hints.
constexpr DWORD TTSNSHINT_QUESTION = 1;
constexpr DWORD TTSNSHINT_STATEMENT = 2;
constexpr DWORD TTSNSHINT_COMMAND = 4;
constexpr DWORD TTSNSHINT_EXCLAMATION = 8;
constexpr DWORD TTSNSHINT_EMPHASIS = 16;

// Reasons an audio destination gives with IAudioDestNotifySink::AudioStop.
constexpr WORD IANSRSN_NODATA = 0;
constexpr WORD IANSRSN_PRIORITY = 1;
constexpr WORD IANSRSN_INACTIVE = 2;
constexpr WORD IANSRSN_EOF = 3;

// ---------------------------------------------------------------------------------------------
// Error codes (FACILITY_ITF)

constexpr HRESULT TTSERR_WAVEFORMATNOTSUPPORTED = static_cast<HRESULT>(0x80040202);
constexpr HRESULT TTSERR_WAVEDEVICEBUSY = static_cast<HRESULT>(0x80040203);
constexpr HRESULT TTSERR_INVALIDMODE = static_cast<HRESULT>(0x80040206);
constexpr HRESULT TTSERR_INVALIDCHAR = static_cast<HRESULT>(0x80040208);
constexpr HRESULT TTSERR_INVALIDKEY = static_cast<HRESULT>(0x80040209);
constexpr HRESULT TTSERR_QUEUEFULL = static_cast<HRESULT>(0x8004020A);
constexpr HRESULT TTSERR_NOTPAUSED = static_cast<HRESULT>(0x80040501);
constexpr HRESULT TTSERR_ALREADYPAUSED = static_cast<HRESULT>(0x80040502);

constexpr HRESULT AUDERR_NEEDWAVEFORMAT = static_cast<HRESULT>(0x80040302);
constexpr HRESULT AUDERR_ALREADYCLAIMED = static_cast<HRESULT>(0x8004031D);
constexpr HRESULT AUDERR_NOTCLAIMED = static_cast<HRESULT>(0x8004031E);
constexpr HRESULT AUDERR_ALREADYSTARTED = static_cast<HRESULT>(0x80040320);

// ---------------------------------------------------------------------------------------------
// Identifiers of classes, and of interfaces that are not declared here (the identifiers of the
// declared interfaces follow their declarations)

// Voice-text sinks: only their identifiers matter here (TextData recognises them).
inline constexpr IID IID_IVTxtNotifySinkW = {
    0xFD3A2430, 0xE090, 0x11CD, {0xA1, 0x66, 0x00, 0xAA, 0x00, 0x4C, 0xD6, 0x5C}};
inline constexpr IID IID_IVTxtNotifySinkA = {
    0xD2C840E0, 0xE092, 0x11CD, {0xA1, 0x66, 0x00, 0xAA, 0x00, 0x4C, 0xD6, 0x5C}};

inline constexpr CLSID CLSID_TTSEnumerator = {
    0xD67C0280, 0xC743, 0x11CD, {0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50}};
inline constexpr CLSID CLSID_MMAudioDest = {
    0xCB96B400, 0xC743, 0x11CD, {0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50}};
inline constexpr CLSID CLSID_AudioDestFile = {
    0xD4623720, 0xE4B9, 0x11CF, {0x8D, 0x56, 0x00, 0xA0, 0xC9, 0x03, 0x4A, 0x7E}};

// ---------------------------------------------------------------------------------------------
// Interfaces. Each derives directly from IUnknown (or through a template that adds no slot of its
// own); the first method below is slot 3.
//
// The wide (W) and ANSI (A) interfaces of a pair have the same slots and differ only in the width
// of the characters and mode records they pass: each pair is declared once, as a template over the
// form, and the W and A interfaces derive from its two instances without adding anything (at the
// end of the templates).

struct ITTSEnumW;
struct ITTSEnumA;
struct ITTSCentralW;
struct ITTSCentralA;

namespace sapi4 {

struct WideForm {
  using Char = WCHAR;
  using ModeInfo = TTSMODEINFOW;
  using Enum = ITTSEnumW;
  using Central = ITTSCentralW;
};

struct AnsiForm {
  using Char = CHAR;
  using ModeInfo = TTSMODEINFOA;
  using Enum = ITTSEnumA;
  using Central = ITTSCentralA;
};

}  // namespace sapi4

template <class Form>
struct ITTSEnumT : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Next(ULONG celt, typename Form::ModeInfo* rgelt,
                                         ULONG* pceltFetched) = 0;
  virtual HRESULT STDMETHODCALLTYPE Skip(ULONG celt) = 0;
  virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(typename Form::Enum** ppenum) = 0;
  virtual HRESULT STDMETHODCALLTYPE Select(GUID gModeID, typename Form::Central** ppiTTSCentral,
                                           IUnknown* pIUnknownForAudio) = 0;
};

template <class Form>
struct ITTSFindT : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Find(typename Form::ModeInfo* pCriteria, PTTSMODEINFORANK pRank,
                                         typename Form::ModeInfo* pFound) = 0;
  virtual HRESULT STDMETHODCALLTYPE Select(GUID gModeID, typename Form::Central** ppiTTSCentral,
                                           IUnknown* pIUnknownForAudio) = 0;
};

template <class Form>
struct ITTSCentralT : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Inject(const typename Form::Char* pszTag) = 0;
  virtual HRESULT STDMETHODCALLTYPE ModeGet(typename Form::ModeInfo* pttsInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE Phoneme(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                                            PSDATA pdPhoneme) = 0;
  virtual HRESULT STDMETHODCALLTYPE PosnGet(PQWORD pqwTimeStamp) = 0;
  virtual HRESULT STDMETHODCALLTYPE TextData(VOICECHARSET eCharacterSet, DWORD dwFlags, SDATA dText,
                                             PVOID pNotifyInterface, IID IIDNotifyInterface) = 0;
  virtual HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) = 0;
  virtual HRESULT STDMETHODCALLTYPE AudioPause() = 0;
  virtual HRESULT STDMETHODCALLTYPE AudioResume() = 0;
  virtual HRESULT STDMETHODCALLTYPE AudioReset() = 0;
  virtual HRESULT STDMETHODCALLTYPE Register(PVOID pNotifyInterface, IID IIDNotifyInterface,
                                             DWORD* pdwKey) = 0;
  virtual HRESULT STDMETHODCALLTYPE UnRegister(DWORD dwKey) = 0;
};

// The same in both widths: the template parameter only keeps the W and A interfaces apart.
template <class Form>
struct ITTSAttributesT : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE PitchGet(WORD* pwPitch) = 0;
  virtual HRESULT STDMETHODCALLTYPE PitchSet(WORD wPitch) = 0;
  virtual HRESULT STDMETHODCALLTYPE RealTimeGet(DWORD* pdwRealTime) = 0;
  virtual HRESULT STDMETHODCALLTYPE RealTimeSet(DWORD dwRealTime) = 0;
  virtual HRESULT STDMETHODCALLTYPE SpeedGet(DWORD* pdwSpeed) = 0;
  virtual HRESULT STDMETHODCALLTYPE SpeedSet(DWORD dwSpeed) = 0;
  virtual HRESULT STDMETHODCALLTYPE VolumeGet(DWORD* pdwVolume) = 0;
  virtual HRESULT STDMETHODCALLTYPE VolumeSet(DWORD dwVolume) = 0;
};

// Slot order: the lexicon dialog comes before the general one.
template <class Form>
struct ITTSDialogsT : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AboutDlg(HWND hWndParent,
                                             const typename Form::Char* pszTitle) = 0;
  virtual HRESULT STDMETHODCALLTYPE LexiconDlg(HWND hWndParent,
                                               const typename Form::Char* pszTitle) = 0;
  virtual HRESULT STDMETHODCALLTYPE GeneralDlg(HWND hWndParent,
                                               const typename Form::Char* pszTitle) = 0;
  virtual HRESULT STDMETHODCALLTYPE TranslateDlg(HWND hWndParent,
                                                 const typename Form::Char* pszTitle) = 0;
};

// The phonemes of Visual are characters of the sink's width, passed by value.
template <class Form>
struct ITTSNotifySinkT : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AttribChanged(DWORD dwAttribute) = 0;
  virtual HRESULT STDMETHODCALLTYPE AudioStart(QWORD qTimeStamp) = 0;
  virtual HRESULT STDMETHODCALLTYPE AudioStop(QWORD qTimeStamp) = 0;
  virtual HRESULT STDMETHODCALLTYPE Visual(QWORD qTimeStamp, typename Form::Char cIPAPhoneme,
                                           typename Form::Char cEnginePhoneme, DWORD dwHints,
                                           PTTSMOUTH pTTSMouth) = 0;
};

// The interfaces of both widths.
struct ITTSEnumW : public ITTSEnumT<sapi4::WideForm> {};
struct ITTSFindW : public ITTSFindT<sapi4::WideForm> {};
struct ITTSCentralW : public ITTSCentralT<sapi4::WideForm> {};
struct ITTSAttributesW : public ITTSAttributesT<sapi4::WideForm> {};
struct ITTSDialogsW : public ITTSDialogsT<sapi4::WideForm> {};
struct ITTSNotifySinkW : public ITTSNotifySinkT<sapi4::WideForm> {};
struct ITTSEnumA : public ITTSEnumT<sapi4::AnsiForm> {};
struct ITTSFindA : public ITTSFindT<sapi4::AnsiForm> {};
struct ITTSCentralA : public ITTSCentralT<sapi4::AnsiForm> {};
struct ITTSAttributesA : public ITTSAttributesT<sapi4::AnsiForm> {};
struct ITTSDialogsA : public ITTSDialogsT<sapi4::AnsiForm> {};
struct ITTSNotifySinkA : public ITTSNotifySinkT<sapi4::AnsiForm> {};

// One interface serves texts of both widths.
struct ITTSBufNotifySink : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE TextDataDone(QWORD qTimeStamp, DWORD dwFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE TextDataStarted(QWORD qTimeStamp) = 0;
  virtual HRESULT STDMETHODCALLTYPE BookMark(QWORD qTimeStamp, DWORD dwMarkNum) = 0;
  virtual HRESULT STDMETHODCALLTYPE WordPosition(QWORD qTimeStamp, DWORD dwByteOffset) = 0;
};

struct IAudio : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Flush() = 0;
  virtual HRESULT STDMETHODCALLTYPE LevelGet(DWORD* pdwLevel) = 0;
  virtual HRESULT STDMETHODCALLTYPE LevelSet(DWORD dwLevel) = 0;
  virtual HRESULT STDMETHODCALLTYPE PassNotify(PVOID pNotifyInterface, IID IIDNotifyInterface) = 0;
  virtual HRESULT STDMETHODCALLTYPE PosnGet(PQWORD pqwTimeStamp) = 0;
  virtual HRESULT STDMETHODCALLTYPE Claim() = 0;
  virtual HRESULT STDMETHODCALLTYPE UnClaim() = 0;
  virtual HRESULT STDMETHODCALLTYPE Start() = 0;
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
  virtual HRESULT STDMETHODCALLTYPE TotalGet(PQWORD pqwTimeStamp) = 0;
  virtual HRESULT STDMETHODCALLTYPE ToFileTime(PQWORD pqTimeStamp, FILETIME* pFiletime) = 0;
  virtual HRESULT STDMETHODCALLTYPE WaveFormatGet(PSDATA pdWFEX) = 0;
  virtual HRESULT STDMETHODCALLTYPE WaveFormatSet(SDATA dWFEX) = 0;
};

struct IAudioDest : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE FreeSpace(DWORD* pdwBytes, BOOL* pfEOF) = 0;
  virtual HRESULT STDMETHODCALLTYPE DataSet(PVOID pBuffer, DWORD dwSize) = 0;
  virtual HRESULT STDMETHODCALLTYPE BookMark(DWORD dwMarkID) = 0;
};

// What an audio destination reports to its user, from whatever thread it likes.
struct IAudioDestNotifySink : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AudioStop(WORD wReason) = 0;
  virtual HRESULT STDMETHODCALLTYPE AudioStart() = 0;
  virtual HRESULT STDMETHODCALLTYPE FreeSpace(DWORD dwBytes, BOOL fEOF) = 0;
  virtual HRESULT STDMETHODCALLTYPE BookMark(DWORD dwMarkID, BOOL fFlushed) = 0;
};

struct IAudioMultiMediaDevice : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CustomMessage(UINT uMsg, SDATA dData) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeviceNumGet(DWORD* pdwDeviceID) = 0;
  virtual HRESULT STDMETHODCALLTYPE DeviceNumSet(DWORD dwDeviceID) = 0;
};

struct IAudioFileNotifySink : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE FileBegin(DWORD dwID) = 0;
  virtual HRESULT STDMETHODCALLTYPE FileEnd(DWORD dwID) = 0;
  virtual HRESULT STDMETHODCALLTYPE QueueEmpty() = 0;
  virtual HRESULT STDMETHODCALLTYPE Posn(QWORD qwPosn, QWORD qwTimeStamp) = 0;
};

struct IAudioFile : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE Register(IAudioFileNotifySink* pNotifyInterface) = 0;
  virtual HRESULT STDMETHODCALLTYPE Set(const WCHAR* pszFile, DWORD dwID) = 0;
  virtual HRESULT STDMETHODCALLTYPE Add(const WCHAR* pszFile, DWORD dwID) = 0;
  virtual HRESULT STDMETHODCALLTYPE Flush() = 0;
  virtual HRESULT STDMETHODCALLTYPE RealTimeSet(WORD wRealTime) = 0;
  virtual HRESULT STDMETHODCALLTYPE RealTimeGet(WORD* pwRealTime) = 0;
};

// Each interface's identifier, written once: __uuidof() gives it (so IID_PPV_ARGS names these
// interfaces as it does the system's own), and IID_name is the same constant.
#define SAPI4_INTERFACE_ID(I, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  __CRT_UUID_DECL(I, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8)          \
  inline constexpr IID IID_##I = __uuidof(I);

// clang-format off
SAPI4_INTERFACE_ID(ITTSEnumW, 0x6B837B20, 0x4A47, 0x101B, 0x93, 0x1A, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSEnumA, 0x05EB6C6D, 0xDBAB, 0x11CD, 0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSFindW, 0x7AA42960, 0x4A47, 0x101B, 0x93, 0x1A, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSFindA, 0x05EB6C6E, 0xDBAB, 0x11CD, 0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSCentralW, 0x28016060, 0x4A47, 0x101B, 0x93, 0x1A, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSCentralA, 0x05EB6C6A, 0xDBAB, 0x11CD, 0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSAttributesW, 0x1287A280, 0x4A47, 0x101B, 0x93, 0x1A, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSAttributesA, 0x0FD6E2A1, 0xE77D, 0x11CD, 0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSDialogsW, 0x47F59D00, 0x4A47, 0x101B, 0x93, 0x1A, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSDialogsA, 0x05EB6C6B, 0xDBAB, 0x11CD, 0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
// Note 4A46: the notify sink's identifier differs from its neighbours in the second group.
SAPI4_INTERFACE_ID(ITTSNotifySinkW, 0xC0FA8F40, 0x4A46, 0x101B, 0x93, 0x1A, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSNotifySinkA, 0x05EB6C6F, 0xDBAB, 0x11CD, 0xB3, 0xCA, 0x00, 0xAA, 0x00, 0x47, 0xBA, 0x4F)
SAPI4_INTERFACE_ID(ITTSBufNotifySink, 0xE4963D40, 0xC743, 0x11CD, 0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50)
SAPI4_INTERFACE_ID(IAudio, 0xF546B340, 0xC743, 0x11CD, 0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50)
SAPI4_INTERFACE_ID(IAudioDest, 0x2EC34DA0, 0xC743, 0x11CD, 0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50)
SAPI4_INTERFACE_ID(IAudioDestNotifySink, 0xACB08C00, 0xC743, 0x11CD, 0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50)
SAPI4_INTERFACE_ID(IAudioMultiMediaDevice, 0xB68AD320, 0xC743, 0x11CD, 0x80, 0xE5, 0x00, 0xAA, 0x00, 0x3E, 0x4B, 0x50)
SAPI4_INTERFACE_ID(IAudioFile, 0xFD7C2320, 0x3D6D, 0x11B9, 0xC0, 0x00, 0xFE, 0xD6, 0xCB, 0xA3, 0xB1, 0xA9)
SAPI4_INTERFACE_ID(IAudioFileNotifySink, 0x492FE490, 0x51E7, 0x11B9, 0xC0, 0x00, 0xFE, 0xD6, 0xCB, 0xA3, 0xB1, 0xA9)
// clang-format on

#undef SAPI4_INTERFACE_ID

// ---------------------------------------------------------------------------------------------
// Layout checks. The i686 figures are the ones the 32-bit run time and clients were built with.

static_assert(sizeof(QWORD) == 8);
static_assert(sizeof(VOICECHARSET) == 4);
static_assert(sizeof(GUID) == 16);
static_assert(sizeof(LANGUAGEW) == 130);
static_assert(sizeof(LANGUAGEA) == 66);
static_assert(sizeof(TTSMOUTH) == 8);
static_assert(sizeof(TTSMODEINFORANK) == 56);
static_assert(sizeof(WAVEFORMATEX) == 18);

static_assert(offsetof(LANGUAGEW, szDialect) == 2);
static_assert(offsetof(LANGUAGEA, szDialect) == 2);

static_assert(offsetof(TTSMODEINFOA, gEngineID) == 0);
static_assert(offsetof(TTSMODEINFOA, szMfgName) == 16);
static_assert(offsetof(TTSMODEINFOA, szProductName) == 278);
static_assert(offsetof(TTSMODEINFOA, gModeID) == 540);
static_assert(offsetof(TTSMODEINFOA, szModeName) == 556);
static_assert(offsetof(TTSMODEINFOA, language) == 818);
static_assert(offsetof(TTSMODEINFOA, szSpeaker) == 884);
static_assert(offsetof(TTSMODEINFOA, szStyle) == 1146);
static_assert(offsetof(TTSMODEINFOA, wGender) == 1408);
static_assert(offsetof(TTSMODEINFOA, wAge) == 1410);
static_assert(offsetof(TTSMODEINFOA, dwFeatures) == 1412);
static_assert(offsetof(TTSMODEINFOA, dwInterfaces) == 1416);
static_assert(offsetof(TTSMODEINFOA, dwEngineFeatures) == 1420);
static_assert(sizeof(TTSMODEINFOA) == 1424);

static_assert(offsetof(TTSMODEINFOW, gEngineID) == 0);
static_assert(offsetof(TTSMODEINFOW, szMfgName) == 16);
static_assert(offsetof(TTSMODEINFOW, szProductName) == 540);
static_assert(offsetof(TTSMODEINFOW, gModeID) == 1064);
static_assert(offsetof(TTSMODEINFOW, szModeName) == 1080);
static_assert(offsetof(TTSMODEINFOW, language) == 1604);
static_assert(offsetof(TTSMODEINFOW, szSpeaker) == 1734);
static_assert(offsetof(TTSMODEINFOW, szStyle) == 2258);
static_assert(offsetof(TTSMODEINFOW, wGender) == 2782);
static_assert(offsetof(TTSMODEINFOW, wAge) == 2784);
static_assert(offsetof(TTSMODEINFOW, dwFeatures) == 2788);
static_assert(offsetof(TTSMODEINFOW, dwInterfaces) == 2792);
static_assert(offsetof(TTSMODEINFOW, dwEngineFeatures) == 2796);
static_assert(sizeof(TTSMODEINFOW) == 2800);

#if !defined(_WIN64)
static_assert(sizeof(SDATA) == 8);
static_assert(offsetof(SDATA, dwSize) == 4);
static_assert(sizeof(void*) == 4);
#else
// On x64 only the pointer grows: the mode records hold no pointers and keep their 32-bit layout.
static_assert(sizeof(SDATA) == 16);
static_assert(offsetof(SDATA, dwSize) == 8);
#endif
