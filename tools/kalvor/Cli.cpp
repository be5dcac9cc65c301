#include "Cli.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "Cp1254.h"
#include "StrPlaySP_Text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "WinConsole.h"
#endif

namespace kalvor::cli {
namespace {

std::string Reason() {
  return std::strerror(errno ? errno : EIO);
}

// All of f, up to the limit. name is used in messages.
std::string ReadAll(std::FILE* f, const std::string& name) {
  std::string raw;
  static char buf[1 << 16];
  std::size_t n;
  errno = 0;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
    if (raw.size() + n > TextInput::kMaxTextBytes)
      throw CliError(name + ": more than 64 MiB of text, the most kalvor reads at once; give it " +
                     "in parts");
    raw.append(buf, n);
  }
  if (std::ferror(f)) throw CliError("cannot read " + name + ": " + Reason());
  return raw;
}

// A console shows bytes in its own code page (857 or 1254 for Turkish), which would garble the
// UTF-8: on Windows, text goes through the console helpers of the Windows tools, which give a
// console wide characters.
void WriteTo(std::FILE* f, const std::string& utf8) {
  if (utf8.empty()) return;
#ifdef _WIN32
  if (f == stdout) return win::Out(win::FromUtf8(utf8));
  if (f == stderr) return win::Err(win::FromUtf8(utf8));
#endif
  std::fwrite(utf8.data(), 1, utf8.size(), f);
}

}  // namespace

bool TextInput::Accept(const std::string& arg, Args& args) {
  if (args.Plain()) {
    words_.push_back(arg);
    return true;
  }
  if (arg == "-f" || arg == "--file") {
    if (!file_.empty() || stdin_) throw CliError("give the text only once", 2);
    file_ = args.Value(arg);
    return true;
  }
  if (arg == "-") {
    if (!file_.empty() || stdin_) throw CliError("give the text only once", 2);
    stdin_ = true;
    return true;
  }
  if (!arg.empty() && arg[0] == '-' && arg.size() > 1 &&
      !std::isdigit(static_cast<unsigned char>(arg[1])))
    return false;  // an option, not text (a leading minus before a digit is text: "-5 derece")
  words_.push_back(arg);
  return true;
}

std::string TextInput::Load() const {
  if (!words_.empty() && (!file_.empty() || stdin_))
    throw CliError("give the text either as arguments, with -f FILE or on standard input", 2);
  std::string raw;
  if (!file_.empty()) {
    std::error_code ec;
    if (std::filesystem::is_directory(Utf8Path(file_), ec))
      throw CliError(file_ + ": a folder, not a text file");
    errno = 0;
#ifdef _WIN32
    std::FILE* f = _wfopen(Utf8Path(file_).c_str(), L"rb");
#else
    std::FILE* f = std::fopen(file_.c_str(), "rb");
#endif
    if (!f) throw CliError("cannot open " + file_ + ": " + Reason());
    try {
      raw = ReadAll(f, file_);
    } catch (...) {
      std::fclose(f);
      throw;
    }
    std::fclose(f);
  } else if (!words_.empty()) {
    for (std::size_t i = 0; i < words_.size(); ++i) raw += (i ? " " : "") + words_[i];
  } else {
#ifdef _WIN32
    _setmode(_fileno(stdin), _O_BINARY);
#endif
    raw = ReadAll(stdin, "standard input");
  }
  std::string where = !file_.empty() ? file_ : words_.empty() ? "standard input" : "the argument";
  if (raw.size() >= 2 &&
      ((raw[0] == '\xFF' && raw[1] == '\xFE') || (raw[0] == '\xFE' && raw[1] == '\xFF')))
    throw CliError(where + ": UTF-16 text; kalvor reads UTF-8: convert it first, e.g. iconv " +
                   "-f UTF-16 -t UTF-8");
  try {
    return Utf8ToCp1254(raw);
  } catch (const CliError& e) {
    throw CliError(where + ": " + e.what() + "; convert it first, e.g. iconv -f CP1254 -t UTF-8");
  }
}

char SingleChar(const std::string& opt, const std::string& value) {
  std::string c = Utf8ToCp1254(value);
  if (c.size() != 1) throw CliError(opt + " takes a single character, not \"" + value + "\"", 2);
  const auto u = static_cast<unsigned char>(c[0]);
  // A digit or a letter as a separator would make every number, or every word, a number.
  if (IsLetterOrDigit(c[0]) || std::isalnum(u) || (u >= 0xC0 && u != 0xD7 && u != 0xF7))
    throw CliError(
        opt + " takes a punctuation mark or a space, not the letter or digit \"" + value + "\"", 2);
  return c[0];
}

void WriteOut(const std::string& utf8) {
  WriteTo(stdout, utf8);
}

void WriteErr(const std::string& utf8) {
  WriteTo(stderr, utf8);
}

void Warn(const std::string& message) {
  WriteErr("kalvor: warning: " + message + "\n");
}

void FlushOut() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::string why = Reason();
    std::clearerr(stdout);
    throw CliError("cannot write standard output: " + why);
  }
}

}  // namespace kalvor::cli
