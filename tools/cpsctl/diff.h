// Two codeplugs side by side: every block, entry and field whose value differs, each one line,
// and the blocks, entries and fields that only one side has. Either side may be a radio, whose
// codeplug is read from it as `cpsctl read` does.
#pragma once

#include "codeplug.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cpsctl {

// How a field is named in a difference line and a CSV header: its ID, and its name from the
// field catalogue where it has one: "455 (rx_frequency)".
std::string field_label(int generation, int32_t block, int32_t field);

// Every difference of value (same_value, compare.h) from `a` to `b`, one line each, `a_name` and `b_name` saying where a block,
// entry or field found on one side only is. Attributes are not compared.
std::vector<std::string> codeplug_differences(const Codeplug& a, const Codeplug& b, const std::string& a_name,
                                              const std::string& b_name);

// A file's whole text; Failure naming it as `what` ("CSV 'x.csv'") when it cannot be read.
std::string read_whole_file(const std::string& path, const std::string& what);

// A codeplug file, or a radio file's codeplug read from the radio (the radio file stays as it
// is). Throws Failure.
Codeplug read_codeplug_or_radio(const std::string& path);

// `cpsctl diff A B`: 0 when the two hold the same values, 1 when they differ (each difference
// listed), 2 when one cannot be read.
int diff_codeplugs(const std::string& a, const std::string& b);

}  // namespace cpsctl
