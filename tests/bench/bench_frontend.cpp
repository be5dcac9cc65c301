// Timing of the text front end on a large text: how long a whole text takes to step through
// (every sentence, word and unit, as the speaking loop calls them), and how long it takes from
// the start of speaking to the first unit when the whole text is handed over in one piece.
//   bench_frontend FILE [REPEATS]      FILE is UTF-8
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Cp1254.h"
#include "StrPlaySP.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}
// Processor time as well: on a machine shared with other work it says what the front end itself
// costs, where the wall clock also counts the waiting.
double CpuMs(std::clock_t c) {
  return 1000.0 * static_cast<double>(c) / CLOCKS_PER_SEC;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_frontend FILE [REPEATS]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "bench_frontend: cannot open %s\n", argv[1]);
    return 1;
  }
  std::string utf8((std::istreambuf_iterator<char>(in)), {});
  const int repeats = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
  std::string text;
  try {
    text = kalvor::Utf8ToCp1254(utf8);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_frontend: %s: %s\n", argv[1], e.what());
    return 1;
  }

  std::vector<double> first, whole, firstCpu, wholeCpu;
  std::size_t units = 0, sentences = 0;
  for (int r = 0; r < repeats; ++r) {
    kalvor::TStrPlayer p;
    units = sentences = 0;
    bool seenFirst = false;
    auto t0 = Clock::now();
    std::clock_t c0 = std::clock();
    // Spoken without a voice: the front end's work in speaking order, the pause after each
    // sentence being an empty name.
    p.SetOnPlaySyl([&](kalvor::TStrPlayer&, kalvor::TStr3 name, std::int32_t&) {
      if (name.Empty()) {
        ++sentences;
        return;
      }
      if (!seenFirst) {
        first.push_back(Ms(Clock::now() - t0));
        firstCpu.push_back(CpuMs(std::clock() - c0));
        seenFirst = true;
      }
      ++units;
    });
    p.Speak(text);
    whole.push_back(Ms(Clock::now() - t0));
    wholeCpu.push_back(CpuMs(std::clock() - c0));
  }
  double mb = static_cast<double>(utf8.size()) / 1e6;
  double wholeMs = Median(whole), wholeCpuMs = Median(wholeCpu);
  std::printf("text: %.2f MB (UTF-8), %zu sentences, %zu units; medians of %d runs\n", mb,
              sentences, units, repeats);
  std::printf("whole text:       %7.1f ms wall, %.1f MB/s; %7.1f ms processor, %.1f MB/s\n",
              wholeMs, mb / (wholeMs / 1e3), wholeCpuMs, mb / (wholeCpuMs / 1e3));
  if (!first.empty())
    std::printf("first unit after: %7.2f ms wall; %7.2f ms processor\n", Median(first),
                Median(firstCpu));
  return 0;
}
