#include "Cli.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "Cp1254.h"

namespace kalvor::cli {

bool TextInput::Accept(const std::string& arg, Args& args) {
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
    std::ifstream in(Utf8Path(file_), std::ios::binary);
    if (!in) throw CliError("cannot open " + file_ + ": " + std::strerror(errno));
    raw.assign(std::istreambuf_iterator<char>(in), {});
    if (in.bad()) throw CliError("cannot read " + file_ + ": " + std::strerror(errno));
  } else if (!words_.empty()) {
    for (std::size_t i = 0; i < words_.size(); ++i) raw += (i ? " " : "") + words_[i];
  } else {
    std::ostringstream ss;
    ss << std::cin.rdbuf();
    raw = ss.str();
  }
  try {
    return Utf8ToCp1254(raw);
  } catch (const CliError& e) {
    std::string where = !file_.empty() ? file_ : words_.empty() ? "standard input" : "the argument";
    throw CliError(where + ": " + e.what() + "; convert it first, e.g. iconv -f CP1254 -t UTF-8");
  }
}

char SingleChar(const std::string& opt, const std::string& value) {
  std::string c = Utf8ToCp1254(value);
  if (c.size() != 1) throw CliError(opt + " takes a single character, not \"" + value + "\"", 2);
  return c[0];
}

void WriteOut(const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

}  // namespace kalvor::cli
