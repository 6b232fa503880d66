// Output files are written whole or not at all: the text goes to a temporary file beside the
// target, which then takes the target's name in one step.
#pragma once

#include <string>

namespace cpsctl {

// Replaces (or creates) `path`. Throws Failure (File exception) naming the file; the temporary
// file is gone and `path` untouched after a failure.
void write_file_atomically(const std::string& path, const std::string& content);
// The same for a file that must not exist yet (a backup): fails when `path` exists.
void create_file_atomically(const std::string& path, const std::string& content);

}  // namespace cpsctl
