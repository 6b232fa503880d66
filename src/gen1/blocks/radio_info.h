// Block 2, the radio-information block: what the radio's hardware can do and how far it goes.
// Display and keypad kind, signalling capabilities, whether it is a mobile or a portable unit,
// the maximum channel count, the group member and trunking system limits. It lives in a
// read-only region of the radio, is read before the codeplug and steers the other blocks: the
// service object takes the mobile flag from field 66, the channel lists their limits from 81,
// the trunking systems and channel groups theirs from 743 and 54.
//
// What is special about it: the codeplug version text changes the layout of bytes 3 and 5
// (below "06" and from "06") and whether field 743 exists (from "03"); field 667 (radio kind)
// reads its labels from one of two tables chosen by field 66 of the same entry; and every
// failure inside the block is reported as 135 "Invalid RRO data.". Bytes and bits that carry no
// field keep what the radio had.
#pragma once

#include "gen1/blocks/rro_block.h"

#include <cstdint>
#include <string>

namespace cps {

class RadioInfo final : public Cloneable<RadioInfo, RroBlock> {
 public:
  // A mobile radio of the current form (see build_default) until a radio is read.
  RadioInfo();

  // Entry 0's text of a field; 104 when this form of the block has no such field.
  const std::string& text(int32_t field_id) const;
  bool is_mobile() const;            // field 66 reads "Mobile"
  int max_channel_count() const;     // field 81
  int group_member_limit() const;    // field 54, members per channel group
  int max_trunking_systems() const;  // field 743; 0 in a form without it (below "03")
};

}  // namespace cps
