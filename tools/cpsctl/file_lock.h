// Commands that read a file, change it and write it back hold a lock on it meanwhile, so that
// two of them on one file run one after the other instead of one losing the other's change.
#pragma once

#include <string>

namespace cpsctl {

// An exclusive flock on "NAME.lock" beside the file that `path` leads to (links followed), held
// for the object's lifetime; the constructor waits for another holder to finish.
//
// The lock is on a file of its own, not on the target: every write puts a new file in the
// target's place (a rename), so a lock on the target's old inode would no longer exclude a
// command that opens the new one. The lock file stays behind; removing it would let a command
// still waiting on the removed file and one creating a new file both hold "the" lock.
//
// Commands that only read take no lock: a file is only ever replaced whole, so a reader sees the
// old content or the new, never a mixture. A target that is not a regular file (a FIFO, a
// device) is not locked. Throws Failure (File exception) when the lock file cannot be created.
class FileLock {
 public:
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_ = -1;
};

}  // namespace cpsctl
