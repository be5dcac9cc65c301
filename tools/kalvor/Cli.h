// Shared pieces of the kalvor command line: errors, argument walking and the text input.
#pragma once

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "UserError.h"

namespace kalvor::cli {

// A user error: printed as "kalvor: MESSAGE", exit code 1 (2 for a usage error). The text
// conversions throw the same type, so that bad input reads as any other user error.
using CliError = UserError;

// Walks a command's arguments. "--" ends the options: every argument after it is taken as it is
// (Plain), also one that starts with a minus.
class Args {
 public:
  explicit Args(std::vector<std::string> a) : a_(std::move(a)) {}
  bool Done() {
    SkipDashes();
    return i_ >= a_.size();
  }
  std::string Next() {
    SkipDashes();
    plain_ = literal_;
    return a_[i_++];
  }
  // Whether the argument Next returned last came after "--".
  bool Plain() const { return plain_; }
  // The value after option `opt` (the current argument); a usage error when it is missing.
  std::string Value(const std::string& opt) {
    if (i_ >= a_.size()) throw CliError("option " + opt + " needs a value", 2);
    return a_[i_++];
  }

 private:
  void SkipDashes() {
    if (!literal_ && i_ < a_.size() && a_[i_] == "--") {
      literal_ = true;
      ++i_;
    }
  }
  std::vector<std::string> a_;
  std::size_t i_ = 0;
  bool literal_ = false, plain_ = false;
};

// TEXT words, -f FILE or - (standard input); with none of these, standard input.
class TextInput {
 public:
  // Takes `arg` (already taken from `args`) if it belongs to the text input.
  bool Accept(const std::string& arg, Args& args);
  // The text as Windows-1254 (UTF-8 is expected on input). Throws CliError naming the file for a
  // folder, UTF-16 text, bytes that are not UTF-8 and text beyond kMaxTextBytes.
  std::string Load() const;

  // The most text read at once: far more than a book, and a stop for endless inputs (/dev/zero).
  static constexpr std::size_t kMaxTextBytes = std::size_t{64} << 20;

 private:
  std::vector<std::string> words_;
  std::string file_;
  bool stdin_ = false;
};

// Number of a single character option value (--thousands, --decimal): a one-byte Windows-1254 char.
char SingleChar(const std::string& opt, const std::string& value);

// Command-line paths are UTF-8 on every system (the Windows command line is read wide).
inline std::filesystem::path Utf8Path(const std::string& s) {
  return std::filesystem::path(std::u8string(s.begin(), s.end()));
}

// Writes UTF-8 text to stdout or stderr exactly (no locale translation); to a Windows console as
// wide characters, which it shows whatever its code page.
void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);
// "kalvor: warning: MESSAGE" on stderr.
void Warn(const std::string& message);
// Flushes stdout; throws CliError when anything written to it was lost (a full disk, a closed
// pipe), so that no command reports success for output that did not arrive.
void FlushOut();

// Commands. Each gets the arguments after its name and returns the exit code.
int CmdSentences(Args args);
int CmdUnits(Args args);
int CmdSay(Args args);
int CmdVoice(Args args);

}  // namespace kalvor::cli
