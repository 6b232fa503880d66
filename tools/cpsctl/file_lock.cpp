#include "file_lock.h"

#include "host.h"
#include "output.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace cpsctl {

FileLock::FileLock(const std::string& path) {
  if (is_special_file(path)) return;
  const std::string name = link_target(path) + ".lock";
  fd_ = open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd_ < 0)
    throw Failure{kFileException, "", "'" + path + "': cannot create its lock file '" + name + "': " + std::strerror(errno)};
  while (flock(fd_, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    const int error = errno;
    close(fd_);
    fd_ = -1;
    throw Failure{kFileException, "", "'" + path + "': cannot lock '" + name + "': " + std::strerror(error)};
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) close(fd_);  // closing the last descriptor releases the lock
}

}  // namespace cpsctl
