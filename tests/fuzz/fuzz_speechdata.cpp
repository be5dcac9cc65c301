// libFuzzer target for the speech data loader and unit retrieval: arbitrary bytes as a voice file,
// every stored name and a few others fetched at several rates. Nothing may crash, read outside a
// buffer or allocate beyond the file's own size; the only error allowed out of a unit request is
// the stream's read error.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "Framework.h"
#include "UFonemSP.h"

namespace {

const std::filesystem::path& FilePath() {
  static const std::filesystem::path p = std::filesystem::temp_directory_path() /
                                         ("fuzz_speechdata_" + std::to_string(getpid()) + ".spd");
  return p;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_speechdata: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  {
    std::FILE* f = std::fopen(FilePath().c_str(), "wb");
    Check(f != nullptr, "cannot write the input file");
    Check(std::fwrite(data, 1, size, f) == size, "cannot write the input file");
    std::fclose(f);
  }
  kalvor::TFonemList list;
  try {
    list.LoadFromFile(FilePath());
  } catch (const kalvor::Exception& e) {
    std::string m = e.what();
    Check(m == "Data Corrupt!" || m == "Version mismatch!", "unexpected load error");
    Check(list.Count() == 0, "a refused file left entries");
    return 0;
  }
  Check(list.Count() <= size / 11, "more entries than the file can hold");

  std::vector<std::string> names = {"KA", "ka", "D\xDD", "d0", "_AP", "A1", "\xDD", ""};
  for (std::size_t i = 0; i < list.Count() && i < 64; ++i) names.push_back(list.List()[i].first);
  const std::size_t sampleSize = list.SampleWidth() == 2 ? 2 : 1;
  for (const auto& name : names) {
    for (std::int32_t rate : {100, 0, 50, 101, 150, 200, 300, -7}) {
      kalvor::TMemoryStream out;
      out.Write("z", 1);  // units are appended after what the stream holds
      try {
        list.AppendUnit(name, out, rate);
      } catch (const kalvor::Exception& e) {
        Check(std::string(e.what()) == "Stream read error", "unexpected unit error");
        Check(out.Size() == 1, "a failed unit changed the output");
        continue;
      }
      // Below 100 a unit is stretched, each sample played about 100 / rate times.
      const std::size_t stretch =
          rate >= 100 ? 100
                      : static_cast<std::size_t>(std::max(rate, kalvor::TFonemList::kLowestRate));
      Check(out.Size() <= 1 + size * 100 / stretch + 2 * sampleSize, "a unit larger than the file");
      Check((out.Size() - 1) % sampleSize == 0, "a unit of partial samples");
    }
  }
  return 0;
}
