// Where kalvor's output lands: a file named by -o is only ever replaced by a whole WAV, and what is
// not a regular file (a FIFO, /dev/stdout, a link to one) is written into, never replaced; an
// interrupted run leaves nothing behind; a pipe gets the audio as it is made; a failed write is
// never reported as success. Run as the real program, as a user meets it.
#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(KALVOR_EXE)

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "Cli.h"
#include "SyntheticVoice.h"
#include "Wav.h"

extern char** environ;

namespace kalvor::cli {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using test::SyntheticVoice;
using test::TempDir;

Bytes Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string Text(const fs::path& p) {
  Bytes b = Read(p);
  return std::string(b.begin(), b.end());
}

// The names in a folder.
std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
  return out;
}

// A running kalvor: its standard input (and, when asked, its standard output) are pipes of ours.
class Child {
 public:
  Child(const std::vector<std::string>& args, bool pipeOut = false) {
    int in[2], out[2] = {-1, -1};
    EXPECT_EQ(pipe(in), 0);
    if (pipeOut) {
      EXPECT_EQ(pipe(out), 0);
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_addclose(&fa, in[1]);
    if (pipeOut) {
      posix_spawn_file_actions_adddup2(&fa, out[1], 1);
      posix_spawn_file_actions_addclose(&fa, out[0]);
    } else {
      posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    }
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> all = {KALVOR_EXE};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&pid_, KALVOR_EXE, &fa, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    in_ = in[1];
    if (pipeOut) {
      close(out[1]);
      out_ = out[0];
    }
  }
  ~Child() {
    if (in_ >= 0) close(in_);
    if (out_ >= 0) close(out_);
    if (pid_ > 0) Wait();
  }
  void Feed(const std::string& text) {
    EXPECT_EQ(write(in_, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(in_);
    in_ = -1;
  }
  int OutFd() const { return out_; }
  pid_t Pid() const { return pid_; }
  int Wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
};

// Waits (up to 10 s) until the folder holds a name ending in ".part": the run's temporary file.
bool WaitForPart(const fs::path& dir) {
  for (int i = 0; i < 1000; ++i) {
    for (const auto& n : Listing(dir))
      if (n.size() > 5 && n.compare(n.size() - 5, 5, ".part") == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

class SayOutput : public testing::Test {
 protected:
  void SetUp() override {
    voice_ = SyntheticVoice::Covering(test::AllTurkishUnitNames(), 2, 50)
                 .WriteTo(voiceDir_.Path())
                 .string();
  }
  // The WAV that -o gives for text, made once for comparison.
  Bytes Reference(const std::string& text) {
    auto p = voiceDir_ / "reference.wav";
    EXPECT_EQ(Shell("say --voice '" + voice_ + "' -o '" + p.string() + "' '" + text + "'"), 0);
    return Read(p);
  }
  // kalvor with these arguments through the shell (redirections allowed); its exit status. Its
  // standard error goes to the file err, or nowhere.
  int Shell(const std::string& args, const fs::path& err = "/dev/null") {
    // (The sound libraries keep what they allocate to the end: no leak of ours to report.)
    int st = std::system(("ASAN_OPTIONS=detect_leaks=0 " + std::string(KALVOR_EXE) + " " + args +
                          " 2>'" + err.string() + "'")
                             .c_str());
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  }

  TempDir voiceDir_, dir_;
  std::string voice_;
  const std::string text_ = "Merhaba dünya. Bugün hava güzel mi?";
};

TEST_F(SayOutput, WritesIntoFifosAndOpenFilesInsteadOfReplacingThem) {
  Bytes want = Reference(text_);
  // A FIFO: a reader at its other end gets the WAV, and the FIFO stays a FIFO.
  auto fifo = dir_ / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  // Our own writer end keeps the reader from seeing the end before kalvor has come and gone.
  int rfd = open(fifo.c_str(), O_RDONLY | O_NONBLOCK), wfd = open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(rfd, 0);
  ASSERT_GE(wfd, 0);
  fcntl(rfd, F_SETFL, 0);
  Bytes got;
  std::thread reader([&] {
    std::uint8_t buf[65536];
    ssize_t n;
    while ((n = read(rfd, buf, sizeof buf)) > 0) got.insert(got.end(), buf, buf + n);
  });
  EXPECT_EQ(Shell("say --voice '" + voice_ + "' -o '" + fifo.string() + "' '" + text_ + "'"), 0);
  close(wfd);
  reader.join();
  close(rfd);
  EXPECT_TRUE(fs::is_fifo(fifo));
  ASSERT_GT(got.size(), 44u);
  EXPECT_EQ(ParseWav(got, "fifo").samples, ParseWav(want, "reference").samples);

  // A link to this process's standard output (what /dev/stdout is): the pipe gets the audio and
  // the link stays.
  auto link = dir_ / "stdout";
  fs::create_symlink("/proc/self/fd/1", link);
  auto piped = dir_ / "piped.wav";
  EXPECT_EQ(Shell("say --voice '" + voice_ + "' -o '" + link.string() + "' '" + text_ +
                  "' | cat > '" + piped.string() + "'"),
            0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ParseWav(Read(piped), "piped").samples, ParseWav(want, "reference").samples);

  // The file the shell opened, as it opened it: appended to, and a new file gets exact sizes.
  auto appended = dir_ / "appended", fresh = dir_ / "fresh.wav";
  test::WriteFile(appended, {'H', 'E', 'A', 'D'});
  EXPECT_EQ(Shell("say --voice '" + voice_ + "' -o '" + link.string() + "' '" + text_ + "' >> '" +
                  appended.string() + "'"),
            0);
  Bytes a = Read(appended);
  ASSERT_GT(a.size(), 4u);
  EXPECT_EQ(ParseWav(Bytes(a.begin() + 4, a.end()), "appended").samples,
            ParseWav(want, "reference").samples);
  EXPECT_EQ(Shell("say --voice '" + voice_ + "' -o '" + link.string() + "' '" + text_ + "' > '" +
                  fresh.string() + "'"),
            0);
  EXPECT_EQ(Read(fresh), want);
}

TEST_F(SayOutput, ReplacesTheTargetOfALinkAndKeepsModeAndOwner) {
  Bytes want = Reference(text_);
  auto real = dir_ / "real.wav", link = dir_ / "link.wav";
  test::WriteFile(real, {'o', 'l', 'd'});
  fs::create_symlink("real.wav", link);
  ASSERT_EQ(chmod(real.c_str(), 0640), 0);
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(real.c_str(), 1234, 4321), 0);
  }

  EXPECT_EQ(Shell("say --voice '" + voice_ + "' -o '" + link.string() + "' '" + text_ + "'"), 0);
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(Read(real), want);
  struct stat st {};
  ASSERT_EQ(stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 1234u);
    EXPECT_EQ(st.st_gid, 4321u);
  }
  EXPECT_EQ(Listing(dir_.Path()), (std::set<std::string>{"link.wav", "real.wav"}));
}

TEST_F(SayOutput, ATemporaryNameTakenByALinkIsNeverWrittenThrough) {
  // A hostile user's links under every name the temporary file has had: the victim stays whole.
  auto victim = dir_ / "victim";
  test::WriteFile(victim, {'s', 'a', 'f', 'e'});
  for (const char* n : {"out.wav.part", "out.wav.tmp", ".out.wav.part"})
    fs::create_symlink(victim, dir_ / n);
  EXPECT_EQ(Shell("say --voice '" + voice_ + "' -o '" + (dir_ / "out.wav").string() + "' '" +
                  text_ + "'"),
            0);
  EXPECT_EQ(Text(victim), "safe");
  EXPECT_EQ(Read(dir_ / "out.wav"), Reference(text_));
}

TEST_F(SayOutput, TwoRunsOnOneFileLeaveOneWholeWav) {
  const std::string a = text_, b = "Yarın buluşalım. Saat üçte, kütüphanenin önünde!";
  Bytes wantA = Reference(a), wantB = Reference(b);
  auto out = (dir_ / "out.wav").string();
  // Both open their output before either has its text, so their writing overlaps.
  Child first({"say", "--voice", voice_, "-o", out, "-"});
  Child second({"say", "--voice", voice_, "-o", out, "-"});
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  second.Feed(b);
  first.Feed(a);
  int s1 = first.Wait(), s2 = second.Wait();
  EXPECT_TRUE(WIFEXITED(s1) && WEXITSTATUS(s1) == 0);
  EXPECT_TRUE(WIFEXITED(s2) && WEXITSTATUS(s2) == 0);
  Bytes got = Read(out);
  EXPECT_TRUE(got == wantA || got == wantB) << got.size() << " bytes";
  EXPECT_EQ(Listing(dir_.Path()), std::set<std::string>{"out.wav"});
}

TEST_F(SayOutput, AnInterruptRemovesTheTemporaryFileAndEndsAsTheSignalWould) {
  auto out = dir_ / "out.wav";
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    test::WriteFile(out, {'o', 'l', 'd'});
    Child run({"say", "--voice", voice_, "-o", out.string(), "-"});
    ASSERT_TRUE(WaitForPart(dir_.Path())) << sig;  // the output is open; the text still to come
    kill(run.Pid(), sig);
    int status = run.Wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << ": " << status;
    EXPECT_EQ(Listing(dir_.Path()), std::set<std::string>{"out.wav"}) << sig;
    EXPECT_EQ(Text(out), "old") << sig;
  }
}

TEST_F(SayOutput, APipeGetsTheAudioAsItIsMadeWithUnknownSizes) {
  // Long enough that the audio is many times what a pipe holds.
  std::string text;
  for (int i = 0; i < 200; ++i) text += text_ + " ";
  Bytes want = ParseWav(Reference(text), "reference").samples;

  Child run({"say", "--voice", voice_, "-"}, true);
  run.Feed(text);
  std::uint8_t head[44];
  ASSERT_EQ(read(run.OutFd(), head, sizeof head), 44);
  // The sizes say "unknown": a stream's, written before the speech is made.
  EXPECT_EQ(Bytes(head + 4, head + 8), Bytes(4, 0xFF));
  EXPECT_EQ(Bytes(head + 40, head + 44), Bytes(4, 0xFF));
  Bytes rest = {head, head + 44};
  std::uint8_t buf[65536];
  ssize_t n;
  while ((n = read(run.OutFd(), buf, sizeof buf)) > 0) rest.insert(rest.end(), buf, buf + n);
  EXPECT_EQ(run.Wait(), 0);
  EXPECT_EQ(ParseWav(rest, "stream").samples, want);

  // --raw: the samples alone, to a pipe and to a file.
  auto raw = dir_ / "raw.pcm";
  EXPECT_EQ(
      Shell("say --raw --voice '" + voice_ + "' '" + text + "' | cat > '" + raw.string() + "'"), 0);
  EXPECT_EQ(Read(raw), want);
  EXPECT_EQ(Shell("say --raw --voice '" + voice_ + "' -o '" + raw.string() + "' '" + text + "'"),
            0);
  EXPECT_EQ(Read(raw), want);

  // sox reads such a stream to its end.
  if (std::system("command -v sox >/dev/null 2>&1") != 0) GTEST_SKIP() << "sox is not installed";
  auto viaSox = dir_ / "sox.wav";
  EXPECT_EQ(Shell("say --voice '" + voice_ + "' '" + text + "' | sox -q -t wav - -t wav '" +
                  viaSox.string() + "'"),
            0);
  EXPECT_EQ(ReadWav(viaSox).samples, want);
}

TEST_F(SayOutput, PlayWithoutASoundDeviceStillWritesTheFile) {
  auto out = dir_ / "o.wav", err = dir_ / "err";
  ASSERT_EQ(
      Shell("say --play --voice '" + voice_ + "' -o '" + out.string() + "' '" + text_ + "'", err),
      0);
  std::string e = Text(err);
  if (e.find("warning") == std::string::npos) GTEST_SKIP() << "this machine has a sound device";
  // One line about the device (none of the sound libraries' own), then the file's summary.
  EXPECT_EQ(std::count(e.begin(), e.end(), '\n'), 2) << e;
  EXPECT_EQ(e.rfind("kalvor: warning: say --play: no audio output could be opened", 0), 0) << e;
  EXPECT_EQ(Read(out), Reference(text_));
}

TEST_F(SayOutput, TheMainHelpFitsEightyColumns) {
  auto help = dir_ / "help.txt";
  ASSERT_EQ(Shell("--help > '" + help.string() + "'"), 0);
  std::ifstream in(help);
  std::string line;
  int lines = 0;
  for (; std::getline(in, line); ++lines) {
    auto chars = std::count_if(line.begin(), line.end(), [](char c) {
      return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    EXPECT_LE(chars, 80) << line;
  }
  EXPECT_GT(lines, 10);
}

TEST_F(SayOutput, EveryCommandFailsWhenItsOutputIsLost) {
  auto list = "voice list '" + voice_ + "'";
  for (std::string args :
       {std::string("--help"), std::string("--version"), std::string("say --help"),
        std::string("voice --help"), list, std::string("units Kitap"),
        std::string("sentences Kitap"), "say --voice '" + voice_ + "' " + "'" + text_ + "'"}) {
    EXPECT_EQ(Shell(args + " > /dev/full"), 1) << args;
    EXPECT_EQ(Shell(args + " > /dev/null"), 0) << args;
  }
}

}  // namespace
}  // namespace kalvor::cli

#endif
