#include "gen2/blocks/retained_radio.h"

#include "engine/numbered_names.h"

#include <array>

namespace cps::gen2 {

namespace {

constexpr size_t kSwitches = RetainedRadioBlock::kLastSwitch - RetainedRadioBlock::kFirstSwitch + 1;
static_assert(kSwitches == 32);

// Switch k (0 = 2875) is bit 7 - k % 8 of byte k / 8, named option_switch_(k + 1): 2875 is
// option_switch_1 (bit 31 of the option word), 2906 option_switch_32 (bit 0).
static_assert(kSwitches <= kOptionSwitchNames.size());

constexpr auto kRows = [] {
  std::array<layout::FieldDesc, kSwitches + 1> rows{};
  for (size_t k = 0; k < kSwitches; ++k)
    rows[k] = {.id = RetainedRadioBlock::kFirstSwitch + static_cast<int32_t>(k), .offset = static_cast<uint16_t>(k / 8),
               .mask = static_cast<uint8_t>(0x80 >> (k % 8)), .name = kOptionSwitchNames[k]};
  rows[kSwitches] = raw_row(RetainedRadioBlock::kRawField, "retained_bytes");
  return rows;
}();
static_assert(layout::layout_ok(kRows, 4));

constexpr RawShape kShape{.list = {.rows = kRows, .min_count = 0, .max_count = 255, .record_size = 4},
                          .raw_field = RetainedRadioBlock::kRawField,
                          .add = AddRule::Nothing,
                          .remove = DeleteRule::Nothing};

}  // namespace

RetainedRadioBlock::RetainedRadioBlock() : RawList(kShape) {}

uint32_t retained_option_word(const R9ListBlock& retained) {
  const BlockRecord record = retained.get_record();
  if (record.entry_count() == 0) return 0;
  uint32_t word = 0;
  for (size_t k = 0; k < kSwitches; ++k) {
    const int64_t bit = parse_decimal(record.entry(0).text(RetainedRadioBlock::kFirstSwitch + static_cast<int32_t>(k)));
    word = (word << 1) | static_cast<uint32_t>(bit & 1);
  }
  return word;
}

}  // namespace cps::gen2
