// An option-board file read whole, for ImportOBD of either generation.
//
// The file is opened for this reader alone and read whole in one go before anything is handed
// on, so no other writer can change it under the import. On Windows the open shares the file
// with nobody (a file another process has open cannot be opened, 124). Elsewhere an exclusive
// lock is taken on it without waiting (a file that another process holds locked cannot be
// opened, 124); that lock is advisory, which is as far as the platform goes: a process that
// takes no lock is not kept out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cps {

// The file's bytes: 124 when it cannot be opened for this reader alone (missing, not a plain
// file, held by another), 127 when it is shorter than `min_length`, 126 when the system fails a
// read, 125 when fewer bytes arrive than the file's length.
std::vector<uint8_t> read_whole_file(const std::string& path, size_t min_length);

}  // namespace cps
