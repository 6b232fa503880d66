// A block of entries as CSV and back: one row per entry, one column per field, a header row of
// field labels. Quoting as RFC 4180 has it: a cell holding a comma, a double quote or a line
// break is quoted, its quotes doubled. cpsctl writes LF line ends and reads LF or CRLF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cpsctl {

std::string csv_cell(std::string_view text);
std::string csv_line(const std::vector<std::string>& cells);  // ends in "\n"

// The rows of a CSV text, each its cells. A UTF-8 byte-order mark is skipped; a last line
// without a line end is a row, an empty text has none. Throws Failure (Invalid data) naming the
// row and column (1-based) of a quote out of place or a quoted cell left open.
std::vector<std::vector<std::string>> parse_csv(std::string_view text);

// The field a CSV column header names in a block: an ID ("455"), an ID and its name
// ("455 (rx_frequency)", the ID deciding) or a name ("rx_frequency"). nullopt when it names none.
std::optional<int32_t> column_field(int generation, int32_t block, std::string_view header);

// The channel list of a generation, what export-csv and import-csv take without BLOCK.
int32_t default_csv_block(int generation);

// `cpsctl export-csv CODEPLUG [BLOCK]`: the block's entries as CSV on standard output.
int export_csv(const std::string& codeplug, std::optional<long> block);
// `cpsctl import-csv CODEPLUG CSV [BLOCK]`: the block's entries set from the CSV, all or
// nothing: entries added for rows beyond the block's count, trailing entries without a row
// deleted, then every cell whose value differs set; the codeplug is saved only when every step
// succeeded. CSV "-" is standard input.
int import_csv(const std::string& codeplug, const std::string& csv, std::optional<long> block);

}  // namespace cpsctl
