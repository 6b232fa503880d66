#include "platform/errors.h"

#include <iterator>

namespace cps {

namespace {

// The component's string table; the texts live in messages.inc.
#define CPS_MESSAGE(id, text) {id, text},
constexpr ErrorRow kStrings[] = {
#include "platform/messages.inc"
};
#undef CPS_MESSAGE

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
