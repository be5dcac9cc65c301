// kalvor say --play: libao's live output.
#include "Playback.h"

#include "Cli.h"

#ifdef KALVOR_HAVE_AO
#include <ao/ao.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>
#endif

namespace kalvor::cli {

#ifdef KALVOR_HAVE_AO

namespace {

std::string DriverName(int id) {
  const ao_info* info = ao_driver_info(id);
  return info && info->short_name ? info->short_name : "driver " + std::to_string(id);
}

std::string OpenError(int err) {
  switch (err) {
    case AO_ENODRIVER:
      return "no such output";
    case AO_ENOTLIVE:
      return "writes files only";
    case AO_EBADOPTION:
      return "an option in libao's configuration is wrong";
    case AO_EOPENDEVICE:
      return "the device did not open";
    default:
      return "failed";
  }
}

}  // namespace

// Keeps the sound libraries' own messages (ALSA's "cannot find card", the sound server's
// "connection refused") off the terminal while it lives: a missing device is reported once, in
// our own words.
class QuietStderr {
 public:
  QuietStderr() {
    std::fflush(stderr);
    saved_ = ::dup(2);
    int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (saved_ >= 0 && null >= 0) ::dup2(null, 2);
    if (null >= 0) ::close(null);
  }
  ~QuietStderr() {
    if (saved_ < 0) return;
    ::dup2(saved_, 2);
    ::close(saved_);
  }
  QuietStderr(const QuietStderr&) = delete;
  QuietStderr& operator=(const QuietStderr&) = delete;

 private:
  int saved_ = -1;
};

AudioPlayer::AudioPlayer(std::uint32_t sampleRate) {
  QuietStderr quiet;
  ao_initialize();
  ao_sample_format format{};
  format.bits = 16;
  format.rate = static_cast<int>(sampleRate);
  format.channels = 1;
  format.byte_format = AO_FMT_LITTLE;

  // libao's default output comes from its configuration (/etc/libao.conf, ~/.libao; Debian names
  // ALSA, whose default device is the sound server's on a desktop) or else from probing. A machine
  // whose default does not open may still have the other one.
  std::vector<int> candidates;
  auto add = [&](int id) {
    if (id < 0) return;
    for (int c : candidates)
      if (c == id) return;
    candidates.push_back(id);
  };
  add(ao_default_driver_id());
  add(ao_driver_id("pulse"));
  add(ao_driver_id("alsa"));

  std::string tried;
  for (int id : candidates) {
    errno = 0;
    ao_device* device = ao_open_live(id, &format, nullptr);
    if (device) {
      device_ = device;
      output_ = DriverName(id);
      return;
    }
    tried += (tried.empty() ? "" : ", ") + DriverName(id) + " (" + OpenError(errno) + ")";
  }
  ao_shutdown();
  throw CliError(
      "say --play: no audio output could be opened" +
      (tried.empty() ? std::string(": libao has no live output") : " (tried " + tried + ")") +
      "; is a sound card or sound server there? Write a WAV file with -o FILE.wav instead");
}

AudioPlayer::~AudioPlayer() {
  ao_close(static_cast<ao_device*>(device_));
  ao_shutdown();
}

void AudioPlayer::Play(const std::uint8_t* data, std::size_t size) {
  // libao takes a mutable pointer but only reads the samples.
  auto* samples = reinterpret_cast<char*>(const_cast<std::uint8_t*>(data));
  while (size > 0) {
    const auto chunk = static_cast<uint_32>(size > (1u << 30) ? (1u << 30) : size);
    if (ao_play(static_cast<ao_device*>(device_), samples, chunk) == 0)
      throw CliError("say --play: the audio output " + output_ + " failed while playing");
    samples += chunk;
    size -= chunk;
  }
}

#else  // no libao: Windows builds, where the engine speaks through SAPI 4 instead

AudioPlayer::AudioPlayer(std::uint32_t) {
  throw CliError(
      "say --play: this kalvor was built without audio playback (libao); write a WAV file with -o "
      "FILE.wav" +
#ifdef _WIN32
      std::string(", or speak through the installed engine with kalvor-sapi say")
#else
      std::string(", or install libao-dev and build again")
#endif
  );
}

AudioPlayer::~AudioPlayer() = default;

void AudioPlayer::Play(const std::uint8_t*, std::size_t) {}

#endif

}  // namespace kalvor::cli
