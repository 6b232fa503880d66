#include "gen1/blocks/channel_groups.h"

#include "gen1/values/alias_table.h"
#include "gen1/values/rows.h"
#include "platform/errors.h"

#include <iterator>

namespace cps {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr int32_t kZeroField = 50;
constexpr size_t kGroupsAt = 5;   // the first group's count byte
constexpr uint8_t kMemberSize = 2;
constexpr uint8_t kFormat = 128;  // fields 46 and 49 of a fresh block

// The header fields in image order: byte, attribute.
struct HeaderByte {
  int32_t id;
  uint8_t attribute;
};
constexpr HeaderByte kHeader[] = {
    {kMemberFormatField, 2}, {kZeroField, 2}, {kListCountField, 1}, {kFormatField, 2}, {kRecordSizeField, 2}};

constexpr Choice kMemberTypes[] = {{0, "Unassigned"}, {1, "Conventional"}, {2, "LS Trunking"}, {7, "Selected"},
                                   kChoiceEnd};

// A member names a channel or a trunking system by index; one whose channel or system is
// deleted leaves its group.
constexpr RefTarget kMemberTargets[] = {
    {.block = 38, .type = "Conventional", .on_deleted = OnDeleted::Remove},
    {.block = 32, .type = "LS Trunking", .on_deleted = OnDeleted::Remove},
};
constexpr RefSpec kMember{.type_field = ChannelGroups::kMemberType, .targets = kMemberTargets};

// A group's member count: at most the radio's limit. An empty group (as a new group starts) is
// taken, so that whatever the block shows can be set back.
void member_count_check(std::string_view text, const FieldDesc&, const BlockBase& base) {
  const int64_t count = parse_decimal(text);
  if (count < 0 || count > radio_of(base).group_members) raise(err::kInvalidData);
}
constexpr layout::CustomCodec kMemberCountCheck{nullptr, nullptr, member_count_check};

// A group's own fields; neither is in the block's bytes as a field of its own.
constexpr FieldDesc kGroupRows[] = {
    {.id = ChannelGroups::kMemberCount, .codec = Codec::Virtual, .dflt = {"0"}, .custom = &kMemberCountCheck,
     .name = "member_count"},
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters, .name = "alias"},
};
static_assert(layout::layout_ok(kGroupRows, 0));

using rows::choice;
using rows::flag;
using rows::named;

// A member: 2 bytes; bit 0x08 of byte 0 carries no field.
constexpr FieldDesc kMemberRows[] = {
    named(choice(ChannelGroups::kMemberType, 0, 0x07, kMemberTypes, "Conventional"), "member_channel_type"),
    named(flag(426, 0, 0xF0), "member_selector"),
    {.id = ChannelGroups::kMemberIndex, .offset = 1, .dflt = {"0"}, .ranges = &kGen1Ranges, .refers = &kMember,
     .name = "member_channel_index"},
};
static_assert(layout::layout_ok(kMemberRows, kMemberSize) && layout::choices_fit(kMemberRows));

// The lists frame serves the group and member tables and the group limits; the block lays its
// bytes out itself.
constexpr ListsFrame kFrame{.list_rows = kGroupRows,
                           .min_lists = 1,
                           .max_lists = 16,
                           .member_rows = kMemberRows,
                           .member_size = kMemberSize,
                           .format = kFormat};

uint8_t byte_of(const FieldList& header, int32_t id) {
  const int64_t value = parse_decimal(header.text(id));
  if (value < 0 || value > 0xFF) raise(err::kInvalidData);
  return static_cast<uint8_t>(value);
}

void set_member_count(BlockRecord& group) {
  group.header().set_text(ChannelGroups::kMemberCount, decimal_text(static_cast<int64_t>(group.entry_count())));
}

}  // namespace

ChannelGroups::ChannelGroups() : Cloneable(kFrame, {.lists = kBlockId}) { build_default(); }

// ---- Header fields ----------------------------------------------------------------------------

void ChannelGroups::check_header_value(const FieldValue& field) const {
  const bool header = field.id == kMemberFormatField || field.id == kZeroField || field.id == kListCountField ||
                      field.id == kFormatField || field.id == kRecordSizeField;
  if (!header) raise(err::kFieldNotFound);
  const int64_t value = parse_decimal(field.value);
  switch (field.id) {
    case kMemberFormatField:
    case kFormatField:
      if (value < 0 || value > 0xFF) raise(err::kInvalidData);  // passed through, as a byte
      return;
    case kZeroField:
      if (value != 0) raise(err::kInvalidData);
      return;
    case kListCountField:
      if (value < kFrame.min_lists || value > kFrame.max_lists) raise(err::kInvalidData);
      return;
    default:  // the member size
      if (value != kMemberSize) raise(err::kInvalidData);
      return;
  }
}

void ChannelGroups::check_header_field(const FieldValue& field) const {
  check_header_value(field);
  if (field.id == kListCountField && parse_decimal(field.value) != static_cast<int64_t>(record_.list_count()))
    raise(err::kInvalidData);
}

// ---- The image --------------------------------------------------------------------------------

void ChannelGroups::unpack(int32_t id, const uint8_t* image, size_t length) {
  if (id != kBlockId) raise(err::kBlockNotSupported);
  if (image == nullptr || length < kGroupsAt) raise(err::kShortImage);
  const size_t groups = image[2];
  size_t end = kGroupsAt;
  for (size_t g = 0; g < groups; ++g) {
    if (end >= length) raise(err::kShortImage);
    end += 1 + size_t{kMemberSize} * image[end];
  }
  if (length < end + 1) raise(err::kShortImage);
  verify_checksum(image, end, image[end]);

  ListBlockRecord work;
  for (size_t i = 0; i < std::size(kHeader); ++i) {
    const FieldValue field{kHeader[i].id, decimal_text(image[i]), kHeader[i].attribute};
    check_header_value(field);
    work.header().add(field);
  }
  size_t at = kGroupsAt;
  for (size_t g = 0; g < groups; ++g) {
    const size_t members = image[at++];
    BlockRecord group;
    group.header() = layout::defaults(kGroupRows, base);
    for (size_t j = 0; j < members; ++j, at += kMemberSize) {
      const size_t k = group.add_entry();
      layout::unpack(kMemberRows, image + at, kMemberSize, base, group.entry(k));
    }
    set_member_count(group);
    work.add_list(std::move(group));
  }
  record_ = std::move(work);
}

std::vector<uint8_t> ChannelGroups::pack(int32_t id) {
  if (id != kBlockId) raise(err::kBlockNotSupported);
  const size_t groups = record_.list_count();
  if (groups > 0xFF) raise(err::kInvalidData);
  size_t size = kGroupsAt + 1;
  for (size_t g = 0; g < groups; ++g) {
    const size_t members = record_.list(g).entry_count();
    if (members > 0xFF) raise(err::kInvalidData);
    size += 1 + kMemberSize * members;
  }
  std::vector<uint8_t> image(size, 0);
  for (size_t i = 0; i < std::size(kHeader); ++i) image[i] = byte_of(record_.header(), kHeader[i].id);
  image[2] = static_cast<uint8_t>(groups);
  size_t at = kGroupsAt;
  for (size_t g = 0; g < groups; ++g) {
    const BlockRecord& group = record_.list(g);
    image[at++] = static_cast<uint8_t>(group.entry_count());
    for (size_t j = 0; j < group.entry_count(); ++j, at += kMemberSize)
      layout::pack(kMemberRows, group.entry(j), base, image.data() + at, kMemberSize);
  }
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

void ChannelGroups::build_default() {
  ListBlockRecord record;
  for (const HeaderByte& h : kHeader) record.header().add(h.id, "0", h.attribute);
  record.header().set_text(kMemberFormatField, decimal_text(kFormat));
  record.header().set_text(kFormatField, decimal_text(kFormat));
  record.header().set_text(kRecordSizeField, decimal_text(kMemberSize));
  BlockRecord group = default_list(0);
  group.add_entry(default_member());
  set_member_count(group);
  record.add_list(std::move(group));
  record.header().set_text(kListCountField, "1");
  record_ = std::move(record);
}

// ---- Setting ----------------------------------------------------------------------------------

void ChannelGroups::set_lists(const ListBlockRecord& given) {
  ListBlockRecord candidate;
  for (const HeaderByte& h : kHeader) {
    const FieldValue field = given.header().get(h.id);  // 104 when missing
    check_header_value(field);
    candidate.header().add(field);
  }
  if (parse_decimal(candidate.header().text(kListCountField)) != static_cast<int64_t>(given.list_count()))
    raise(err::kInvalidData);
  for (size_t g = 0; g < given.list_count(); ++g) {
    const BlockRecord& group = given.list(g);
    BlockRecord taken;
    taken.header() = layout::take(kGroupRows, group.header(), base);
    if (parse_decimal(taken.header().text(kMemberCount)) != static_cast<int64_t>(group.entry_count()))
      raise(err::kInvalidData);
    for (size_t j = 0; j < group.entry_count(); ++j) taken.add_entry(layout::take(kMemberRows, group.entry(j), base));
    candidate.add_list(std::move(taken));
  }
  record_ = std::move(candidate);
}

void ChannelGroups::set_field(size_t list, const FieldValue& field) {
  if (field.id == kMemberCount) {
    BlockRecord& group = record_.list(list);  // 105 for a bad group
    layout::check(kGroupRows, field, base);
    if (parse_decimal(field.value) != static_cast<int64_t>(group.entry_count())) raise(err::kInvalidData);
    group.header().set(field);
    return;
  }
  ListsBlock::set_field(list, field);
}

// ---- Members ----------------------------------------------------------------------------------

size_t ChannelGroups::add_member(size_t list) {
  BlockRecord& group = record_.list(list);  // 105 for a bad group
  if (static_cast<int64_t>(group.entry_count()) + 1 > radio_of(base).group_members) raise(err::kAboveMaximum);
  const size_t index = group.add_entry(default_member());
  set_member_count(group);
  return index;
}

void ChannelGroups::delete_member(size_t list, size_t member, BlockDirectory& blocks) {
  const size_t count = record_.list(list).entry_count();  // 105 for a bad group
  if (count < 2) raise(err::kBelowMinimum);
  if (member >= count) raise(err::kBadIndex);
  blocks.references_member_deleted(kBlockId, list, member);
  BlockRecord& group = record_.list(list);
  group.remove_entry(member);
  set_member_count(group);
}

std::vector<size_t> ChannelGroups::rewrite_deleted(int32_t block_id, size_t index, BlockDirectory& blocks,
                                                   bool enabled) {
  std::vector<size_t> removed = ListsBlock::rewrite_deleted(block_id, index, blocks, enabled);
  for (size_t g = 0; g < record_.list_count(); ++g) set_member_count(record_.list(g));
  return removed;
}

}  // namespace cps
