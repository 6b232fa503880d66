#include "gen1/blocks/option_board.h"

#include "platform/errors.h"
#include "engine/field_layout.h"

#include <algorithm>
#include <string>

namespace cps {

namespace {

using layout::Codec;

constexpr size_t kHeaderSize = 6;
constexpr uint8_t kAttribute = 2;  // of every field of the block

constexpr int32_t kMembersField = 50;  // members per list
constexpr int32_t kListsField = 51;    // number of lists
constexpr int32_t kWalkField = 48;     // twice the members per list
constexpr int64_t kMaxLists = 63;
constexpr int64_t kBoardFormat = 4;    // field 47 of every board

// A format word, field 48 and a member: any decimal integer, stored as its low byte.
std::string decode_byte(const uint8_t* entry, const layout::FieldDesc& row, const BlockBase&) {
  return decimal_text(entry[row.offset]);
}
void encode_byte(std::string_view text, uint8_t* entry, const layout::FieldDesc& row, const BlockBase&) {
  entry[row.offset] = static_cast<uint8_t>(parse_decimal(text) & 0xFF);
}
void check_integer(std::string_view text, const layout::FieldDesc&, const BlockBase&) { parse_decimal(text); }
constexpr layout::CustomCodec kByte{decode_byte, encode_byte, check_integer};

void check_format(std::string_view text, const layout::FieldDesc&, const BlockBase&) {
  if (parse_decimal(text) != kBoardFormat) raise(err::kInvalidData);
}
void check_list_count(std::string_view text, const layout::FieldDesc&, const BlockBase&) {
  if (parse_decimal(text) > kMaxLists) raise(err::kInvalidData);
}
constexpr layout::CustomCodec kFormat{nullptr, nullptr, check_format};
constexpr layout::CustomCodec kListCount{nullptr, nullptr, check_list_count};

// The header, in record order.
constexpr layout::FieldDesc kHeaderRows[] = {
    {.id = 49, .offset = 0, .codec = Codec::Custom, .attribute = kAttribute, .custom = &kByte, .name = "format_word"},
    {.id = kMembersField, .offset = 1, .attribute = kAttribute, .name = "members_per_list"},  // 0..255
    {.id = kListsField, .offset = 2, .attribute = kAttribute, .custom = &kListCount,
     .name = "number_of_lists"},  // 0..63
    {.id = 46, .offset = 3, .codec = Codec::Custom, .attribute = kAttribute, .custom = &kByte,
     .name = "format"},  // a format word
    {.id = 47, .offset = 4, .attribute = kAttribute, .custom = &kFormat, .name = "record_size"},  // always 4
    {.id = kWalkField, .offset = 5, .codec = Codec::Custom, .attribute = kAttribute, .custom = &kByte,
     .name = "twice_members_per_list"},  // 2 x field 50
};
static_assert(layout::layout_ok(kHeaderRows, kHeaderSize));

constexpr layout::FieldDesc kMemberRows[] = {
    {.id = OptionBoard::kMemberField, .codec = Codec::Custom, .attribute = kAttribute,
     .custom = &kByte, .name = "member_byte"},
};
static_assert(layout::layout_ok(kMemberRows, 1));

// What an import writes into the format words, and what an empty block packs as.
constexpr int32_t kImportFormat49 = 4, kImportFormat46 = 2;
const std::vector<uint8_t> kEmptyBoard = {kImportFormat49, 0, 0, kImportFormat46, kBoardFormat, 0};

// The walk over the members: field 48 / 2 per list, at least one.
size_t members_per_list(int64_t walk_field) {
  return static_cast<size_t>(std::max<int64_t>(walk_field / 2, 1));
}

// The walk reads or writes lists x per_list bytes of an image that holds members x lists.
void require_walk_inside(size_t members, size_t lists, size_t per_list) {
  if (lists != 0 && per_list > members) raise(err::kInvalidData);
}

// A header field read as a decimal integer and taken as a byte.
size_t header_number(const FieldList& header, int32_t id) {
  return static_cast<size_t>(parse_decimal(header.text(id)) & 0xFF);
}

}  // namespace

void OptionBoard::build_default() { record_.clear(); }

void OptionBoard::unpack(int32_t, const uint8_t* image, size_t length) {
  if (length < 3 || length < size_t{image[1]} * image[2] + kHeaderSize) raise(err::kShortImage);
  ListBlockRecord fresh;
  layout::unpack(kHeaderRows, image, kHeaderSize, base, fresh.header());
  const size_t lists = image[2];
  const size_t per_list = members_per_list(image[5]);
  require_walk_inside(image[1], lists, per_list);
  const uint8_t* next = image + kHeaderSize;
  for (size_t i = 0; i < lists; ++i) {
    BlockRecord& list = fresh.list(fresh.add_list());
    for (size_t j = 0; j < per_list; ++j, ++next)
      layout::unpack(kMemberRows, next, 1, base, list.entry(list.add_entry()));
  }
  record_ = std::move(fresh);
}

std::vector<uint8_t> OptionBoard::pack(int32_t) {
  const FieldList& header = record_.header();
  if (header.count() == 0) return kEmptyBoard;  // nothing read, set or imported yet
  const size_t members = header_number(header, kMembersField);
  const size_t lists = header_number(header, kListsField);
  const size_t per_list = members_per_list(parse_decimal(header.text(kWalkField)));
  require_walk_inside(members, lists, per_list);

  std::vector<uint8_t> image(members * lists + kHeaderSize, 0);
  layout::pack(kHeaderRows, header, base, image.data(), kHeaderSize);
  uint8_t* next = image.data() + kHeaderSize;
  for (size_t i = 0; i < lists; ++i)
    for (size_t j = 0; j < per_list; ++j, ++next)
      layout::pack(kMemberRows, record_.list(i).entry(j), base, next, 1);
  return image;
}

// Every value is taken with the text and attribute the host sent. A member's 475 must read as
// a decimal integer, since packing writes its low byte.
BlockShape OptionBoard::describe() const { return {.fields = kHeaderRows, .members = kMemberRows}; }

void OptionBoard::set_lists(const ListBlockRecord& given) {
  ListBlockRecord fresh;
  fresh.header() = layout::take(kHeaderRows, given.header(), base);
  const size_t lists = header_number(fresh.header(), kListsField);
  if (lists != 0) {
    const size_t per_list = members_per_list(parse_decimal(fresh.header().text(kWalkField)));
    require_walk_inside(header_number(fresh.header(), kMembersField), lists, per_list);
    for (size_t i = 0; i < lists; ++i) {
      BlockRecord& list = fresh.list(fresh.add_list());
      FieldValue last;
      for (size_t j = 0; j < per_list; ++j) {
        last = given.get_member_field(i, j, kMemberField);
        layout::check(kMemberRows, last, base);
        list.add_entry_field(list.add_entry(), last);
      }
      list.add_header_field(last);  // the list's last member
    }
  }
  record_ = std::move(fresh);
}

void OptionBoard::import(const uint8_t* file, size_t length) {
  const std::string header = fixed_bytes_to_text(file, std::min(length, kHeaderSize), true);
  if (header != "040000") raise(err::kCpsHeader);
  if (length < kFileDataOffset) raise(err::kOptionBoardFile);
  const size_t members = file[kFileShapeOffset];
  const size_t lists = file[kFileShapeOffset + 1];
  // One list even without lists, one member even without members; none may lie past the end.
  const size_t list_count = std::max<size_t>(lists, 1);
  const size_t per_list = std::max<size_t>(members, 1);
  if (length - kFileDataOffset < list_count * per_list) raise(err::kOptionBoardFile);

  ListBlockRecord fresh;
  for (auto [id, value] : {std::pair<int32_t, size_t>{49, kImportFormat49}, {kMembersField, members},
                           {kListsField, lists}, {46, kImportFormat46}, {47, kBoardFormat},
                           {kWalkField, 2 * members}})
    fresh.header().add(id, decimal_text(static_cast<int64_t>(value)), kAttribute);
  const uint8_t* next = file + kFileDataOffset;
  for (size_t i = 0; i < list_count; ++i) {
    BlockRecord& list = fresh.list(fresh.add_list());
    for (size_t j = 0; j < per_list; ++j, ++next)
      list.add_entry_field(list.add_entry(), {kMemberField, decimal_text(*next), kAttribute});
  }
  record_ = std::move(fresh);
}

}  // namespace cps
