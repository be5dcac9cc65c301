// Small stand-ins for the component framework the engine was designed on: the general exception
// class and the in-memory byte stream that carries one batch of samples.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace kalvor {

// The one exception type of the engine and the reader; its message is the whole report.
class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

// A growable byte buffer with a position, as the player hands samples to its owner.
class TMemoryStream {
 public:
  const std::uint8_t* Memory() const { return data_.data(); }
  std::uint8_t* Memory() { return data_.data(); }
  std::size_t Size() const { return data_.size(); }
  std::size_t Position() const { return pos_; }
  void SetPosition(std::size_t pos) { pos_ = pos; }

  // Writes at the current position, growing the buffer as needed.
  void Write(const void* src, std::size_t count) {
    if (count == 0) return;
    if (pos_ == data_.size()) {  // appending, the usual case: no zero fill before the copy
      const auto* p = static_cast<const std::uint8_t*>(src);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
      // GCC 12 takes the growth of a vector it knows to be empty for a write out of bounds.
#pragma GCC diagnostic ignored "-Wstringop-overflow"
#endif
      data_.insert(data_.end(), p, p + count);
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
      pos_ += count;
      return;
    }
    if (pos_ + count > data_.size()) data_.resize(pos_ + count);
    std::memcpy(data_.data() + pos_, src, count);
    pos_ += count;
  }
  // Reads up to count bytes from the current position; returns how many were read.
  std::size_t Read(void* dst, std::size_t count) {
    std::size_t n = pos_ < data_.size() ? std::min(count, data_.size() - pos_) : 0;
    if (n) std::memcpy(dst, data_.data() + pos_, n);
    pos_ += n;
    return n;
  }
  // Empties the stream and gives its storage back.
  void Clear() {
    std::vector<std::uint8_t>().swap(data_);
    pos_ = 0;
  }
  // Empties the stream and keeps its storage for the next contents (a stream refilled for every
  // unit allocates only while it grows).
  void Reset() {
    data_.clear();
    pos_ = 0;
  }
  const std::vector<std::uint8_t>& Bytes() const {
    return data_;
  }

 private:
  std::vector<std::uint8_t> data_;
  std::size_t pos_ = 0;
};

}  // namespace kalvor
