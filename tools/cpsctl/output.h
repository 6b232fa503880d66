// Output files are written whole or not at all: the text goes to a temporary file beside the
// target, which then takes the target's name in one step.
//
// A target that is a symbolic link is followed: the file it leads to is replaced and the link
// stays. A replaced file keeps its permissions (and its owner and group where the process may
// set them). A target that exists and is not a regular file (a FIFO, a terminal, /dev/stdout) is
// written directly, never renamed over. A temporary file is removed when SIGINT, SIGTERM or
// SIGHUP ends the process while it exists.
#pragma once

#include <initializer_list>
#include <string>

namespace cpsctl {

// Replaces (or creates) `path`. Throws Failure (File exception) naming the file; the temporary
// file is gone and `path` untouched after a failure. The text reaches the disk before it takes
// the name (fsync), unless `Sync::No`: a simulated radio's file, saved after every device call
// that changes it, stands for a radio's memory, and the sync would be a tenth of a write. A crash
// of the machine right after such a save may lose the save (ext4, which starts writing a file's
// data when a rename replaces another with it, keeps the old text or the new; a file system that
// does not may leave the file empty).
enum class Sync { Yes, No };
void write_file_atomically(const std::string& path, const std::string& content, Sync sync = Sync::Yes);
// The same for a file that must not exist yet (a backup): fails when `path` exists.
void create_file_atomically(const std::string& path, const std::string& content);

// The name a write to `path` replaces: `path` with every symbolic link on the way followed (the
// last one may lead to a file that does not exist yet). Links into /proc (what /dev/stdout and
// /dev/fd/N are) are left as they are: they name an open file, not a place in a directory.
std::string link_target(const std::string& path);
// Whether `path` names something that exists and is not a regular file (written directly).
bool is_special_file(const std::string& path);
// Whether `path` leads to what standard output is (-o /dev/stdout): a command then keeps its
// report of what it wrote off standard output.
bool is_standard_output(const std::string& path);
// Whether two names lead to one existing file (device and inode: "./x", a link and a hard link
// are all "x"); false when either does not exist.
bool same_file(const std::string& a, const std::string& b);
// Refuses (Failure, File exception) an output that is one of the command's inputs: writing it
// would replace what the command reads.
void refuse_output_over_input(const std::string& output, std::initializer_list<std::string> inputs);

// A temporary file's name that a signal ending the process removes, until the object goes (which
// removes the file unless `keep()` was called, after the file took its final name).
class TemporaryName {
 public:
  // Creates an empty file `base` + ".tmp-XXXXXX"; throws Failure naming `target` when it cannot.
  TemporaryName(const std::string& base, const std::string& target);
  ~TemporaryName();
  TemporaryName(const TemporaryName&) = delete;
  TemporaryName& operator=(const TemporaryName&) = delete;

  const std::string& name() const { return name_; }
  int fd() const { return fd_; }
  // Closes the file; 0 or the errno of a failed close.
  int close();
  // The file has taken its final name (or is gone): nothing to remove any more.
  void keep();

 private:
  std::string name_;
  int fd_ = -1;
  int slot_ = -1;
};

}  // namespace cpsctl
