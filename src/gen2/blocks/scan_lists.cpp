#include "gen2/blocks/scan_lists.h"

#include "gen2/blocks/retained_radio.h"
#include "platform/errors.h"

namespace cps::gen2 {

namespace {

constexpr layout::FieldDesc kRows[] = {
    {.id = ScanLists::kOptionWord, .offset = 0, .width = 4, .name = "option_word"},
    raw_row(ScanLists::kRawField, "list_bytes"),
};
static_assert(layout::layout_ok(kRows, 4));

constexpr RawShape kShape{.list = {.rows = kRows, .min_count = 1, .max_count = 255, .record_size = 8},
                          .raw_field = ScanLists::kRawField};

}  // namespace

ScanLists::ScanLists() : RawList(kShape) {}

void ScanLists::unpack_with(const uint8_t* bytes, size_t length, const R9ListBlock& retained) {
  const uint32_t word = retained_option_word(retained);
  unpack(bytes, length);
  option_word_ = word;
}

size_t ScanLists::add_entry_with(const R9ListBlock& retained) {
  const uint32_t word = retained_option_word(retained);
  // A refused add keeps the word learned before.
  if (record_.entry_count() + 1 > shape().max_count) raise(err::kAboveMaximum);
  option_word_ = word;
  return add_entry();
}

FieldList ScanLists::default_entry() const {
  FieldList entry = RawList::default_entry();
  entry.set_text(kOptionWord, decimal_text(option_word_));
  return entry;
}

}  // namespace cps::gen2
