#include "gen1/blocks/signalling_systems.h"

#include "gen1/values/alias_table.h"
#include "platform/errors.h"

namespace cps {

namespace {

constexpr int32_t kAliasByte0 = 49;
constexpr int32_t kAliasByte3 = 465;
constexpr int32_t kAliasHeader[] = {kAliasByte0, kAliasLength, kAliasByte3};
constexpr uint8_t kHeaderAttribute = 2;

FieldList frame_header(const FieldList& header) {
  FieldList kept;
  for (int32_t id : {kFormatField, kRecordSizeField, kRecordCountField})
    if (header.contains(id)) kept.add(header.get(id));
  return kept;
}

void set_count(BlockRecord& record) {
  record.set_header_field({kRecordCountField, decimal_text(static_cast<int64_t>(record.entry_count())), kHeaderAttribute});
}

}  // namespace

void SignallingSystems::unpack(int32_t id, const uint8_t* image, size_t length) {
  if (id == shape_.aliases) {
    if (!unpacked_) raise(err::kUnpackFailure);
    BlockRecord work = record_;
    work.header() = frame_header(work.header());
    for (size_t i = 0; i < work.entry_count(); ++i) work.entry(i).set_text(kAliasField, "");
    unpack_alias_image(image, length, work);
    record_ = std::move(work);
    unpacked_ = false;
    return;
  }
  if (id != shape_.image) raise(err::kBlockNotSupported);
  BlockRecord work;
  unpack_frame(*frame_, image, length, base, work);
  // The alias header stays until the alias image replaces it, so that the record is whole even
  // when a codeplug carries no alias image.
  for (int32_t field : kAliasHeader)
    if (record_.header().contains(field)) work.add_header_field(record_.get_header_field(field));
  record_ = std::move(work);
  unpacked_ = true;
}

std::vector<uint8_t> SignallingSystems::pack(int32_t id) {
  if (id == shape_.aliases) return pack_alias_image(record_, base);
  if (id != shape_.image) raise(err::kBlockNotSupported);
  return pack_frame(*frame_, record_, base);
}

void SignallingSystems::build_default() {
  BlockRecord record = default_frame(*frame_, base, 0);
  record.add_header_field({kAliasByte0, "132", kHeaderAttribute});
  record.add_header_field({kAliasLength, decimal_text(shape_.alias_length), kHeaderAttribute});
  record.add_header_field({kAliasByte3, "0", kHeaderAttribute});
  record.add_entry(default_system());
  set_count(record);
  record_ = std::move(record);
  unpacked_ = false;
}

FieldList SignallingSystems::default_system() const { return layout::defaults(frame_->rows, base); }

void SignallingSystems::set_block(const BlockRecord& given) {
  BlockRecord candidate = take_frame(*frame_, given, base);
  for (int32_t id : kAliasHeader) {
    const FieldValue field = given.get_header_field(id);  // 104 when missing
    const int64_t value = parse_decimal(field.value);
    if (value < 0 || value > 0xFF) raise(err::kInvalidData);  // each is a byte of the alias image
    candidate.add_header_field(field);
  }
  finish_record(candidate, given);
  record_ = std::move(candidate);
}

size_t SignallingSystems::add_list() {
  const size_t count = record_.entry_count();
  if (count + 1 > frame_->max_count) raise(err::kAboveMaximum);
  const size_t index = record_.add_entry(default_system());
  set_count(record_);
  return index;
}

void SignallingSystems::delete_list(size_t index, BlockDirectory& blocks) {
  const size_t count = record_.entry_count();
  if (count <= frame_->min_count) raise(err::kBelowMinimum);
  if (index >= count) raise(err::kBadIndex);
  blocks.references_deleted(shape_.image, index);  // the channels that name a system
  record_.remove_entry(index);
  set_count(record_);
}

}  // namespace cps
