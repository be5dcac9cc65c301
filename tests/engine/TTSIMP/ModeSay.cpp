// The Windows half of the comparison with the command line: speaks texts through the mode object
// into the fake audio destination and compares the bytes with the data of WAV files that the
// native `kalvor say` wrote for the same texts, voice and rate (compare_say.sh drives both).
//
//   mode_say --write-voice FILE
//       writes the synthetic test voice;
//   mode_say [--sapi5] --voice FILE --cases LIST
//       LIST has one line per case: PITCH <TAB> UTF-8 TEXT FILE <TAB> WAV FILE. With --sapi5 the
//       SAPI 5 engine speaks instead, at the SAPI 5 rate that gives the pitch's rate (cases with
//       a rate no SAPI 5 rate gives are left out).
// Exit code 0 when every case matches byte for byte, 1 otherwise (the first difference is named).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "FakeAudioDest.h"
#include "Sapi5Say.h"
#include "EngineModule.h"
#include "SpcMode.h"
#include "SyntheticVoice.h"

namespace {

using kalvor::TSpcMode;
using kalvor::test::FakeAudioDest;

std::vector<std::uint8_t> ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

// The samples of a 16000 Hz mono 16-bit PCM WAV file.
std::vector<std::uint8_t> WavData(const std::string& path) {
  const std::vector<std::uint8_t> b = ReadAll(path);
  if (b.size() < 12 || std::string(b.begin(), b.begin() + 4) != "RIFF" ||
      std::string(b.begin() + 8, b.begin() + 12) != "WAVE")
    throw std::runtime_error(path + " is not a WAV file");
  bool formatSeen = false;
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::string id(b.begin() + static_cast<std::ptrdiff_t>(at),
                         b.begin() + static_cast<std::ptrdiff_t>(at + 4));
    const std::uint32_t size = Le32(b, at + 4);
    const std::size_t body = at + 8;
    if (body + size > b.size()) throw std::runtime_error(path + ": chunk " + id + " is cut off");
    if (id == "fmt ") {
      const unsigned tag = b[body] | (b[body + 1] << 8),
                     channels = b[body + 2] | (b[body + 3] << 8);
      const std::uint32_t rate = Le32(b, body + 4);
      const unsigned bits = b[body + 14] | (b[body + 15] << 8);
      if (tag != 1 || channels != 1 || rate != 16000 || bits != 16)
        throw std::runtime_error(path + " is not 16000 Hz mono 16-bit PCM");
      formatSeen = true;
    } else if (id == "data") {
      if (!formatSeen) throw std::runtime_error(path + ": data before fmt");
      return {b.begin() + static_cast<std::ptrdiff_t>(body),
              b.begin() + static_cast<std::ptrdiff_t>(body + size)};
    }
    at = body + size + (size & 1);
  }
  throw std::runtime_error(path + " has no data chunk");
}

std::wstring FromUtf8(const std::vector<std::uint8_t>& bytes) {
  if (bytes.empty()) return {};
  const auto* p = reinterpret_cast<const char*>(bytes.data());
  const int n = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p, n, nullptr, 0);
  if (size <= 0) throw std::runtime_error("a text file is not UTF-8");
  std::wstring w(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, p, n, w.data(), size);
  return w;
}

// Speaks one text through a fresh mode, as a client would after selecting it, and returns what
// the destination received.
std::vector<std::uint8_t> SpeakThroughMode(const std::string& voice, WORD pitch,
                                           const std::wstring& text) {
  auto* fake = new FakeAudioDest;
  std::vector<std::uint8_t> out;
  {
    TSpcMode mode(fake->Unknown(), nullptr);
    if (mode.Init() != S_OK) throw std::runtime_error("the mode did not initialise");
    mode.Player().LoadData(voice);
    ITTSCentralW* central = nullptr;
    ITTSAttributesW* attributes = nullptr;
    mode.QueryInterface(IID_ITTSCentralW, reinterpret_cast<void**>(&central));
    mode.QueryInterface(IID_ITTSAttributesW, reinterpret_cast<void**>(&attributes));
    attributes->PitchSet(pitch);
    std::wstring copy = text;
    const HRESULT r = central->TextData(
        CHARSET_TEXT, 0, SDATA{copy.data(), static_cast<DWORD>((copy.size() + 1) * 2)}, nullptr,
        IID_ITTSBufNotifySink);
    attributes->Release();
    central->Release();
    if (r != S_OK) throw std::runtime_error("TextData failed: " + std::to_string(r));
    out = fake->Written();
  }
  fake->Release();
  return out;
}

int Compare(const std::string& voice, const std::string& list, bool sapi5) {
  std::ifstream cases(list);
  if (!cases) throw std::runtime_error("cannot read " + list);
  int failed = 0, count = 0;
  std::string line;
  while (std::getline(cases, line)) {
    if (line.empty()) continue;
    std::istringstream fields(line);
    std::string pitch, textFile, wavFile;
    std::getline(fields, pitch, '\t');
    std::getline(fields, textFile, '\t');
    std::getline(fields, wavFile, '\t');
    ++count;
    const std::vector<std::uint8_t> want = WavData(wavFile);
    const WORD p = static_cast<WORD>(std::stoi(pitch));
    const std::wstring text = FromUtf8(ReadAll(textFile));
    std::vector<std::uint8_t> got;
    if (sapi5) {
      auto spoken = kalvor::test::SpeakThroughSapi5(voice, p, text);
      if (!spoken) {
        --count;
        std::cout << "left out: " << textFile << " (no SAPI 5 rate for pitch " << pitch << ")\n";
        continue;
      }
      got = std::move(*spoken);
    } else {
      got = SpeakThroughMode(voice, p, text);
    }
    if (got == want) {
      std::cout << "same: " << textFile << " at pitch " << pitch << " (" << got.size()
                << " bytes)\n";
      continue;
    }
    ++failed;
    std::size_t at = 0;
    while (at < got.size() && at < want.size() && got[at] == want[at]) ++at;
    std::cout << "DIFFERENT: " << textFile << " at pitch " << pitch << ": the mode wrote "
              << got.size() << " bytes, kalvor say " << want.size() << "; first difference at byte "
              << at << "\n";
  }
  if (count == 0) throw std::runtime_error(list + " has no cases");
  return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() == 2 && a[0] == "--write-voice") {
      const std::filesystem::path p(a[1]);
      kalvor::test::SyntheticVoice::Covering(kalvor::test::AllTurkishUnitNames())
          .WriteTo(p.parent_path(), p.filename().string());
      return 0;
    }
    if (a.size() == 4 && a[0] == "--voice" && a[2] == "--cases") return Compare(a[1], a[3], false);
    if (a.size() == 5 && a[0] == "--sapi5" && a[1] == "--voice" && a[3] == "--cases")
      return Compare(a[2], a[4], true);
    std::cerr << "usage: mode_say --write-voice FILE | [--sapi5] --voice FILE --cases LIST\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "mode_say: " << e.what() << "\n";
    return 1;
  }
}
