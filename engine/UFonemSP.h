// TFonemList: a voice's unit inventory. Reads the header and unit table of a speech data file,
// keeps the file open and appends the samples of a named unit to a stream, at a playback rate.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Framework.h"

namespace kalvor {

class TFonemList {
 public:
  struct Entry {
    std::int32_t Offset = 0;
    std::int32_t Length = 0;
  };

  TFonemList();
  ~TFonemList();
  TFonemList(const TFonemList&) = delete;
  TFonemList& operator=(const TFonemList&) = delete;

  // Loads a speech data file; a bare name is looked up in the engine module's directory.
  // Throws Exception ("Data Corrupt!", "Version mismatch!", or an open error naming the path).
  void LoadFromFile(const std::filesystem::path& FileName);
  void Clear();
  // Appends the samples of the first unit called Name (any letter case; code 221 stands as "0")
  // at Rate percent. Nothing for an empty or unknown name.
  void AppendUnit(std::string_view Name, TMemoryStream& Dest, std::int32_t Rate);

  std::uint8_t SampleWidth() const { return FSampleWidth; }
  const std::filesystem::path& FileName() const { return FFileName; }
  std::size_t Count() const { return FList.size(); }
  const std::vector<std::pair<std::string, Entry>>& List() const { return FList; }

 private:
  class DataFile;

  std::vector<std::pair<std::string, Entry>> FList;
  std::filesystem::path FFileName;
  std::unique_ptr<DataFile> FData;
  std::uint8_t FSampleWidth = 0;
};

}  // namespace kalvor
