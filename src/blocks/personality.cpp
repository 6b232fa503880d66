#include "blocks/personality.h"

#include "interface/errors.h"
#include "values/alias_table.h"
#include "values/field_layout.h"
#include "values/frequency.h"
#include "values/list_frame.h"
#include "values/range_table.h"

#include <algorithm>

namespace cps {

namespace {

using layout::Codec;
using layout::CustomCodec;
using layout::FieldDesc;

constexpr int32_t kCountField = 51;        // personalities
constexpr int32_t kMemberFormat = 49;      // byte 0 of the member image
constexpr int32_t kMemberHeader3 = 683;    // byte 3 of the member image
constexpr int32_t kAliasHeader3 = 465;
constexpr int32_t kRxCount = 688;          // step count of 695; 65535: unprogrammed
constexpr int32_t kTxCount = 689;          // step count of 696
constexpr int32_t kRxFrequency = 695;
constexpr int32_t kTxFrequency = 696;
constexpr int32_t kCompanding = 691;
constexpr int32_t kDeviation = 692;
constexpr int32_t kSpacing = 693;
constexpr int32_t kTrunkingBlock = 32;
constexpr uint32_t kUnprogrammed = 0xFFFF;
constexpr const char* kUnprogrammedText = "65535";
constexpr uint8_t kHeaderAttribute = 2;

constexpr size_t kPersonalitySize = 9;
constexpr size_t kMemberSize = 7;
constexpr size_t kBytesPerPersonality = 140;  // 20 members of 7 bytes
constexpr size_t kMemberStart = 6;

// ---- Tables -----------------------------------------------------------------------------------

constexpr Choice kLevels[] = {{0, "Low"}, {1, "Medium"}, {2, "High"}, kChoiceEnd};
constexpr Choice kTones[] = {{0, "Default"}, {1, "2.100"}, {2, "2.225"}, {3, "2.400"}, kChoiceEnd};
constexpr Choice kEmphasis[] = {{0, "None"}, {1, "De-Emphasis"}, {2, "Pre-Emphasis"},
                                {3, "De-Emphasis and Pre-Emphasis"}, kChoiceEnd};
constexpr Choice kCompression[] = {{0, "Disabled"}, {1, "Full Compression"}, kChoiceEnd};
constexpr Choice kExpansion[] = {{0, "Disabled"}, {1, "Full Expansion"}, kChoiceEnd};


constexpr FieldDesc flag(int32_t id, uint16_t offset, uint8_t mask, uint8_t attribute = 1) {
  return {.id = id, .offset = offset, .mask = mask, .attribute = attribute, .ranged = true};
}
constexpr FieldDesc choice(int32_t id, uint16_t offset, uint8_t mask, const Choice* table, const char* dflt,
                           uint8_t attribute = 1) {
  return {.id = id, .offset = offset, .mask = mask, .codec = Codec::Choice, .attribute = attribute,
          .dflt = {dflt}, .choices = table};
}

// A personality's settings; bytes 2 and 5-8 carry no field and pack as 0.
constexpr FieldDesc kPersonalityRows[] = {
    {.id = 671, .offset = 0, .ranged = true},
    flag(676, 1, 0x80),
    flag(675, 1, 0x40),
    flag(674, 1, 0x20),
    flag(673, 1, 0x10),
    {.id = 672, .offset = 1, .mask = 0x0F, .codec = Codec::Scaled, .dflt = {"12"}, .ranged = true, .scale = 4},
    {.id = 681, .offset = 3, .mask = 0x80, .attribute = 2, .dflt = {"1"}, .ranged = true},
    flag(680, 3, 0x40),
    choice(679, 3, 0x30, kLevels, "High"),
    {.id = 678, .offset = 3, .mask = 0x0C, .codec = Codec::Scaled, .dflt = {"2"}, .ranged = true, .bias = 1},
    choice(677, 3, 0x03, kLevels, "High"),
    {.id = 682, .offset = 4},  // the byte is its range
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters},
};
static_assert(layout::layout_ok(kPersonalityRows, kPersonalitySize) && layout::choices_fit(kPersonalityRows));

// Member frequencies: step code in byte 0, count beside the count field it shares; a member
// whose first count holds 65535 is unprogrammed and keeps 65535 in both counts.
template <uint8_t StepMask, uint16_t CountOffset>
struct MemberFrequency : EntryFrequency<StepMask, CountOffset, kUnprogrammed> {
  static void encode(std::string_view text, uint8_t* e, const FieldDesc&, const BlockBase& b) {
    if (read_be(e + 1, 2) == kUnprogrammed) {
      write_be(kUnprogrammed, e + 1, 2);
      write_be(kUnprogrammed, e + 3, 2);
      return;
    }
    EntryFrequency<StepMask, CountOffset, kUnprogrammed>::store(text, e, b.radio);
  }
};
using RxFrequency = MemberFrequency<0xC0, 1>;
using TxFrequency = MemberFrequency<0x0C, 3>;
constexpr CustomCodec kRxFrequencyCodec{RxFrequency::decode, RxFrequency::encode, RxFrequency::check};
constexpr CustomCodec kTxFrequencyCodec{TxFrequency::decode, TxFrequency::encode, TxFrequency::check};

// The counts pack before the frequencies, which read them.
constexpr FieldDesc kMemberRows[] = {
    choice(687, 0, 0x03, kTones, "Default"),
    choice(685, 0, 0x30, kTones, "Default"),
    {.id = kRxCount, .offset = 1, .width = 2, .attribute = 2, .dflt = {kUnprogrammedText}, .ranged = true},
    {.id = kTxCount, .offset = 3, .width = 2, .attribute = 2, .dflt = {kUnprogrammedText}, .ranged = true},
    {.id = kRxFrequency, .offset = 1, .width = 2, .codec = Codec::Custom, .dflt = {""},
     .custom = &kRxFrequencyCodec, .shares_bits = true},
    {.id = kTxFrequency, .offset = 3, .width = 2, .codec = Codec::Custom, .dflt = {""},
     .custom = &kTxFrequencyCodec, .shares_bits = true},
    choice(690, 5, 0xC0, kEmphasis, "De-Emphasis and Pre-Emphasis"),
    flag(kCompanding, 5, 0x10),
    choice(kDeviation, 5, 0x0C, kDeviations, "5.0", 2),
    {.id = kSpacing, .offset = 5, .mask = 0x03, .codec = Codec::Custom, .dflt = {"25"}, .custom = &kSpacingCodec},
    flag(694, 6, 0x10),
    choice(697, 6, 0x0C, kCompression, "Disabled"),
    choice(698, 6, 0x03, kExpansion, "Disabled"),
    {.id = kAliasField, .codec = Codec::Virtual, .dflt = {""}, .custom = &kAliasCharacters},
};
static_assert(layout::layout_ok(kMemberRows, kMemberSize) && layout::choices_fit(kMemberRows));

// ---- Helpers ----------------------------------------------------------------------------------

// The block header in one order whichever region came first: the personality image's fields,
// the member image's, the alias image's.
FieldList ordered_header(const FieldList& header) {
  FieldList ordered;
  for (int32_t id : {kFormatField, kCountField, kMemberFormat, kMemberHeader3, kAliasLength, kAliasHeader3})
    if (header.contains(id)) ordered.add(header.get(id));
  return ordered;
}

uint8_t header_byte(const FieldList& header, int32_t id) {
  const int64_t value = parse_decimal(header.text(id));
  if (value < 0 || value > 0xFF) raise(err::kInvalidData);
  return static_cast<uint8_t>(value);
}

void set_count(ListBlockRecord& record) {
  record.header().set_text(kCountField, decimal_text(static_cast<int64_t>(record.list_count())));
}

// The first member that holds a channel, or member 0.
size_t first_programmed(const BlockRecord& personality) {
  for (size_t j = 0; j < personality.entry_count(); ++j)
    if (personality.entry(j).text(kRxCount) != kUnprogrammedText) return j;
  return 0;
}

}  // namespace

Personalities::Personalities() { build_default(); }

BlockRecord Personalities::default_personality(size_t index) const {
  BlockRecord personality;
  FieldList settings = layout::defaults(kPersonalityRows, base);
  settings.set_text(671, decimal_text(static_cast<int64_t>(index)));
  settings.set_text(674, base.radio.band == "800" ? "1" : "0");
  personality.header() = std::move(settings);
  for (size_t j = 0; j < kMembers; ++j) personality.add_entry(default_member());
  return personality;
}

FieldList Personalities::default_member() const {
  FieldList member = layout::defaults(kMemberRows, base);
  member.set_text(kRxFrequency, base.radio.band_lower);
  member.set_text(kTxFrequency, base.radio.band_lower);
  return member;
}

void Personalities::build_default() {
  ListBlockRecord record;
  record.header().add(kFormatField, "128", kHeaderAttribute);
  record.header().add(kCountField, "0", 1);
  record.header().add(kMemberFormat, "128", kHeaderAttribute);
  record.header().add(kMemberHeader3, "0", kHeaderAttribute);
  record.header().add(kAliasLength, base.version > "01" ? "8" : "14", kHeaderAttribute);
  record.header().add(kAliasHeader3, "0", kHeaderAttribute);
  record.add_list(default_personality(0));
  set_count(record);
  record_ = std::move(record);
  personalities_unpacked_ = false;
}

// ---- Images -----------------------------------------------------------------------------------

void Personalities::unpack(int32_t id, const uint8_t* image, size_t length) {
  switch (id) {
    case kPersonalityImage: {
      if (length < 3) raise(err::kShortImage);
      if (image[1] != kPersonalitySize) raise(err::kShortImage);
      const size_t count = image[2];
      const size_t size = kPersonalitySize * count + 4;
      if (length < size) raise(err::kShortImage);
      verify_checksum(image, size - 1, image[size - 1]);
      ListBlockRecord work;
      work.header().add(kFormatField, decimal_text(image[0]), kHeaderAttribute);
      work.header().add(kCountField, decimal_text(image[2]), 1);
      for (size_t i = 0; i < count; ++i) {
        BlockRecord personality;
        layout::unpack(kPersonalityRows, image + 3 + i * kPersonalitySize, kPersonalitySize, base,
                       personality.header());
        work.add_list(personality);
      }
      // The member and alias headers stay until their images replace them.
      for (int32_t field : {kMemberFormat, kMemberHeader3, kAliasLength, kAliasHeader3})
        if (record_.header().contains(field)) work.header().add(record_.header().get(field));
      record_ = std::move(work);
      personalities_unpacked_ = true;
      return;
    }
    case kMemberImage: {
      if (length < kMemberStart) raise(err::kShortImage);
      if (image[4] != kMemberSize || image[5] != kMembers || image[1] != kBytesPerPersonality)
        raise(err::kShortImage);
      if (!personalities_unpacked_) raise(err::kUnpackFailure);
      personalities_unpacked_ = false;
      const size_t count = record_.list_count();
      if (image[2] != count) raise(err::kInvalidData);
      const size_t size = kBytesPerPersonality * count + kMemberStart + 1;
      if (length < size) raise(err::kShortImage);
      verify_checksum(image, size - 1, image[size - 1]);
      ListBlockRecord work = record_;
      work.header().put({kMemberFormat, decimal_text(image[0]), kHeaderAttribute});
      work.header().put({kMemberHeader3, decimal_text(image[3]), kHeaderAttribute});
      work.header() = ordered_header(work.header());
      for (size_t i = 0; i < count; ++i) {
        BlockRecord& personality = work.list(i);
        personality.clear_entries();
        for (size_t j = 0; j < kMembers; ++j) {
          const size_t k = personality.add_entry();
          layout::unpack(kMemberRows, image + kMemberStart + (i * kMembers + j) * kMemberSize, kMemberSize, base,
                         personality.entry(k));
        }
      }
      record_ = std::move(work);
      personalities_unpacked_ = true;
      return;
    }
    case kAliasImage: {
      ListBlockRecord work = record_;
      FieldList header;
      for (int32_t field : {kFormatField, kCountField, kMemberFormat, kMemberHeader3})
        if (work.header().contains(field)) header.add(work.header().get(field));
      work.header() = header;
      for (size_t i = 0; i < work.list_count(); ++i) work.list(i).header().set_text(kAliasField, "");
      unpack_alias_image(image, length, work);
      work.header() = ordered_header(work.header());
      record_ = std::move(work);
      return;
    }
    case kMemberAliases:
      return;  // members carry no aliases: the region is empty
    default:
      raise(err::kBlockNotSupported);
  }
}

std::vector<uint8_t> Personalities::pack(int32_t id) {
  const size_t count = record_.list_count();
  if (count > 0xFF) raise(err::kInvalidData);
  switch (id) {
    case kPersonalityImage: {
      std::vector<uint8_t> image(kPersonalitySize * count + 4, 0);
      image[0] = header_byte(record_.header(), kFormatField);
      image[1] = kPersonalitySize;
      image[2] = static_cast<uint8_t>(count);
      for (size_t i = 0; i < count; ++i)
        layout::pack(kPersonalityRows, record_.list(i).header(), base, image.data() + 3 + i * kPersonalitySize,
                     kPersonalitySize);
      image.back() = checksum(image.data(), image.size() - 1);
      return image;
    }
    case kMemberImage: {
      std::vector<uint8_t> image(kBytesPerPersonality * count + kMemberStart + 1, 0);
      image[0] = header_byte(record_.header(), kMemberFormat);
      image[1] = kBytesPerPersonality;
      image[2] = static_cast<uint8_t>(count);
      image[3] = header_byte(record_.header(), kMemberHeader3);
      image[4] = kMemberSize;
      image[5] = kMembers;
      for (size_t i = 0; i < count; ++i) {
        const BlockRecord& personality = record_.list(i);
        if (personality.entry_count() != kMembers) raise(err::kInvalidData);
        for (size_t j = 0; j < kMembers; ++j)
          layout::pack(kMemberRows, personality.entry(j), base,
                       image.data() + kMemberStart + (i * kMembers + j) * kMemberSize, kMemberSize);
      }
      image.back() = checksum(image.data(), image.size() - 1);
      return image;
    }
    case kAliasImage:
      return pack_alias_image(record_, base);
    case kMemberAliases:
      return {};
    default:
      raise(err::kBlockNotSupported);
  }
}

// ---- Setting ----------------------------------------------------------------------------------

void Personalities::set_lists(const ListBlockRecord& given) {
  ListBlockRecord candidate;
  for (int32_t id : {kFormatField, kCountField, kMemberFormat, kMemberHeader3, kAliasLength, kAliasHeader3}) {
    const FieldValue field = given.header().get(id);  // 104 when missing
    parse_decimal(field.value);
    candidate.header().add(field);
  }
  if (parse_decimal(candidate.header().text(kCountField)) != static_cast<int64_t>(given.list_count()))
    raise(err::kInvalidData);
  for (size_t i = 0; i < given.list_count(); ++i) {
    const BlockRecord& list = given.list(i);
    if (list.entry_count() != kMembers) raise(err::kInvalidData);
    BlockRecord personality;
    personality.header() = layout::take(kPersonalityRows, list.header(), base);
    for (size_t j = 0; j < kMembers; ++j) personality.add_entry(layout::take(kMemberRows, list.entry(j), base));
    candidate.add_list(personality);
  }
  record_ = std::move(candidate);
}

void Personalities::set_field(size_t list, const FieldValue& field) {
  const std::string& band = base.radio.band;
  switch (field.id) {
    case kCountField:
      // The count follows the personalities; only their own number is taken.
      if (parse_decimal(field.value) != static_cast<int64_t>(record_.list_count())) raise(err::kInvalidData);
      record_.header().set(field);
      return;
    case 679:
      if (band == "800") raise(err::kInvalidData);
      break;
    case 675:
      if (band != "800" && band != "900") raise(err::kInvalidData);
      break;
    case kAliasField:
    case 671: case 672: case 673: case 674: case 676: case 677: case 678: case 680: case 682:
      break;
    default:
      raise(err::kFieldNotFound);
  }
  layout::check(kPersonalityRows, field, base);
  record_.list(list).header().set(field);  // 105 for a bad list, 104: nothing stored
}

void Personalities::set_member_field(size_t list, size_t member, const FieldValue& field, BlockDirectory& blocks) {
  FieldList& entry = record_.list(list).entry(member);  // 105 for a bad list or member
  // The member is changed in place; should anything fail, it is put back as it was.
  FieldList kept = entry;
  try {
    set_member(list, member, entry, field, blocks);
  } catch (...) {
    entry = std::move(kept);
    throw;
  }
}

void Personalities::set_member(size_t list, size_t member, FieldList& entry, const FieldValue& field,
                               BlockDirectory& blocks) {
  bool unprogrammed = false;
  switch (field.id) {
    case 685:
    case 687:
      if (base.radio.band == "Low") raise(err::kInvalidData);
      layout::check(kMemberRows, field, base);
      break;
    case kRxCount:
    case kTxCount: {
      layout::check(kMemberRows, field, base);
      const int32_t other = field.id == kRxCount ? kTxCount : kRxCount;
      unprogrammed = field.value == kUnprogrammedText;
      if (!unprogrammed) {
        // A member given a channel starts from the defaults.
        const FieldList fresh = default_member();
        for (int32_t id : {687, 685, kTxFrequency, kRxFrequency, 690, kCompanding, kDeviation, kSpacing, 694, 697, 698})
          entry.set(fresh.get(id));
      }
      entry.set_text(other, field.value);
      break;
    }
    case kCompanding:
      layout::check(kMemberRows, field, base);
      entry.set_text(697, field.value == "1" ? "Full Compression" : "Disabled");
      entry.set_text(698, field.value == "1" ? "Full Expansion" : "Disabled");
      break;
    case kSpacing:
      layout::check(kMemberRows, field, base);
      entry.set_text(kDeviation, label_of(code_of(field.value, kSpacings), kDeviations));
      break;
    case kAliasField:
    case 690: case 694: case kRxFrequency: case kTxFrequency: case 697: case 698:
      layout::check(kMemberRows, field, base);
      break;
    default:
      raise(err::kFieldNotFound);
  }
  entry.set(field);
  if (unprogrammed) {
    const size_t replacement = first_programmed(record_.list(list));
    if (BlockHandler* trunking = blocks.find(kTrunkingBlock))
      trunking->references_moved(kPersonalityImage, list, member, replacement);
  }
}

// ---- Personalities and members ----------------------------------------------------------------

// No limit of its own; the count byte of the images holds 255 personalities.
size_t Personalities::add_list() {
  const size_t count = record_.list_count();
  if (count >= 0xFF) raise(err::kAboveMaximum);
  BlockRecord personality = default_personality(count);
  record_.header().position_of(kCountField);  // 104 before anything is stored
  const size_t index = record_.add_list(std::move(personality));
  set_count(record_);
  return index;
}

size_t Personalities::add_member(size_t list) {
  BlockRecord& personality = record_.list(list);
  if (personality.entry_count() >= kMembers) raise(err::kAboveMaximum);
  FieldList fresh = default_member();
  return personality.add_entry(std::move(fresh));
}

void Personalities::delete_list(size_t index, BlockDirectory& blocks) {
  const size_t count = record_.list_count();
  if (count == 0) raise(err::kBelowMinimum);
  if (index >= count) raise(err::kBadIndex);
  if (BlockHandler* trunking = blocks.find(kTrunkingBlock); trunking != nullptr && blocks.enabled(kTrunkingBlock))
    trunking->references_deleted(kPersonalityImage, index, blocks);
  record_.remove_list(index);
  set_count(record_);
}

}  // namespace cps
