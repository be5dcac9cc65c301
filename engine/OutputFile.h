// Writing a file so that what its path names is only ever the old contents or the whole new ones.
// Every tool that writes a file the user named (WAV files, speech data files) goes through here.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

namespace kalvor {

// An output file opened for writing:
// - a regular file (or a name not yet taken) is written into a temporary file made exclusively,
//   under a unique name, in the same folder, and renamed over the target by Commit; a link is
//   followed, so the file it points to is replaced and the link stays; a replaced file keeps its
//   mode (and its owner and group where we may set them);
// - anything else that exists (a device such as /dev/null, a FIFO, /dev/stdout) is written
//   directly: replacing it would destroy it, and whoever reads it expects the data there.
// Without Commit (an error, an exception) the temporary file is removed and the target is left as
// it was. While a temporary file exists, RemovePendingOutputs can remove it from a signal handler.
class OutputFile {
 public:
  // Throws Exception: Cannot create file "PATH". REASON
  explicit OutputFile(const std::filesystem::path& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // The stream to write to (binary).
  std::FILE* Stream() const { return f_; }
  // Whether writes go straight into what the path names.
  bool Direct() const { return tmp_.empty(); }
  const std::filesystem::path& Path() const { return path_; }

  // Flushes and closes the stream, checking every step, and puts the file in place. Throws
  // Exception: Cannot write file "PATH". REASON (the target is then unchanged).
  void Commit();
  // Closes the stream and removes the temporary file; the target stays as it was.
  void Abandon() noexcept;

 private:
  std::filesystem::path path_;    // as given, for messages
  std::filesystem::path target_;  // what is replaced: path_ with its links followed
  std::filesystem::path tmp_;     // the temporary file; empty when writing directly
  std::FILE* f_ = nullptr;
  int slot_ = -1;  // in the list of pending temporary files
};

// Removes every temporary file of an OutputFile that has neither been committed nor abandoned.
// Async-signal-safe (POSIX); for the interrupt handlers of a program.
void RemovePendingOutputs() noexcept;

}  // namespace kalvor
