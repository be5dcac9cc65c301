// kalvor sentences / kalvor units: the text front end's stages on their own, for checking how the
// engine reads a text without speaking it.
#include <cstdio>
#include <string>

#include "Cli.h"
#include "Cp1254.h"
#include "StrPlaySP.h"

namespace kalvor::cli {
namespace {

const char kSentencesHelp[] =
    "Usage: kalvor sentences [TEXT | -f FILE | -]\n"
    "\n"
    "Prints every sentence as the engine speaks it: its kind (. statement,\n"
    "? question, ! exclamation), a TAB, and the sentence after its words were joined\n"
    "and its numbers read as words. Text is UTF-8, from the arguments, a file (-f) or\n"
    "standard input; -- ends the options.\n"
    "\n"
    "  --thousands C   thousands separator for reading numbers (default .)\n"
    "  --decimal C     decimal separator for reading numbers (default ,)\n"
    "  -h, --help      this help\n";

const char kUnitsHelp[] =
    "Usage: kalvor units [TEXT | -f FILE | -]\n"
    "\n"
    "Prints the speech unit names in speaking order, one per line, and an empty line\n"
    "for the pause after every sentence. Text is UTF-8, from the arguments, a file\n"
    "(-f) or standard input; -- ends the options.\n"
    "\n"
    "  --thousands C   thousands separator for reading numbers (default .)\n"
    "  --decimal C     decimal separator for reading numbers (default ,)\n"
    "  -h, --help      this help\n";

// Reads the command's arguments; false when the help was asked for (and printed).
bool ParseText(Args& args, const char* help, const char* command, TextInput& input) {
  while (!args.Done()) {
    std::string a = args.Next();
    if (a == "-h" || a == "--help") {
      WriteOut(help);
      return false;
    }
    if (!input.Accept(a, args))
      throw CliError(std::string("unknown option ") + a + " (kalvor " + command + " --help)", 2);
  }
  return true;
}

// Collects the output and hands it on in large pieces: a book-length text gives millions of
// short lines.
class Out {
 public:
  ~Out() { Flush(); }
  void Line(std::string_view cp1254) {
    buf_ += Cp1254ToUtf8(cp1254);
    buf_ += '\n';
    if (buf_.size() >= (1u << 16)) Flush();
  }
  void Flush() {
    WriteOut(buf_);
    buf_.clear();
  }

 private:
  std::string buf_;
};

}  // namespace

int CmdSentences(Args args) {
  TextInput input;
  if (!ParseText(args, kSentencesHelp, "sentences", input)) return 0;
  std::string text = input.Load();
  TStrPlayer player;
  player.BeginText(text);
  Out out;
  static constexpr char kKinds[3] = {'.', '?', '!'};
  while (player.NextSentence()) {
    std::string line(1, kKinds[player.SentenceKind() < 3 ? player.SentenceKind() : 0]);
    line += '\t';
    line += player.Sentence();
    out.Line(line);
  }
  out.Flush();
  FlushOut();  // a full disk or a closed pipe is no success
  return 0;
}

int CmdUnits(Args args) {
  TextInput input;
  if (!ParseText(args, kUnitsHelp, "units", input)) return 0;
  std::string text = input.Load();
  TStrPlayer player;
  Out out;
  // Spoken without a voice: the names come out in the order they are spoken, an empty one for the
  // pause after every sentence.
  player.SetOnPlaySyl([&out](TStrPlayer&, TStr3 name, std::int32_t&) { out.Line(name.View()); });
  player.Speak(text);
  out.Flush();
  FlushOut();  // a full disk or a closed pipe is no success
  return 0;
}

}  // namespace kalvor::cli
