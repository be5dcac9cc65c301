// Playing kalvor say's audio straight to the sound card. The audio goes through libao, which
// reaches the sound server (PulseAudio or PipeWire) or ALSA, whichever the machine has; kalvor has
// no audio code of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kalvor::cli {

// An open audio output for 16-bit signed little-endian mono samples. Play blocks while the device
// is full, so speech is made no faster than it is heard.
class AudioPlayer {
 public:
  // Opens the default output; when it does not open, the sound server's and ALSA's outputs are
  // tried too. Throws CliError naming every output tried when none opens.
  explicit AudioPlayer(std::uint32_t sampleRate);
  // Plays what is still buffered to its end, then closes the device.
  ~AudioPlayer();
  AudioPlayer(const AudioPlayer&) = delete;
  AudioPlayer& operator=(const AudioPlayer&) = delete;

  // Throws CliError when the device fails.
  void Play(const std::uint8_t* data, std::size_t size);
  // The output that opened (libao's short name: "pulse", "alsa", ...).
  const std::string& Output() const { return output_; }

 private:
  void* device_ = nullptr;
  std::string output_;
};

}  // namespace kalvor::cli
