#include "platform/whole_file.h"

#include "platform/errors.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cps {

#if defined(_WIN32)

namespace {

class OpenFile {
 public:
  explicit OpenFile(HANDLE handle) : handle_(handle) {}
  ~OpenFile() { CloseHandle(handle_); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  HANDLE handle() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

// The name is in the system code page, as file_name_from_bstr gives it.
std::vector<uint8_t> read_whole_file(const std::string& path, size_t min_length) {
  if (path.empty() || path.find('\0') != std::string::npos) raise(err::kFileOpen);
  const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) raise(err::kFileOpen);
  OpenFile file(handle);
  LARGE_INTEGER size{};
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size)) raise(err::kFileOpen);

  const auto length = static_cast<uint64_t>(size.QuadPart);
  if (length < min_length) raise(err::kOptionBoardFile);
  if (length > std::numeric_limits<size_t>::max() / 2) raise(err::kNoStorage);
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  size_t got = 0;
  while (got < bytes.size()) {
    const DWORD wanted =
        static_cast<DWORD>(std::min<size_t>(bytes.size() - got, std::numeric_limits<DWORD>::max()));
    DWORD n = 0;
    if (!ReadFile(handle, bytes.data() + got, wanted, &n, nullptr)) raise(err::kFileException);
    if (n == 0) break;  // the file ended before its length
    got += n;
  }
  if (got < bytes.size()) raise(err::kFileRead);
  return bytes;
}

#else

namespace {

class OpenFile {
 public:
  explicit OpenFile(int fd) : fd_(fd) {}
  ~OpenFile() { ::close(fd_); }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::vector<uint8_t> read_whole_file(const std::string& path, size_t min_length) {
  if (path.empty() || path.find('\0') != std::string::npos) raise(err::kFileOpen);
  // Non-blocking, so that opening a pipe by mistake does not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) raise(err::kFileOpen);
  OpenFile file(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) raise(err::kFileOpen);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) raise(err::kFileOpen);

  const auto length = static_cast<uint64_t>(status.st_size);
  if (length < min_length) raise(err::kOptionBoardFile);
  if (length > std::numeric_limits<size_t>::max() / 2) raise(err::kNoStorage);
  std::vector<uint8_t> bytes(static_cast<size_t>(length));
  size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      raise(err::kFileException);
    }
    if (n == 0) break;  // the file ended before its length
    got += static_cast<size_t>(n);
  }
  if (got < bytes.size()) raise(err::kFileRead);
  return bytes;
}

#endif

}  // namespace cps
