#include "output.h"

#include "host.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cpsctl {

namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what, int error) {
  throw Failure{kFileException, "", "'" + path + "': " + what + ": " + std::strerror(error)};
}

// Writes a temporary file beside `path`, then renames it over `path` (replace) or links it to
// `path` (which fails when `path` exists); the temporary name never stays behind.
void write_beside(const std::string& path, const std::string& content, bool replace) {
  std::string temporary = path + ".tmp-XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) fail(path, "cannot create a temporary file beside it", errno);
  const mode_t mask = umask(0);
  umask(mask);
  int error = 0;
  const char* step = nullptr;
  if (fchmod(fd, 0666 & ~mask) != 0) error = errno, step = "cannot set its permissions";
  for (size_t done = 0; !step && done < content.size();) {
    const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) error = n < 0 ? errno : EIO, step = "cannot write it";
    else done += static_cast<size_t>(n);
  }
  if (!step && fsync(fd) != 0) error = errno, step = "cannot write it";
  if (close(fd) != 0 && !step) error = errno, step = "cannot write it";
  if (!step) {
    // A link refuses a name that exists; the temporary name then goes as after a failure.
    const int placed = replace ? ::rename(temporary.c_str(), path.c_str()) : ::link(temporary.c_str(), path.c_str());
    if (placed != 0) error = errno, step = replace ? "cannot put it in place" : "cannot create it";
    if (placed == 0 && replace) return;
  }
  unlink(temporary.c_str());
  if (step) fail(path, step, error);
}

}  // namespace

void write_file_atomically(const std::string& path, const std::string& content) {
  write_beside(path, content, true);
}

void create_file_atomically(const std::string& path, const std::string& content) {
  write_beside(path, content, false);
}

}  // namespace cpsctl
