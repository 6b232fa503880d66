// ImportOBD: an option-board data file loaded into block 17.
//
// The file is opened for this reader alone: besides the open itself, an exclusive lock is taken
// on it without waiting (a file that another process holds locked cannot be opened, 124), and
// it is read whole in one go before anything is handed on, so no other writer can change it
// under the import. The lock is advisory, which is as far as the platform goes: a process that
// takes no lock is not kept out. Only block 17 changes, and only when its import succeeded.
#include "blocks/option_board.h"
#include "device/flows.h"
#include "interface/cp_services.h"
#include "interface/errors.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cps {

namespace {

// The shortest file that can be an option-board file: its shape bytes start at 800.
constexpr size_t kMinimumFileLength = OptionBoard::kFileShapeOffset;

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

// The whole file: 124 when it cannot be opened for this reader alone (missing, not a plain file,
// locked by another), 127 when it is shorter than any option-board file, 126 when the system
// fails a read, 125 when fewer bytes arrive than the file's length.
std::vector<uint8_t> read_whole_file(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) raise(err::kFileOpen);
  // Non-blocking, so that opening a pipe by mistake does not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) raise(err::kFileOpen);
  OpenFile file(fd);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) raise(err::kFileOpen);
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) raise(err::kFileOpen);

  const auto length = static_cast<uint64_t>(status.st_size);
  if (length < kMinimumFileLength) raise(err::kOptionBoardFile);
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

}  // namespace

HRESULT import_obd(CPServices& object, const std::string& path) {
  const std::vector<uint8_t> file = read_whole_file(path);
  auto* board = dynamic_cast<OptionBoard*>(object.codeplug().handler(OptionBoard::kBlockId));
  if (board == nullptr) raise(err::kBlockNotSupported);
  board->import(file.data(), file.size());  // 128, 127
  return S_OK;
}

}  // namespace cps
