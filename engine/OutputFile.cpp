#include "OutputFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <system_error>

#include "Framework.h"
#include "UFonemSP_Format.h"

#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <share.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace kalvor {
namespace {

namespace fs = std::filesystem;

std::string Reason(int err) {
  return std::generic_category().message(err ? err : EIO);
}

[[noreturn]] void CannotCreate(const fs::path& p, int err) {
  throw Exception("Cannot create file \"" + PathText(p) + "\". " + Reason(err));
}

// --- temporary files a signal may have to remove ---------------------------------------------
// Fixed storage, so that the handler neither allocates nor locks: a slot is claimed (1), filled,
// published (2), and freed (0) only after its file has been renamed or removed.

constexpr int kSlots = 8;
constexpr std::size_t kMaxName = 4096;
struct PendingSlot {
  std::atomic<int> state{0};
  int fd = -1;
  fs::path::value_type name[kMaxName];
};
PendingSlot gPending[kSlots];

int ClaimSlot(const fs::path& tmp, int fd) {
  const auto& s = tmp.native();
  if (s.size() >= kMaxName) return -1;  // too long to keep: still written safely, not cleaned up
  for (int i = 0; i < kSlots; ++i) {
    int expected = 0;
    if (!gPending[i].state.compare_exchange_strong(expected, 1)) continue;
    std::memcpy(gPending[i].name, s.c_str(), (s.size() + 1) * sizeof(fs::path::value_type));
    gPending[i].fd = fd;
    gPending[i].state.store(2);
    return i;
  }
  return -1;
}

#ifndef _WIN32
// Holds back the interrupts that remove pending files while a temporary file is made and its slot
// filled: an interrupt between the two would leave the file behind.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&held, sig);
    pthread_sigmask(SIG_BLOCK, &held, &saved_);
  }
  ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t saved_;
};
#endif

void FreeSlot(int& slot) {
  if (slot >= 0) gPending[slot].state.store(0);
  slot = -1;
}

// A name no other run picks: pid, clock and a counter, mixed.
std::string UniqueSuffix(unsigned attempt) {
  static std::atomic<std::uint64_t> counter{0};
#ifdef _WIN32
  std::uint64_t pid = static_cast<std::uint64_t>(_getpid());
#else
  std::uint64_t pid = static_cast<std::uint64_t>(getpid());
#endif
  std::uint64_t x =
      static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      (pid << 32) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull) ^ attempt;
  // splitmix64's finaliser spreads every input bit over the name.
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(x));
  return std::string(buf, 8);
}

// Follows the links of p to the path that is finally written. Sets throughProc when a link leads
// into /proc (/dev/stdout, /dev/fd/N): those name an open file of this process, which is written
// directly rather than replaced.
fs::path FollowLinks(const fs::path& p, bool& throughProc) {
  fs::path cur = p;
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(cur, ec)) || ec) return cur;
    fs::path link = fs::read_symlink(cur, ec);
    if (ec) return cur;
    if (PathText(link).rfind("/proc/", 0) == 0) {
      throughProc = true;
      return cur;
    }
    cur = link.is_absolute() ? link : cur.parent_path() / link;
  }
  CannotCreate(p, ELOOP);
}

#ifdef _WIN32
// The names Windows keeps for devices, in any folder and with any extension.
bool IsWindowsDevice(const fs::path& p) {
  std::wstring s = p.native();
  if (s.rfind(L"\\\\.\\", 0) == 0 || s.rfind(L"//./", 0) == 0) return true;
  std::wstring stem = p.stem().native();
  for (auto& c : stem) c = static_cast<wchar_t>(towupper(c));
  if (stem == L"NUL" || stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"CONOUT$")
    return true;
  return stem.size() == 4 && (stem.rfind(L"COM", 0) == 0 || stem.rfind(L"LPT", 0) == 0) &&
         stem[3] >= L'1' && stem[3] <= L'9';
}
#endif

}  // namespace

OutputFile::OutputFile(const fs::path& path) : path_(path) {
  bool throughProc = false;
  target_ = FollowLinks(path_, throughProc);
  std::error_code ec;
  fs::file_status st = fs::status(target_, ec);
  bool exists = fs::exists(st);
  if (exists && fs::is_directory(st)) CannotCreate(path_, EISDIR);
  bool direct = throughProc || (exists && !fs::is_regular_file(st));
#ifdef _WIN32
  direct = direct || IsWindowsDevice(target_);
#endif
  errno = 0;
  if (direct) {
#ifdef _WIN32
    f_ = _wfopen(path_.c_str(), L"wb");
#else
    // One of our own open files (/dev/stdout is /proc/self/fd/1): that very file, so that what
    // the shell set up (appending, the position) holds. Anything else through the path as given.
    int own = -1, fd = -1;
    std::error_code lec;
    std::string link = throughProc ? PathText(fs::read_symlink(target_, lec)) : std::string();
    if (std::sscanf(link.c_str(), "/proc/self/fd/%d", &own) == 1)
      fd = ::fcntl(own, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
      fd = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC | (fs::is_regular_file(st) ? O_TRUNC : 0));
    if (fd >= 0 && !(f_ = fdopen(fd, "wb"))) ::close(fd);
#endif
    if (!f_) CannotCreate(path_, errno);
    return;
  }

#ifndef _WIN32
  struct stat old {};
  bool keep = exists && ::stat(target_.c_str(), &old) == 0;
#endif
  int fd = -1;
#ifndef _WIN32
  InterruptsHeld held;
#endif
  for (unsigned attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    tmp_ = target_;
    tmp_ += "." + UniqueSuffix(attempt) + ".part";
    // Made exclusively: a file or link already there under the name is never written through.
#ifdef _WIN32
    if (_wsopen_s(&fd, tmp_.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT,
                  _SH_DENYWR, _S_IREAD | _S_IWRITE) != 0)
      fd = -1;
#else
    // A file that replaces another is private until it has that file's mode; a new one gets the
    // usual 0666 less the umask.
    fd = ::open(tmp_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW,
                keep ? 0600 : 0666);
#endif
    if (fd < 0 && errno != EEXIST) CannotCreate(path_, errno);
  }
  if (fd < 0) CannotCreate(path_, EEXIST);
  slot_ = ClaimSlot(tmp_, fd);
#ifdef _WIN32
  f_ = _fdopen(fd, "wb");
#else
  if (keep) {
    // The owner where we may set it (root, or a group we belong to), then the mode: a change of
    // owner clears the set-id bits.
    // (Failures are not errors: the file is then ours, as a new one would be.)
    if ((old.st_uid != geteuid() || old.st_gid != getegid()) &&
        ::fchown(fd, old.st_uid, old.st_gid) != 0) {
      [[maybe_unused]] int r = ::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
    }
    [[maybe_unused]] int r = ::fchmod(fd, old.st_mode & 07777);
  }
  f_ = fdopen(fd, "wb");
#endif
  if (!f_) {
    int err = errno;
#ifdef _WIN32
    _close(fd);
#else
    ::close(fd);
#endif
    Abandon();
    CannotCreate(path_, err);
  }
}

OutputFile::~OutputFile() {
  Abandon();
}

void OutputFile::Abandon() noexcept {
  if (f_) std::fclose(f_);
  f_ = nullptr;
  if (!tmp_.empty()) {
    std::error_code ec;
    fs::remove(tmp_, ec);
    tmp_.clear();
  }
  FreeSlot(slot_);
}

void OutputFile::Commit() {
  if (!f_) throw Exception("Cannot write file \"" + PathText(path_) + "\". " + Reason(EBADF));
  errno = 0;
  bool ok = std::fflush(f_) == 0 && !std::ferror(f_);
  int err = errno;
  std::FILE* f = f_;
  f_ = nullptr;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  std::error_code ec;
  if (ok && !tmp_.empty()) {
    fs::rename(tmp_, target_, ec);
    if (ec) {
      ok = false;
      err = ec.value();
    } else {
      tmp_.clear();
    }
  }
  if (!ok) {
    Abandon();
    throw Exception("Cannot write file \"" + PathText(path_) + "\". " + Reason(err));
  }
  FreeSlot(slot_);
}

void RemovePendingOutputs() noexcept {
  for (auto& s : gPending) {
    if (s.state.load() != 2) continue;
#ifdef _WIN32
    // Windows removes no file that is open without delete sharing: close it first (the program
    // is ending).
    _close(s.fd);
    _wunlink(s.name);
#else
    ::unlink(s.name);
#endif
  }
}

}  // namespace kalvor
