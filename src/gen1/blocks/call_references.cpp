#include "gen1/blocks/call_references.h"

#include "gen1/values/range_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <string>

namespace cps {

namespace {

using layout::FieldDesc;

constexpr uint8_t kReferenceSize = 2;
constexpr uint8_t kMaxReferences = 250;

constexpr Choice kSignallingTypes[] = {{1, "FSD"}, {2, "Duotone II"}, {3, "DTMF"}, kChoiceEnd};

// Field 603 names a call of the list that field 602's label selects: the FSD calls (24), the
// Duotone II calls (25) or the DTMF calls (26). A reference to a deleted call leaves the list.
constexpr RefTarget kCallTargets[] = {
    {.block = 24, .type = "FSD", .on_deleted = OnDeleted::Remove},
    {.block = 25, .type = "Duotone II", .on_deleted = OnDeleted::Remove},
    {.block = 26, .type = "DTMF", .on_deleted = OnDeleted::Remove},
};
constexpr RefSpec kCalls{.type_field = CallReferences::kTypeField, .targets = kCallTargets};

using rows::choice;
using rows::named;

constexpr FieldDesc kRows[] = {
    named(choice(CallReferences::kTypeField, 0, 0x0F, kSignallingTypes, "Duotone II"), "signalling_type"),
    {.id = CallReferences::kIndexField, .offset = 1, .dflt = {"0"}, .ranges = &kGen1Ranges, .refers = &kCalls,
     .name = "call_index"},
};
static_assert(layout::layout_ok(kRows, kReferenceSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows,
                           .record_size = kReferenceSize,
                           .min_count = 1,
                           .max_count = kMaxReferences,
                           .header_attribute = 2,
                           .format = 128};

}  // namespace

CallReferences::CallReferences() : Cloneable(kFrame, {.image = kBlockId}) { build_default(); }

void CallReferences::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

// Nothing refers to a reference, so a deletion hands no block along.
void CallReferences::delete_list(size_t index, BlockDirectory& blocks) {
  const size_t count = record_.entry_count();
  check_delete(count, blocks);
  if (index >= count) raise(err::kBadIndex);
  record_.remove_entry(index);
  store_count(record_);
}

void CallReferences::remove_type(std::string_view label) {
  layout::check(kRows, {kTypeField, std::string(label), 1}, base);  // 108 for a label outside the table
  BlockRecord work = record_;
  for (size_t i = work.entry_count(); i-- > 0;)
    if (work.entry(i).text(kTypeField) == label) work.remove_entry(i);
  if (work.entry_count() < kFrame.min_count) raise(err::kBelowMinimum);
  store_count(work);
  record_ = std::move(work);
}

}  // namespace cps
