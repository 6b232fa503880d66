#include "interface/errors.h"

#include <iterator>

namespace cps {

namespace {

// The component's string table (U.S. English). 100 and 102 are the module and class names.
constexpr ErrorRow kStrings[] = {
    {100, "varnocpservices"},
    {102, "CPServices Class"},
    {103, "Checksum failure."},
    {104, "Field not found."},
    {105, "Invalid entry/list index."},
    {106, "Not enough storage is available to process this command."},
    {107, "Invalid data."},
    {108, "Choice not found in the choice table."},
    {109, "The specified index is out of bounds."},
    {110, "Block not supported."},
    {111, "Unexpected error."},
    {112, "Invalid product family."},
    {114, "Invalid serial number."},
    {115, "Invalid model number."},
    {116, "Quantity below the minimum quantity."},
    {117, "Quantity above the maximal quantity."},
    {120, "Invalid Frequency."},
    {121, "Destination device has the same serial number as the source."},
    {122, "Source and destination model numbers are not the same."},
    {123, "Source and destination serial numbers are not the same."},
    {124, "File cannot be opened."},
    {125, "File cannot be read."},
    {126, "File exception."},
    {127, "Invalid Option Board File."},
    {128, "Invalid CPS Header."},
    {129, "Battery level is too low to write/clone."},
    {130, " Unpack failure."},
    {131, "Invalid radio type."},
    {132, "Invalid codeplug version."},
    {133, "Codeplug version not supported."},
    {134, "Invalid codeplug size."},
    {135, "Invalid RRO data."},
};

constexpr int kFirstErrorRow = 2;  // the rows before are not error codes

}  // namespace

void raise(int32_t code) { throw ErrorCode{code}; }

const char* message_text(int32_t id) {
  for (const ErrorRow& row : kStrings)
    if (row.code == id) return row.message;
  return nullptr;
}

const ErrorRow* error_rows(int* count) {
  *count = static_cast<int>(std::size(kStrings)) - kFirstErrorRow;
  return kStrings + kFirstErrorRow;
}

}  // namespace cps
