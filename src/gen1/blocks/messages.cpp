#include "gen1/blocks/messages.h"

#include "gen1/values/rows.h"
#include "platform/errors.h"

namespace cps {

namespace {

using layout::FieldDesc;

constexpr uint8_t kEntrySize = 3;
constexpr uint8_t kEntries = 8;

constexpr Choice kAssignments[] = {{0, "Unassigned"}, {1, "Message"}, {2, "Status"}, kChoiceEnd};

using rows::choice;
using rows::named;
using rows::number;

constexpr FieldDesc kRows[] = {
    named(choice(577, 0, 0xFF, kAssignments, "Unassigned"), "assignment"),
    named(number(578, 1, "0", nullptr, 2), "number"),  // big-endian
};
static_assert(layout::layout_ok(kRows, kEntrySize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kEntrySize,
                           .min_count = kEntries,
                           .max_count = kEntries,
                           .header_attribute = 2,
                           .format = 128};

}  // namespace

MessageList::MessageList() : Cloneable(kFrame, {.image = kBlockId}) { build_default(); }

void MessageList::build_default() {
  record_ = default_frame(kFrame, base, kEntries);
  raw_.clear();
}

void MessageList::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

}  // namespace cps
