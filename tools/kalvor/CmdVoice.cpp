// kalvor voice: the voice maker's commands. A voice is a speech data file; its units go in and out
// as WAV files named by unit, so a voice can be taken apart, edited in any sound editor and put
// together again.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "Cli.h"
#include "Cp1254.h"
#include "Framework.h"
#include "StrPlaySP_Text.h"
#include "UFonemSP_Format.h"
#include "UnitNames.h"
#include "Wav.h"

namespace kalvor::cli {
namespace {

namespace fs = std::filesystem;

const char kVoiceHelp[] =
    "Usage: kalvor voice build DIR -o FILE.SPD [--width 1|2]\n"
    "       kalvor voice list FILE.SPD\n"
    "       kalvor voice extract FILE.SPD [NAME...] -o DIR\n"
    "\n"
    "Makes and inspects speech data files (voices). A unit travels as a mono WAV file\n"
    "named by the unit: KA.wav, _AP.wav, A1.wav; the dotted capital I may be written\n"
    "as İ or as 0 (Dİ.wav or D0.wav), and lower-case names are read with the Turkish\n"
    "rules (di.wav is Dİ).\n"
    "\n"
    "  build DIR -o FILE.SPD   a voice from every .wav file in DIR: 8-bit or 16-bit\n"
    "                          mono PCM, recorded at 16000 Hz (other rates are taken\n"
    "                          as they are, with a warning, and play faster or\n"
    "                          slower)\n"
    "      --width 1|2         bytes per sample in the voice (default 2); 8-bit and\n"
    "                          16-bit WAV files are converted as needed\n"
    "  list FILE.SPD           one line per entry, in file order: name, TAB, offset,\n"
    "                          TAB, length in bytes, TAB, duration in seconds at\n"
    "                          16000 Hz; control characters in a name as \\xNN\n"
    "  extract FILE.SPD [NAME...] -o DIR\n"
    "                          writes each named unit (all units when no name is\n"
    "                          given) as DIR/NAME.wav, 16000 Hz, with the voice's\n"
    "                          sample size; a name found twice in the voice is\n"
    "                          taken from its first entry, as the engine does\n"
    "                          (\"extract FILE.SPD DIR [NAME...]\" works too)\n"
    "\n"
    "Files are replaced only by complete ones. Unit names: CV (KA), VCV (ATA), _VC\n"
    "(_AK), VV (AE), V1 (A1), C1 (K1), X2 (K2), _CV (_KA), V3 (A3); \"kalvor units\n"
    "TEXT\" shows which ones a text needs.\n"
    "\n"
    "Examples:\n"
    "  kalvor voice extract ORVDAT1.SPD -o birimler\n"
    "  kalvor voice build birimler -o SESIM.SPD\n"
    "  kalvor say --voice SESIM.SPD \"Merhaba dünya\" -o merhaba.wav\n";

constexpr std::uint32_t kVoiceRate = 16000;

// A stored unit name for people: UTF-8, with the "0" that stands for the dotted capital I shown
// as İ.
std::string ShowName(const std::string& stored) {
  std::string s = stored;
  std::replace(s.begin(), s.end(), '0', spd::kDottedCapitalI);
  return Cp1254ToUtf8(s);
}

// A name for a listing of one line per unit: control characters (which a hand-made file may hold
// inside a name) and the backslash written as \xNN, so that every line stays one line and shows
// what is there.
std::string ListedName(const std::string& stored) {
  std::string out;
  for (char ch : ShowName(stored)) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 32 || c == 127 || c == '\\') {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out;
}

// Letter case as the engine ignores it when it looks a unit up (ASCII and the Windows-1254
// letters; the dotted capital I as the "0" that stands for it).
std::string Folded(std::string_view name) {
  std::string s;
  for (char ch : name) {
    auto c = static_cast<unsigned char>(ch);
    if (c >= 'a' && c <= 'z') {
      c = static_cast<unsigned char>(c - 32);
    } else if (c == 0xFD) {
      c = 'I';
    } else if (c == 0xDD) {
      c = '0';
    } else if (c == 0x9A || c == 0x9C) {
      c = static_cast<unsigned char>(c - 0x10);
    } else if (c == 0xFF) {
      c = 0x9F;
    } else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
      c = static_cast<unsigned char>(c - 32);
    }
    s += static_cast<char>(c);
  }
  return s;
}

// A file name for a unit: its name, with the characters that file systems refuse written as %XX.
std::string FileNameFor(const std::string& stored) {
  std::string out;
  for (char ch : ShowName(stored)) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 32 || std::string_view("/\\:*?\"<>|%").find(ch) != std::string_view::npos) {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", c);
      out += buf;
    } else {
      out += ch;
    }
  }
  return out + ".wav";
}

// Samples from one width to the other: 8-bit unsigned (silence 128) and 16-bit signed.
std::vector<std::uint8_t> ConvertWidth(const std::vector<std::uint8_t>& in, int from, int to) {
  if (from == to) return in;
  std::vector<std::uint8_t> out;
  if (from == 1) {
    out.reserve(in.size() * 2);
    for (std::uint8_t u : in) {
      auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>((int(u) - 128) * 256));
      out.push_back(static_cast<std::uint8_t>(v & 0xFF));
      out.push_back(static_cast<std::uint8_t>(v >> 8));
    }
  } else {
    out.reserve(in.size() / 2);
    for (std::size_t i = 0; i + 1 < in.size(); i += 2) {
      auto v = static_cast<std::int16_t>(in[i] | (in[i + 1] << 8));
      int u = (int(v) + 32768 + 128) >> 8;  // to the nearest 8-bit step
      out.push_back(static_cast<std::uint8_t>(std::min(u, 255)));
    }
  }
  return out;
}

int Build(Args& args) {
  std::string dirArg, out;
  int width = 2;
  while (!args.Done()) {
    std::string a = args.Next();
    if (args.Plain()) {
      if (!dirArg.empty())
        throw CliError("voice build takes one folder, not also \"" + a + "\"", 2);
      dirArg = a;
    } else if (a == "-o") {
      out = args.Value(a);
    } else if (a == "--width") {
      std::string w = args.Value(a);
      if (w != "1" && w != "2") throw CliError("--width is 1 or 2, not \"" + w + "\"", 2);
      width = w[0] - '0';
    } else if (!a.empty() && a[0] == '-') {
      throw CliError("voice build: unknown option " + a + " (kalvor voice --help)", 2);
    } else if (dirArg.empty()) {
      dirArg = a;
    } else {
      throw CliError("voice build takes one folder, not also \"" + a + "\"", 2);
    }
  }
  if (dirArg.empty() || out.empty())
    throw CliError("voice build needs a folder and -o FILE.SPD (kalvor voice --help)", 2);

  const fs::path dir = Utf8Path(dirArg);
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) throw CliError(dirArg + ": not a folder");
  std::vector<fs::path> files;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    std::string ext = PathText(it->path().extension());
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::error_code fec;
    if (ext == ".wav" && it->is_regular_file(fec)) files.push_back(it->path());
  }
  if (ec) throw CliError("cannot read the folder " + dirArg + ": " + ec.message());
  if (files.empty()) throw CliError(dirArg + ": no .wav files in it");
  std::sort(files.begin(), files.end());

  // Unit by stored name ("0" for the dotted capital I), with the file it came from.
  std::map<std::string, std::pair<fs::path, std::vector<std::uint8_t>>> units;
  for (const fs::path& f : files) {
    const std::string shown = PathText(f);
    const std::string stem = PathText(f.stem());
    std::string name;
    try {
      name = UpperCaseTr(Utf8ToCp1254(stem));
    } catch (const CliError&) {
      throw CliError(shown + ": the file name is not UTF-8");
    }
    if (!voicegen::ParseUnitName(name))
      throw CliError(shown + ": \"" + stem +
                     "\" is not a unit name (units are named like KA, ATA, _AK, AE, A1, K1, K2, "
                     "_KA, A3; kalvor voice --help)");
    const std::string stored = StoredUnitName(name);
    Wav wav = ReadWav(f);
    if (wav.format.sampleRate != kVoiceRate)
      Warn(shown + ": " + std::to_string(wav.format.sampleRate) +
           " Hz; the engine plays every unit at 16000 Hz, so this one will sound " +
           (wav.format.sampleRate > kVoiceRate ? "slower and lower" : "faster and higher"));
    const int from = wav.format.bitsPerSample / 8;
    auto samples = ConvertWidth(wav.samples, from, width);
    if (width == 2 && samples.size() % 2) samples.pop_back();
    auto [it, fresh] = units.try_emplace(stored, f, std::move(samples));
    if (!fresh)
      throw CliError(shown + " and " + PathText(it->second.first) + " are the same unit " +
                     ShowName(stored) + "; keep one of them");
  }

  std::vector<SpeechUnit> list;
  std::size_t bytes = 0;
  for (auto& [stored, v] : units) {
    bytes += v.second.size();
    list.push_back({stored, std::move(v.second)});
  }
  WriteSpeechData(Utf8Path(out), static_cast<std::uint8_t>(width), list);
  char summary[96];
  std::snprintf(summary, sizeof summary, ": %zu units, %d-bit, %.1f s of speech\n", list.size(),
                width * 8, static_cast<double>(bytes) / width / static_cast<double>(kVoiceRate));
  WriteErr("kalvor: " + out + summary);
  return 0;
}

struct OpenVoice {
  std::unique_ptr<SpeechDataFile> file;
  SpeechDataTable table;
};

OpenVoice Open(const std::string& arg) {
  OpenVoice v;
  try {
    v.file = std::make_unique<SpeechDataFile>(Utf8Path(arg));
    v.table = ReadSpeechDataTable(*v.file);
  } catch (const Exception& e) {
    // The open error names the path already; the format's own messages do not.
    std::string m = e.what();
    throw CliError(m.find(arg) == std::string::npos ? arg + ": " + m : m);
  }
  return v;
}

int List(Args& args) {
  std::string file;
  while (!args.Done()) {
    std::string a = args.Next();
    if (!args.Plain() && !a.empty() && a[0] == '-')
      throw CliError("voice list: unknown option " + a, 2);
    if (!file.empty()) throw CliError("voice list takes one file, not also \"" + a + "\"", 2);
    file = a;
  }
  if (file.empty()) throw CliError("voice list needs a speech data file (kalvor voice --help)", 2);
  OpenVoice v = Open(file);
  const int width = v.table.sampleWidth == 1 ? 1 : 2;
  std::string text;
  for (const SpeechDataEntry& e : v.table.entries) {
    char nums[96];
    std::snprintf(nums, sizeof nums, "\t%d\t%d\t%.3f\n", e.offset, e.length,
                  e.length > 0 ? static_cast<double>(e.length / width) / kVoiceRate : 0.0);
    text += ListedName(e.name) + nums;
  }
  WriteOut(text);
  return 0;
}

int Extract(Args& args) {
  std::string file, outDir;
  std::vector<std::string> rest;
  while (!args.Done()) {
    std::string a = args.Next();
    if (!args.Plain() && a == "-o") {
      outDir = args.Value(a);
    } else if (!args.Plain() && !a.empty() && a[0] == '-') {
      throw CliError("voice extract: unknown option " + a + " (kalvor voice --help)", 2);
    } else if (file.empty()) {
      file = a;
    } else {
      rest.push_back(a);
    }
  }
  // Without -o the first argument after the file is the folder.
  if (outDir.empty() && !rest.empty()) {
    outDir = rest.front();
    rest.erase(rest.begin());
  }
  if (file.empty() || outDir.empty())
    throw CliError("voice extract needs a speech data file and -o DIR (kalvor voice --help)", 2);

  OpenVoice v = Open(file);
  if (v.table.sampleWidth != 1 && v.table.sampleWidth != 2)
    throw CliError(file + ": samples of " + std::to_string(v.table.sampleWidth) +
                   " bytes; only 1 and 2 make WAV files");
  const int width = v.table.sampleWidth;

  // The entry the engine would use for each name: the first one in file order.
  std::map<std::string, std::size_t> first;
  std::vector<std::size_t> chosen;
  for (std::size_t k = 0; k < v.table.entries.size(); ++k)
    if (first.try_emplace(Folded(v.table.entries[k].name), k).second) chosen.push_back(k);
  if (!rest.empty()) {
    chosen.clear();
    for (const std::string& n : rest) {
      auto it = first.find(Folded(StoredUnitName(UpperCaseTr(Utf8ToCp1254(n)))));
      if (it == first.end()) throw CliError(file + ": no unit named " + n);
      if (std::find(chosen.begin(), chosen.end(), it->second) == chosen.end())
        chosen.push_back(it->second);
    }
  }

  const fs::path dir = Utf8Path(outDir);
  std::error_code ec;
  fs::create_directories(dir, ec);
  if (ec) throw CliError("cannot make the folder " + outDir + ": " + ec.message());
  for (std::size_t k : chosen) {
    const SpeechDataEntry& e = v.table.entries[k];
    std::vector<std::uint8_t> samples;
    try {
      samples = ReadEntrySamples(*v.file, e);
    } catch (const Exception& ex) {
      throw CliError(file + ": unit " + ShowName(e.name) + ": " + ex.what() +
                     " (its samples lie outside the file)");
    }
    if (width == 2 && samples.size() % 2) {
      Warn(file + ": unit " + ShowName(e.name) + " ends in half a sample, which is left out");
      samples.pop_back();
    }
    Wav wav;
    wav.format.sampleRate = kVoiceRate;
    wav.format.bitsPerSample = static_cast<std::uint16_t>(width * 8);
    wav.samples = std::move(samples);
    WriteWav(dir / Utf8Path(FileNameFor(e.name)), wav);
  }
  WriteErr("kalvor: " + std::to_string(chosen.size()) + " units written to " + outDir + "\n");
  return 0;
}

}  // namespace

int CmdVoice(Args args) {
  if (args.Done()) {
    WriteErr(kVoiceHelp);
    return 2;
  }
  // Help wherever it is asked for, also after a command.
  for (Args scan = args; !scan.Done();) {
    std::string a = scan.Next();
    if (!scan.Plain() && (a == "-h" || a == "--help")) {
      WriteOut(kVoiceHelp);
      return 0;
    }
  }
  std::string sub = args.Next();
  if (sub == "help") {
    WriteOut(kVoiceHelp);
    return 0;
  }
  if (sub == "build") return Build(args);
  if (sub == "list") return List(args);
  if (sub == "extract") return Extract(args);
  throw CliError(
      "voice: unknown command \"" + sub + "\" (build, list or extract; kalvor voice --help)", 2);
}

}  // namespace kalvor::cli
