// kalvor-voicegen: makes the default voices from espeak-ng's Turkish voice, and measures how
// smoothly a voice's units join.
#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "Cp1254.h"
#include "Framework.h"
#include "JoinCheck.h"
#include "UFonemSP_Format.h"
#include "UnitNames.h"
#include "VoiceBuilder.h"

namespace {

const char kUsage[] =
    "Usage: kalvor-voicegen --voice male|female -o FILE.SPD [--units NAME,...]\n"
    "       kalvor-voicegen --list-units\n"
    "       kalvor-voicegen --check-joins FILE.SPD [--max-ratio R] [--words WORD,...]\n"
    "                       [--max-releases N] (TEXT | -f FILE)\n"
    "\n"
    "Makes a speech data file from espeak-ng's Turkish voice: every unit that the engine's front\n"
    "end can name, spoken in a carrier word as a monotone, cut in the middle of its vowels,\n"
    "resampled to 16000 Hz and levelled. The same input gives the same bytes.\n"
    "\n"
    "  --voice male|female  the male voice (espeak-ng \"tr\") or the female one (\"tr+f1\")\n"
    "  -o FILE.SPD          where to write the voice\n"
    "  --units NAME,...     only these units (UTF-8 names, as \"kalvor units\" prints them)\n"
    "  --list-units         print every unit name, one a line\n"
    "  -q                   no report on standard error\n"
    "  --check-joins FILE.SPD\n"
    "                       speak the text (UTF-8) with that voice through the engine and compare\n"
    "                       the sample jumps where units meet with those inside units; with\n"
    "                       --max-ratio R, fail when the joins' 95th percentile exceeds R times\n"
    "                       the 99th percentile inside units. Also lists the units that end in\n"
    "                       a silence and a stray fragment of sound (a click after a gap; any\n"
    "                       fails the check), and counts the stop releases of each word with a\n"
    "                       doubled stop (anlattı, bütçe: one closure and one release each)\n"
    "  --words WORD,...     the words to count releases in (UTF-8; default: anlattı, gitti,\n"
    "                       bitti, etti, attı, yattı, tuttu, öttü, hakkı, hatta, bütçe)\n"
    "  --max-releases N     fail when a word has more than N releases\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A comma-separated UTF-8 list as Windows-1254 items, empty items left out.
std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> out;
  std::string cur;
  for (char c : list + ",") {
    if (c != ',') {
      cur += c;
    } else if (!cur.empty()) {
      out.push_back(kalvor::Utf8ToCp1254(cur));
      cur.clear();
    }
  }
  return out;
}

int Fail(const std::string& m, int code = 1) {
  std::fprintf(stderr, "kalvor-voicegen: %s\n", m.c_str());
  return code;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace kalvor::voicegen;
  std::string voice, output, units, joinsVoice, textFile, text, words;
  double maxRatio = 0;
  int maxReleases = -1;
  bool quiet = false, listUnits = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* opt) -> std::string {
      if (i + 1 >= argc) throw std::runtime_error(std::string("option ") + opt + " needs a value");
      return argv[++i];
    };
    try {
      if (a == "-h" || a == "--help") {
        std::fputs(kUsage, stdout);
        return 0;
      } else if (a == "--voice") {
        voice = value("--voice");
      } else if (a == "-o") {
        output = value("-o");
      } else if (a == "--units") {
        units = value("--units");
      } else if (a == "--list-units") {
        listUnits = true;
      } else if (a == "-q") {
        quiet = true;
      } else if (a == "--check-joins") {
        joinsVoice = value("--check-joins");
      } else if (a == "-f") {
        textFile = value("-f");
      } else if (a == "--max-ratio") {
        std::string v = value("--max-ratio");
        char* end = nullptr;
        maxRatio = std::strtod(v.c_str(), &end);
        if (v.empty() || *end != '\0' || !(maxRatio > 0))
          throw std::runtime_error("--max-ratio takes a positive number, not \"" + v + "\"");
      } else if (a == "--words") {
        words = value("--words");
      } else if (a == "--max-releases") {
        std::string v = value("--max-releases");
        char* end = nullptr;
        long n = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end != '\0' || n < 0 || n > 100)
          throw std::runtime_error("--max-releases takes a whole number from 0 to 100, not \"" + v +
                                   "\"");
        maxReleases = static_cast<int>(n);
      } else if (!joinsVoice.empty() && (a.empty() || a[0] != '-')) {
        text += (text.empty() ? "" : " ") + a;
      } else {
        return Fail("unknown argument \"" + a + "\" (kalvor-voicegen --help)", 2);
      }
    } catch (const std::exception& e) {
      return Fail(e.what(), 2);
    }
  }
  try {
    if (listUnits) {
      for (const auto& n : AllUnitNames())
        std::printf("%s\n", kalvor::Cp1254ToUtf8(n).c_str());
      return 0;
    }
    if (!joinsVoice.empty()) {
      if (text.empty() == textFile.empty()) return Fail("give the text or -f FILE", 2);
      std::string t = kalvor::Utf8ToCp1254(textFile.empty() ? text : ReadFile(textFile));
      JoinReport r = CheckJoins(joinsVoice, t);
      std::fputs(FormatJoinReport(r).c_str(), stdout);
      TailReport tails = CheckTails(joinsVoice);
      std::fputs(kalvor::Cp1254ToUtf8(FormatTailReport(tails)).c_str(), stdout);
      std::vector<std::string> checked = words.empty() ? DoubledStopWords() : SplitNames(words);
      std::vector<ReleaseCount> releases = CountReleases(joinsVoice, checked);
      std::fputs(kalvor::Cp1254ToUtf8(FormatReleases(releases)).c_str(), stdout);
      if (r.joins.count == 0) return Fail("the text gave no joins");
      if (maxRatio > 0 && r.joins.p95 > maxRatio * r.inside.p99)
        return Fail("joins are rough: their 95th percentile is above " + std::to_string(maxRatio) +
                    " times the 99th percentile inside units");
      if (!tails.tails.empty())
        return Fail(std::to_string(tails.tails.size()) +
                    " units end in a silence and a stray fragment of sound");
      for (const ReleaseCount& c : releases)
        if (maxReleases >= 0 && c.releases > maxReleases)
          return Fail("\"" + kalvor::Cp1254ToUtf8(c.word) + "\" has " +
                      std::to_string(c.releases) + " stop releases, more than " +
                      std::to_string(maxReleases));
      return 0;
    }
    if (voice.empty() || output.empty())
      return Fail("give --voice and -o (kalvor-voicegen --help)", 2);
    VoiceSettings settings;
    if (voice == "male") {
      settings = MaleVoice();
    } else if (voice == "female") {
      settings = FemaleVoice();
    } else {
      return Fail("--voice is male or female, not \"" + voice + "\"", 2);
    }
    std::vector<std::string> names;
    if (units.empty()) {
      names = AllUnitNames();
    } else {
      for (const std::string& n : SplitNames(units)) {
        if (!ParseUnitName(n))
          return Fail("\"" + kalvor::Cp1254ToUtf8(n) + "\" is not a unit name", 2);
        names.push_back(n);
      }
    }
    auto t0 = std::chrono::steady_clock::now();
    VoiceBuilder builder(settings);
    BuildReport rep;
    auto built = builder.Build(names, &rep);
    kalvor::WriteSpeechData(output, 2, built);
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (!quiet)
      std::fprintf(stderr,
                   "kalvor-voicegen: %s: %zu units (%zu empty, %zu turned down), %.1f s of speech, "
                   "pitch period %d samples, made in %.1f s\n",
                   output.c_str(), rep.units, rep.emptyUnits, rep.limitedUnits,
                   static_cast<double>(rep.bytes) / 2 / settings.sampleRate, rep.period, secs);
    return 0;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}
