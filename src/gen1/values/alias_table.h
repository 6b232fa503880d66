// The alias table of the list blocks whose entries carry an alias (field 424). The aliases of
// such a block live in an image of their own, which the codeplug container hands to the block
// right after the block's own image and takes back from it when packing:
//
//   byte 0          header field 49
//   byte 1          alias length L, header field 464
//   byte 2          alias count N
//   byte 3          header field 465
//   byte 4          1
//   byte 5          L again
//   6 + i x L       alias i: L bytes of text padded with 0x00; 0xFF first means "no alias"
//   6 + N x L       checksum over all preceding bytes
//
// A block of lists with members (personalities, scan lists, channel groups) keeps alias i in
// the header of list i, and its member image, not the alias image, supplies header field 49.
#pragma once

#include "engine/block_base.h"
#include "engine/field_layout.h"
#include "engine/field_values.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace cps {

inline constexpr int32_t kAliasField = 424;
inline constexpr int32_t kAliasLength = 464;

// The check of field 424 in a block's table: every character 32..219 (107).
void alias_field_check(std::string_view text, const layout::FieldDesc& row, const BlockBase& base);
constexpr layout::CustomCodec kAliasCharacters{nullptr, nullptr, alias_field_check};

// Reads the alias image into `record`, whose own image has been unpacked already: adds header
// fields 49, 464 and 465 and sets field 424 of each entry that has an alias. 13 when the image
// is shorter than N x L + 7 bytes or N exceeds the entry count (header field 48), 103 on a bad
// checksum, 107 for an alias character outside 32..219.
void unpack_alias_image(const uint8_t* bytes, size_t length, BlockRecord& record);

// Replaces the aliases of `record` with those of the image: its header becomes `header` (which
// holds field 48) followed by fields 49, 464 and 465, and field 424 of every entry the image's
// alias, or empty where it has none. Nothing changes unless the whole image reads: 104 when an
// entry lacks field 424, then the errors of unpack_alias_image.
void replace_aliases(const uint8_t* bytes, size_t length, FieldList header, BlockRecord& record);

// Builds the alias image of N = header field 48 entries. When the version pair of `base` asks
// for it, header field 464 is first rewritten to the other generation's alias length (8 when
// data of major version 1 goes to a later radio, 14 the other way round). 104 for a missing
// field, 107 for a header value that is not a number in 0..255, 105 when field 48 counts more
// entries than the record has.
std::vector<uint8_t> pack_alias_image(BlockRecord& record, const BlockBase& base);

// The same for a block of lists: alias i is field 424 of list i's header, N is counted against
// the number of lists, and unpacking adds only header fields 464 and 465.
void unpack_alias_image(const uint8_t* bytes, size_t length, ListBlockRecord& record);
std::vector<uint8_t> pack_alias_image(ListBlockRecord& record, const BlockBase& base);

}  // namespace cps
