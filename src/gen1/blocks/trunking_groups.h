// Blocks 34 and 35, the LS trunking group lists: lists of the talk groups a trunked radio
// answers. Each list has a few settings and exactly eight group slots; a slot holds a group ID
// (1..250, 0 for an unused slot), the repeater that is home to the group, and two switches.
// Nothing else in the codeplug points at a group list, and a list points at nothing; the block
// comes and goes with the trunking systems and personalities (block 2 field 61).
//
// Regions, on the frame of the lists with members:
//
//   block 34, the list region            block 35, the member region
//   byte 0   header field 46             byte 0   header field 49
//   byte 1   2, the bytes of a list's    byte 1   16, the bytes of a list's slots
//            settings                    byte 2   list count, as in block 34
//   byte 2   list count (field 51)       byte 3   header field 943
//   3 + 3i   list i: settings (2 bytes)  byte 4   2, the bytes of a slot
//            and their checksum          byte 5   8, the slots of a list
//   last     region checksum             6 + 17i  list i: 8 slots of 2 bytes and their checksum
//                                        last     region checksum
//
//   list settings                        slot
//   byte 0  0x80  940  scan the groups   byte 0        944  group ID 0..250 (0: unused)
//           0x0F  941  priority slot     byte 1  0x80  946  receive only
//                      0..7, 15: none            0x40  947  call alert
//   byte 1  0x07  942  talk slot 0..7            0x1F  945  home repeater 1..20
//
// The block's numbers have checks of their own (above) rather than rows of the radio family's
// range table. At most 16 lists; the member region needs the list region first (130); the
// lists carry no aliases, so header fields 464 and 465 are carried as the frame gives them.
#pragma once

#include "gen1/blocks/lists_block.h"

namespace cps {

class TrunkingGroups final : public Cloneable<TrunkingGroups, ListsBlock> {
 public:
  static constexpr int32_t kListImage = 34;
  static constexpr int32_t kMemberImage = 35;
  static constexpr size_t kSlots = 8;
  static constexpr size_t kMaxLists = 16;

  TrunkingGroups();

  // The frame's checks, and the structural header fields each a number of a byte (107).
  void set_lists(const ListBlockRecord& given) override;
};

}  // namespace cps
