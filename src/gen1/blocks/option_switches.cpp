#include "gen1/blocks/option_switches.h"

#include "engine/numbered_names.h"
#include "gen1/values/rows.h"

#include <iterator>

namespace cps {

namespace {

using layout::FieldDesc;

// What each switch turns on is the radio's own business: a switch is named by its place among
// the 53, in ID order (524 is option_switch_1, 576 option_switch_53).
static_assert(kOptionSwitchNames.size() == OptionSwitches::kSwitchCount);

constexpr FieldDesc flag(int32_t id, uint16_t byte, uint8_t mask) {
  const auto place = static_cast<size_t>(id - OptionSwitches::kFirstSwitch);
  return rows::named(rows::flag(id, byte, mask), kOptionSwitchNames[place]);
}

// In the order the entry holds them: record byte by record byte, each from bit 0x01 upwards.
constexpr FieldDesc kRows[] = {
    flag(531, 0, 0x01), flag(530, 0, 0x02), flag(529, 0, 0x04), flag(528, 0, 0x08),
    flag(527, 0, 0x10), flag(526, 0, 0x20), flag(525, 0, 0x40), flag(524, 0, 0x80),
    flag(537, 1, 0x01), flag(536, 1, 0x02), flag(535, 1, 0x04), flag(533, 1, 0x08),
    flag(534, 1, 0x10), flag(532, 1, 0x20),
    flag(540, 3, 0x01), flag(539, 3, 0x02), flag(538, 3, 0x04),
    flag(545, 5, 0x01), flag(544, 5, 0x02), flag(543, 5, 0x04), flag(542, 5, 0x08),
    flag(541, 5, 0x10),
    flag(553, 6, 0x01), flag(552, 6, 0x02), flag(551, 6, 0x04), flag(550, 6, 0x08),
    flag(549, 6, 0x10), flag(548, 6, 0x20), flag(547, 6, 0x40), flag(546, 6, 0x80),
    flag(555, 7, 0x01), flag(554, 7, 0x02),
    flag(560, 8, 0x01), flag(559, 8, 0x02), flag(558, 8, 0x04), flag(557, 8, 0x08),
    flag(556, 8, 0x10),
    flag(568, 9, 0x01), flag(567, 9, 0x02), flag(566, 9, 0x04), flag(565, 9, 0x08),
    flag(564, 9, 0x10), flag(563, 9, 0x20), flag(562, 9, 0x40), flag(561, 9, 0x80),
    flag(572, 10, 0x01), flag(571, 10, 0x02), flag(570, 10, 0x04), flag(569, 10, 0x08),
    flag(576, 11, 0x01), flag(575, 11, 0x02), flag(574, 11, 0x04), flag(573, 11, 0x08),
};
static_assert(layout::layout_ok(kRows, OptionSwitches::kRecordSize));

// Every switch from 524 to 576 once, each a single bit.
static_assert(std::size(kRows) == OptionSwitches::kSwitchCount && [] {
  for (int32_t id = OptionSwitches::kFirstSwitch; id <= OptionSwitches::kLastSwitch; ++id) {
    int found = 0;
    for (const FieldDesc& row : kRows) found += row.id == id;
    if (found != 1) return false;
  }
  for (const FieldDesc& row : kRows)
    if ((row.mask & (row.mask - 1)) != 0) return false;
  return true;
}());

constexpr ListFrame kFrame{.rows = kRows, .record_size = OptionSwitches::kRecordSize, .min_count = 1,
                           .max_count = 1, .header_attribute = 2, .format = 128};

}  // namespace

OptionSwitches::OptionSwitches() : Cloneable(kFrame) { build_default(); }

void OptionSwitches::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

}  // namespace cps
