// The frame of a first-generation block of lists with members (personalities, scan lists,
// channel groups). The block lives in up to four regions of the codeplug:
//
//   list region                          member region
//   byte 0   header field 46             byte 0   header field 49
//   byte 1   bytes of one list's         byte 1   bytes of one list's slots
//            settings                    byte 2   list count, as in the list region
//   byte 2   list count (field 51)       byte 3   the block's member header field
//   3...     each list's settings (with  byte 4   the member size, or 0 where unused
//            a checksum where the block  byte 5   slots per list
//            has them)                   6...     each list's slots (with a checksum where
//   last     region checksum                      the block has them)
//                                        last     region checksum
//
// The alias image (alias_table.h) follows the list region (alias i in list i's header),
// and a member alias region, where a block has one, is empty. The member region can only be
// read after the list region (130). A slot that the block calls empty holds no member; the
// members of a list are its other slots in order, and packing writes them into the first slots
// and leaves the rest zero.
#pragma once

#include "engine/block_base.h"
#include "engine/field_layout.h"
#include "engine/field_values.h"
#include "gen1/values/list_frame.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cps {

inline constexpr int32_t kListCountField = 51;
inline constexpr int32_t kMemberFormatField = 49;

struct ListsFrame {
  layout::Layout list_rows;        // one list's settings (its header fields)
  uint8_t list_size = 0;           // bytes of one list's settings
  bool list_checksums = false;     // each list's settings followed by its own checksum
  uint8_t min_lists = 0;           // the bounds of field 51
  uint8_t max_lists = 255;
  layout::Layout member_rows;      // one member slot
  uint8_t member_size = 0;         // bytes of one slot
  uint8_t slots = 0;               // slots per list
  bool slot_checksums = false;     // each list's slots followed by a checksum
  int32_t member_header_field = 0; // byte 3 of the member region (683, 462)
  bool member_size_in_header = false;  // byte 4 holds the member size, and bytes 1, 4 and 5 must
                                       // hold the frame's shape (13)
  bool (*empty_slot)(const uint8_t* slot) = nullptr;  // nullptr: every slot is a member
  uint8_t format = 128;            // fields 46 and 49 of a fresh block
};

// The header fields of the record, in the order they stand whichever region came first.
std::vector<int32_t> lists_header_order(const ListsFrame& frame);

// The list region into `record`: the lists with their settings, header fields 46 and 51; the
// member, alias and header fields the record held stay. 13 short or a list size other than the
// frame's, 103 checksums, 107 a count outside the bounds, then the fields' own checks.
void unpack_list_region(const ListsFrame& frame, const uint8_t* image, size_t length, const BlockBase& base,
                        ListBlockRecord& record);
// The member region into the lists of `record`: header fields 49 and the member header field;
// 13 short (or a shape other than the frame's), 107 a list count other than the record's, 103
// checksums, then the fields' own checks.
void unpack_member_region(const ListsFrame& frame, const uint8_t* image, size_t length, const BlockBase& base,
                          ListBlockRecord& record);

std::vector<uint8_t> pack_list_region(const ListsFrame& frame, const ListBlockRecord& record, const BlockBase& base);
// 107 for a list with more members than slots (or, where every slot is a member, another number).
std::vector<uint8_t> pack_member_region(const ListsFrame& frame, const ListBlockRecord& record,
                                        const BlockBase& base);

// The header a fresh block has: 46, 51 (0), 49, the member header field, 464 (the alias length
// of the version text), 465; lists are added by the block.
FieldList default_lists_header(const ListsFrame& frame, const BlockBase& base);

}  // namespace cps
