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
#include "UFonemSP_Format.h"

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
  // at Rate percent. Nothing for an empty or unknown name. Only whole samples are appended.
  // Throws Exception("Stream read error") when the unit's range is not inside the file.
  void AppendUnit(std::string_view Name, TMemoryStream& Dest, std::int32_t Rate);

  // The slowest rate that still speaks: lower rates (0 among them) play at this one.
  static constexpr std::int32_t kLowestRate = 25;

  // Nearest-sample rate conversion of the whole samples in src (SampleWidth 2: 16-bit, anything
  // else: 8-bit), appended to Dest; pitch and tempo change together. Above 100 the unit shortens
  // to about N x 100 / Rate samples, ending before its last sample; below 100 every sample is
  // played and the unit lengthens to about N x 100 / max(Rate, kLowestRate). The first sample is
  // always taken, no index past the last.
  static void ConvertRate(const std::uint8_t* src, std::size_t bytes, std::uint8_t SampleWidth,
                          std::int32_t Rate, TMemoryStream& Dest);

  std::uint8_t SampleWidth() const { return FSampleWidth; }
  const std::filesystem::path& FileName() const { return FFileName; }
  std::size_t Count() const { return FList.size(); }
  // Whether a data file is open (also after a load that failed on its contents).
  bool IsOpen() const { return FData != nullptr; }
  const std::vector<std::pair<std::string, Entry>>& List() const { return FList; }

 private:
  std::vector<std::pair<std::string, Entry>> FList;
  // Folded name -> its first entry, so duplicates still resolve to the first: an open-addressing
  // table (a power of two, at most half full) holding the entries themselves, so that the lookup
  // done for every spoken unit touches one slot.
  struct IndexSlot {
    std::uint32_t Key = 0;  // 0: empty (a name's key holds its length, never 0)
    Entry Value;
  };
  const IndexSlot* Find(std::uint32_t Key) const;
  std::vector<IndexSlot> FIndex;
  std::filesystem::path FFileName;
  std::unique_ptr<SpeechDataFile> FData;
  std::uint8_t FSampleWidth = 0;
};

}  // namespace kalvor
