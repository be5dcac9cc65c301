// kalvor say: Turkish text to a 16000 Hz mono 16-bit WAV file, or straight to the sound card,
// through the engine's synthesizer and one of its voices, exactly as the engine hands the audio to
// a SAPI client.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "Cli.h"
#include "EngineHost.h"
#include "Framework.h"
#include "OutputFile.h"
#include "Playback.h"
#include "StrPlaySP.h"
#include "UFonemSP_Format.h"
#include "Wav.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kalvor::cli {
namespace {

namespace fs = std::filesystem;

// Where an installed kalvor finds its voices, relative to the program's own directory (or
// absolute), so that the installed tree can be moved or installed under another prefix.
#ifndef KALVOR_VOICE_DIR
#define KALVOR_VOICE_DIR "../share/kalvor"
#endif

const char kSayHelp[] =
    "Usage: kalvor say [--voice male|female|PATH] [--rate N] [--play] [-o FILE.wav]\n"
    "                  [--raw] [TEXT | -f FILE | -]\n"
    "\n"
    "Speaks Turkish UTF-8 text into a 16000 Hz mono 16-bit WAV file, or plays it.\n"
    "\n"
    "  --voice male|female|PATH  male (ORVDAT1.SPD, the default), female\n"
    "                            (ORVDAT2.SPD), both looked up in\n"
    "                            " KALVOR_VOICE_DIR
    " from the kalvor program's folder\n"
    "                            (the installed voices), then beside the program;\n"
    "                            or a speech data file\n"
    "  --rate N                  playback rate in percent, 0..200 (default 100):\n"
    "                            pitch and tempo together; also scales the pause\n"
    "                            after each sentence. Below 25 the speech plays at\n"
    "                            25, the slowest rate still heard as speech\n"
    "  -o FILE.wav               write the WAV file and print its duration on\n"
    "                            standard error; an existing file is replaced only\n"
    "                            by a complete one, a device or FIFO is written to;\n"
    "                            without -o (or with -o -) the WAV goes to standard\n"
    "                            output, which must not be a terminal; a pipe gets\n"
    "                            it as it is made, its sizes marked unknown\n"
    "  --raw                     bare 16-bit little-endian samples, no WAV header\n"
    "  --play                    play the speech on the sound card as it is made\n"
    "                            (through the sound server or ALSA); with -o\n"
    "                            FILE.wav it is written too\n"
    "  TEXT | -f FILE | -        the text as arguments, from a file, or from\n"
    "                            standard input (at most 64 MiB); -- ends the\n"
    "                            options\n"
    "\n"
    "Examples:\n"
    "  kalvor say -o merhaba.wav \"Merhaba dünya\"\n"
    "  kalvor say --voice female --rate 120 -f haber.txt > haber.wav\n"
    "  kalvor say --play \"Bugün hava güzel.\"\n"
    "  kalvor say -f kitap.txt | aplay\n"
    "  kalvor say -o tire.wav -- \"-f ile -o\"\n";

constexpr std::uint32_t kOutputRate = 16000;

// Directory of the running program: the default voices are built and shipped beside it.
std::optional<fs::path> ProgramDirectory() {
  std::error_code ec;
#ifdef _WIN32
  std::wstring buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  if (n == 0 || n >= buf.size()) return std::nullopt;
  buf.resize(n);
  return fs::path(buf).parent_path();
#else
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) return std::nullopt;
  return exe.parent_path();
#endif
}

// The data file for --voice: the two named voices in the installed voice directory, beside the
// program (a build tree) or, failing those, in the current directory; anything else is a path of
// its own.
fs::path ResolveVoice(const std::string& voice) {
  // (A pointer, not a string assigned from the literals: GCC 12 at -O3 for i686 takes that
  // assignment, inlined here, for an overlapping copy.)
  const char* file = voice == "male" ? "ORVDAT1.SPD" : voice == "female" ? "ORVDAT2.SPD" : nullptr;
  std::error_code ec;
  if (!file) {
    fs::path p = Utf8Path(voice);
    fs::path full = fs::absolute(p, ec);
    return ec ? p : full;
  }
  std::vector<fs::path> tried;
  if (auto dir = ProgramDirectory()) {
    tried.push_back((*dir / Utf8Path(KALVOR_VOICE_DIR) / file).lexically_normal());
    tried.push_back(*dir / file);
  }
  tried.push_back(fs::current_path(ec) / file);
  for (const auto& p : tried)
    if (fs::is_regular_file(p, ec)) return p;
  std::string where;
  for (std::size_t i = 0; i < tried.size(); ++i)
    where += (i == 0                  ? ""
              : i + 1 == tried.size() ? " nor "
                                      : ", ") +
             PathText(tried[i].parent_path());
  throw CliError("voice " + voice + ": " + file + " is neither in " + where +
                 "; build the voices (cmake --build build/native --target voices) or give "
                 "--voice PATH");
}

std::int32_t ParseRate(const std::string& s) {
  int v = 0;
  auto [end, err] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (err != std::errc() || end != s.data() + s.size() || v < 0 || v > 200)
    throw CliError("--rate takes a whole number from 0 to 200, not \"" + s + "\"", 2);
  return v;
}

bool IsTerminal(std::FILE* f) {
#ifdef _WIN32
  return _isatty(_fileno(f)) != 0;
#else
  return isatty(fileno(f)) != 0;
#endif
}

// Where the WAV goes: standard output, or the file of -o (see OutputFile: a regular file is
// replaced only by a complete WAV, a device or a FIFO is written directly).
class Output {
 public:
  explicit Output(const std::string& name) {
    if (name.empty() || name == "-") {
      if (IsTerminal(stdout))
        throw CliError(
            "say: standard output is a terminal, not a place for audio; give -o FILE.wav or "
            "redirect it (kalvor say TEXT > speech.wav)",
            2);
#ifdef _WIN32
      _setmode(_fileno(stdout), _O_BINARY);
#endif
      f_ = stdout;
      name_ = "standard output";
    } else {
      try {
        file_.emplace(Utf8Path(name));
      } catch (const Exception& e) {
        throw CliError(e.what());
      }
      f_ = file_->Stream();
      name_ = name;
    }
    // A unit is a few kilobytes: collect many before each system call, but not so many that a
    // player reading a pipe waits for them. (The C library takes the size only with a buffer of
    // our own; it must outlive the stream, which for standard output is the whole program.)
    static char buffer[1 << 16];
    std::setvbuf(f_, buffer, _IOFBF, sizeof buffer);
  }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  std::FILE* File() const {
    return f_;
  }
  const std::string& Name() const {
    return name_;
  }
  // Whether -o named the output (which then gets a summary line on stderr).
  bool IsFile() const {
    return file_.has_value();
  }

  void Commit() {
    try {
      if (file_) file_->Commit();
    } catch (const Exception& e) {
      throw CliError(e.what());
    }
  }

 private:
  std::optional<OutputFile> file_;
  std::FILE* f_ = nullptr;
  std::string name_;
};

// A voice's message is prefixed with its file unless it names the file already.
[[noreturn]] void VoiceError(const fs::path& voice, const std::string& message) {
  std::string p = PathText(voice);
  if (message.find(p) != std::string::npos) throw CliError(message);
  throw CliError(p + ": " + message);
}

}  // namespace

int CmdSay(Args args) {
  std::string voice = "male", output;
  std::int32_t rate = 100;
  bool play = false, raw = false;
  TextInput input;
  while (!args.Done()) {
    std::string a = args.Next();
    if (args.Plain()) {
      input.Accept(a, args);
    } else if (a == "--voice") {
      voice = args.Value(a);
    } else if (a == "--rate") {
      rate = ParseRate(args.Value(a));
    } else if (a == "--play") {
      play = true;
    } else if (a == "--raw") {
      raw = true;
    } else if (a == "-o" || a == "--output") {
      output = args.Value(a);
    } else if (a == "-h" || a == "--help") {
      WriteOut(kSayHelp);
      return 0;
    } else if (!input.Accept(a, args)) {
      throw CliError("say: unknown option " + a + " (kalvor say --help)", 2);
    }
  }
  if (voice.empty()) throw CliError("--voice needs male, female or a file", 2);

  // The output first: a terminal is refused before anything is read from standard input. With
  // --play the WAV is written only where -o asks for it; without, always.
  std::optional<Output> out;
  if (!play || !output.empty()) out.emplace(output);
  fs::path voicePath = ResolveVoice(voice);
  // Bare data file names resolve where the engine's module would be: beside the program.
  if (auto dir = ProgramDirectory()) host::SetModuleDirectory(*dir);

  TStrPlayer player;
  try {
    player.LoadData(voicePath);
  } catch (const Exception& e) {
    std::error_code ec;
    // "Male" or "FEMALE" is a file name to the system; the named voices are in lower case.
    std::string lower;
    for (char c : voice) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if ((lower == "male" || lower == "female") && !fs::exists(voicePath, ec))
      throw CliError("voice " + voice + ": no such file; the voices are named male and female, " +
                     "in lower case (--voice " + lower + ")");
    VoiceError(voicePath, e.what());
  }
  const std::uint8_t width = player.DataSize();
  if (width != 1 && width != 2)
    VoiceError(voicePath, "sample width " + std::to_string(width) + " is not supported (1 or 2)");

  std::string text = input.Load();
  std::optional<WavStreamWriter> wav;
  if (out) wav.emplace(out->File(), out->Name(), WavFormat{kOutputRate, 16}, raw);
  // Opened once the voice and the text are known to be good, so that a mistake there is reported
  // before the sound card is taken. Without a sound card a file asked for is still written.
  std::optional<AudioPlayer> speaker;
  if (play) {
    try {
      speaker.emplace(kOutputRate);
    } catch (const CliError& e) {
      if (!out) throw;
      std::string m = e.what();
      m.resize(std::min(m.size(), m.find("; is a sound card")));  // the advice is taken already
      Warn(m + "; writing " + out->Name() + " only");
    }
  }
  auto emit = [&](const std::uint8_t* data, std::size_t size) {
    if (wav) wav->Write(data, size);
    if (speaker) speaker->Play(data, size);
  };
  std::vector<std::uint8_t> widened;
  std::size_t spoken = 0;  // units with samples: none means the text had nothing to say
  player.SetHiz(rate);
  player.SetOnPlaySyl([&](TStrPlayer& p, TStr3 name, std::int32_t&) {
    const TMemoryStream& s = p.OutputStream();
    if (!name.Empty() && s.Size() > 0) ++spoken;
    if (width == 2) {
      emit(s.Memory(), s.Size());
      return;
    }
    // 8-bit voices are unsigned around 128: widen to the signed 16-bit output.
    widened.resize(s.Size() * 2);
    for (std::size_t i = 0; i < s.Size(); ++i) {
      auto v = static_cast<std::uint16_t>((s.Memory()[i] - 128) * 256);
      widened[2 * i] = static_cast<std::uint8_t>(v);
      widened[2 * i + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    emit(widened.data(), widened.size());
  });
  try {
    player.Speak(text);
  } catch (const Exception& e) {
    VoiceError(voicePath, std::string(e.what()) + " (a unit points outside the file)");
  }
  if (spoken == 0)
    Warn("nothing was spoken: the text has no letter or digit that Turkish speech can say");
  if (wav) {
    wav->Finish();
    out->Commit();
    if (out->IsFile()) {
      char line[64];
      std::snprintf(line, sizeof line, ": %.2f s\n",
                    static_cast<double>(wav->DataBytes()) / 2 / kOutputRate);
      WriteErr(out->Name() + line);
    }
  }
  // The last units are still in the device's buffer: they are heard out when it closes.
  speaker.reset();
  return 0;
}

}  // namespace kalvor::cli
