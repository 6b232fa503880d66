#include "output.h"

#include "host.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cpsctl {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what, int error) {
  throw Failure{kFileException, "", "'" + path + "': " + what + ": " + std::strerror(error)};
}

// ---- Temporary files a signal removes --------------------------------------------------------
//
// The handler may only look at plain memory and call async-signal-safe functions: the names live
// in fixed buffers, each marked in use only once it is complete, and are changed with the
// signals blocked. A command has one temporary file at a time; a few slots leave room.

constexpr int kSlots = 4;
constexpr size_t kNameSize = 4096;
char g_names[kSlots][kNameSize];
volatile sig_atomic_t g_in_use[kSlots];
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void remove_temporaries(int signal) {
  const int saved = errno;
  for (int k = 0; k < kSlots; ++k)
    if (g_in_use[k]) unlink(g_names[k]);
  errno = saved;
  // SA_RESETHAND has put the default action back; the signal stays blocked until the handler
  // returns, and then ends the process as it would have without the handler.
  raise(signal);
}

void install_handlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (const int signal : kSignals) {
    struct sigaction old{};
    if (sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;  // nohup, a background job
    struct sigaction action{};
    action.sa_handler = remove_temporaries;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(signal, &action, nullptr);
  }
}

// Holds SIGINT, SIGTERM and SIGHUP back for its lifetime.
class SignalsHeld {
 public:
  SignalsHeld() {
    sigset_t held;
    sigemptyset(&held);
    for (const int signal : kSignals) sigaddset(&held, signal);
    sigprocmask(SIG_BLOCK, &held, &previous_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &previous_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t previous_;
};

int write_all(int fd, const std::string& content) {
  for (size_t done = 0; done < content.size();) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

// ---- Where an output goes --------------------------------------------------------------------

struct Target {
  std::string name;     // what is replaced: `path` with its links followed
  bool direct = false;  // written in place: not a regular file, or an open file named through /proc
  int fd = -1;          // the process's own descriptor that /proc/self/fd/N names (/dev/stdout)
};

bool starts_with(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

std::string directory_of(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

Target target_of(const std::string& path) {
  Target target{path};
  // A loop of links ends after 40 hops; the open or rename then fails with ELOOP.
  for (int hop = 0; hop < 40; ++hop) {
    struct stat link{};
    if (lstat(target.name.c_str(), &link) != 0 || !S_ISLNK(link.st_mode)) break;
    std::string next(static_cast<size_t>(link.st_size > 0 ? link.st_size : 255) + 1, '\0');
    const ssize_t length = readlink(target.name.c_str(), next.data(), next.size());
    if (length < 0 || static_cast<size_t>(length) >= next.size()) break;
    next.resize(static_cast<size_t>(length));
    if (next.empty()) break;
    if (next[0] != '/') next = directory_of(target.name) + next;
    if (starts_with(next, "/proc/")) {
      target.direct = true;
      const std::string own = "/proc/self/fd/";
      if (starts_with(next, own.c_str()) && next.size() > own.size() &&
          next.find_first_not_of("0123456789", own.size()) == std::string::npos && next.size() - own.size() < 9)
        target.fd = std::stoi(next.substr(own.size()));
      break;
    }
    target.name = next;
  }
  struct stat file{};
  if (stat(target.name.c_str(), &file) == 0 && !S_ISREG(file.st_mode)) target.direct = true;
  return target;
}

// A FIFO, a device or an open file: opened as it is and written; nothing to rename. A descriptor
// of the process's own is written where it stands (at its offset, in its append mode), as the
// shell's redirection meant.
void write_directly(const std::string& path, const std::string& content, int own_fd) {
  if (own_fd >= 0) {
    std::fflush(nullptr);  // what was printed before goes first
    if (const int error = write_all(own_fd, content); error != 0) fail(path, "cannot write it", error);
    return;
  }
  struct stat file{};
  const bool regular = stat(path.c_str(), &file) == 0 && S_ISREG(file.st_mode);
  const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC | (regular ? O_TRUNC : 0));
  if (fd < 0) fail(path, "cannot open it", errno);
  int error = write_all(fd, content);
  if (close(fd) != 0 && error == 0) error = errno;
  if (error != 0) fail(path, "cannot write it", error);
}

// Writes a temporary file beside the target, then renames it over the target (replace) or links
// it to `path` (which fails when `path` exists); the temporary name never stays behind.
void write_beside(const std::string& path, const std::string& content, bool replace, Sync sync) {
  const Target target = replace ? target_of(path) : Target{path};
  if (target.direct) return write_directly(path, content, target.fd);
  TemporaryName temporary(target.name, path);

  // A replaced file keeps its permissions and, where the process may set them, its owner and
  // group (a change of owner clears set-ID bits, so the mode comes after it).
  struct stat existing{};
  mode_t mode = 0;
  if (replace && stat(target.name.c_str(), &existing) == 0) {
    if (existing.st_uid != geteuid() || existing.st_gid != getegid())
      if (fchown(temporary.fd(), existing.st_uid, existing.st_gid) != 0)
        (void)!fchown(temporary.fd(), static_cast<uid_t>(-1), existing.st_gid);
    mode = existing.st_mode & 07777;
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  int error = 0;
  const char* step = nullptr;
  if (fchmod(temporary.fd(), mode) != 0) error = errno, step = "cannot set its permissions";
  if (!step && (error = write_all(temporary.fd(), content)) != 0) step = "cannot write it";
  if (!step && sync == Sync::Yes && fsync(temporary.fd()) != 0) error = errno, step = "cannot write it";
  if (const int closed = temporary.close(); closed != 0 && !step) error = closed, step = "cannot write it";
  if (step) fail(path, step, error);
  if (replace) {
    if (::rename(temporary.name().c_str(), target.name.c_str()) != 0) fail(path, "cannot put it in place", errno);
    temporary.keep();
  } else if (::link(temporary.name().c_str(), path.c_str()) != 0) {
    // A link refuses a name that exists; the temporary name goes with `temporary`.
    fail(path, "cannot create it", errno);
  }
}

}  // namespace

TemporaryName::TemporaryName(const std::string& base, const std::string& target) : name_(base + ".tmp-XXXXXX") {
  install_handlers();
  const SignalsHeld held;
  fd_ = mkostemp(name_.data(), O_CLOEXEC);
  if (fd_ < 0) fail(target, "cannot create a temporary file beside it", errno);
  if (name_.size() >= kNameSize) return;  // no room to remember it: removed only by the destructor
  for (int k = 0; k < kSlots; ++k) {
    if (g_in_use[k]) continue;
    std::memcpy(g_names[k], name_.c_str(), name_.size() + 1);
    g_in_use[k] = 1;
    slot_ = k;
    break;
  }
}

TemporaryName::~TemporaryName() {
  close();
  if (slot_ < 0 && name_.empty()) return;
  const SignalsHeld held;
  if (!name_.empty()) unlink(name_.c_str());
  if (slot_ >= 0) g_in_use[slot_] = 0;
}

int TemporaryName::close() {
  if (fd_ < 0) return 0;
  const int closed = ::close(fd_);
  fd_ = -1;
  return closed == 0 ? 0 : errno;
}

void TemporaryName::keep() {
  const SignalsHeld held;
  if (slot_ >= 0) g_in_use[slot_] = 0;
  slot_ = -1;
  name_.clear();
}

void write_file_atomically(const std::string& path, const std::string& content, Sync sync) {
  write_beside(path, content, true, sync);
}

void create_file_atomically(const std::string& path, const std::string& content) {
  write_beside(path, content, false, Sync::Yes);
}

std::string link_target(const std::string& path) { return target_of(path).name; }

bool is_special_file(const std::string& path) { return target_of(path).direct; }

bool is_standard_output(const std::string& path) {
  struct stat out{}, file{};
  return fstat(STDOUT_FILENO, &out) == 0 && stat(path.c_str(), &file) == 0 && out.st_dev == file.st_dev &&
         out.st_ino == file.st_ino;
}

bool same_file(const std::string& a, const std::string& b) {
  struct stat first{}, second{};
  return stat(a.c_str(), &first) == 0 && stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

void refuse_output_over_input(const std::string& output, std::initializer_list<std::string> inputs) {
  for (const std::string& input : inputs)
    if (same_file(output, input))
      throw Failure{kFileException, "",
                    "output '" + output + "' is the input '" + input + "': writing it would replace what is read"};
}

}  // namespace cpsctl
