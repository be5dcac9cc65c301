// Shared pieces of the kalvor command line: errors, argument walking and the text input.
#pragma once

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalvor::cli {

// A user error: printed as "kalvor: MESSAGE", exit code 1 (2 for a usage error).
class CliError : public std::runtime_error {
 public:
  explicit CliError(const std::string& m, int code = 1) : std::runtime_error(m), exit_code(code) {}
  int exit_code;
};

// Walks a command's arguments.
class Args {
 public:
  explicit Args(std::vector<std::string> a) : a_(std::move(a)) {}
  bool Done() const { return i_ >= a_.size(); }
  const std::string& Peek() const { return a_[i_]; }
  std::string Next() { return a_[i_++]; }
  // The value after option `opt` (the current argument); a usage error when it is missing.
  std::string Value(const std::string& opt) {
    if (i_ >= a_.size()) throw CliError("option " + opt + " needs a value", 2);
    return a_[i_++];
  }

 private:
  std::vector<std::string> a_;
  std::size_t i_ = 0;
};

// TEXT words, -f FILE or - (standard input); with none of these, standard input.
class TextInput {
 public:
  // Takes `arg` (already taken from `args`) if it belongs to the text input.
  bool Accept(const std::string& arg, Args& args);
  // The text as Windows-1254 (UTF-8 is expected on input).
  std::string Load() const;

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

// Writes UTF-8 text to stdout exactly (no locale translation).
void WriteOut(const std::string& utf8);

// Commands. Each gets the arguments after its name and returns the exit code.
int CmdSentences(Args args);
int CmdUnits(Args args);
int CmdSay(Args args);
int CmdVoice(Args args);

}  // namespace kalvor::cli
