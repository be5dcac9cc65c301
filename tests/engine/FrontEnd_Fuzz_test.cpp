// Replays the front end's fuzz corpus (the seeds and every input that once failed) through the
// same checks the fuzz target makes, so that a fault found by fuzzing stays found.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FrontEndInvariants.h"

namespace kalvor {
namespace {

TEST(FuzzCorpus, EveryInputPassesTheFrontEndChecks) {
#ifndef KALVOR_FRONTEND_CORPUS
  GTEST_SKIP() << "the corpus is replayed only in native builds";
#else
  const std::filesystem::path dir = KALVOR_FRONTEND_CORPUS;
  ASSERT_TRUE(std::filesystem::is_directory(dir)) << dir;
  int inputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::ifstream in(entry.path(), std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), {});
    if (data.empty()) continue;
    ++inputs;
    fuzz::PickSeparators(static_cast<unsigned char>(data[0]));
    std::string_view text = std::string_view(data).substr(1);
    EXPECT_EQ(fuzz::CheckFrontEnd(text), "") << entry.path();
    EXPECT_EQ(fuzz::CheckReadNumber(text), "") << entry.path();
  }
  host::SetNumberSeparators('.', ',');
  EXPECT_GT(inputs, 0);
#endif
}

}  // namespace
}  // namespace kalvor
