#include "gen2/codeplug.h"

#include "engine/block_base.h"
#include "gen2/values/list_frame.h"
#include "platform/errors.h"

#include <string>

namespace cps::gen2 {

namespace {

constexpr uint8_t kDirectoryAttribute = 2;
constexpr int32_t kLengthField = 2046;
constexpr int32_t kPresenceAddress = 2047;
constexpr int32_t kAddressesAddress = 2048;
constexpr int32_t kInfoAddress = 2835;
constexpr int32_t kRetainedAddress = 2853;

// A directory field set whether or not the record holds it yet (a codeplug that was never read
// has empty tables).
void put(R9RecordBlock& block, int32_t id, int64_t value) {
  FieldList record = block.get_record();
  record.put({id, std::to_string(value), kDirectoryAttribute});
  block.set_record(record);
}

void put_word(std::vector<uint8_t>& image, size_t at, size_t value) {
  image[at] = static_cast<uint8_t>((value >> 8) & 0xFF);
  image[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

int64_t address_in(const R9RecordBlock& block, int32_t field) {
  return parse_decimal(block.get_record().text(field));
}

void append(std::vector<uint8_t>& image, const std::vector<uint8_t>& bytes) {
  image.insert(image.end(), bytes.begin(), bytes.end());
}

}  // namespace

const uint8_t* region(const std::vector<uint8_t>& image, int64_t address, size_t& length) {
  const int64_t offset = address - kCodeplugAddress;
  if (offset < 0 || offset >= static_cast<int64_t>(image.size())) raise(err::kInvalidData);
  length = image.size() - static_cast<size_t>(offset);
  return image.data() + offset;
}

// ---- Slots ----------------------------------------------------------------------------------

void R9Slot::unpack(const uint8_t* bytes, size_t length, R9ListBlock* retained) {
  R9ListBlock* target = radio_form ? radio_form.get() : handler.get();
  if (target == nullptr) {
    BlockRecord scratch;  // the framing alone checks the region: 13, 103
    const Framing framing = unpack_framing(bytes, length, scratch);
    opaque.assign(bytes, bytes + framing.total);
  } else if (row->retained_on_read && retained != nullptr) {
    target->unpack_with(bytes, length, *retained);
  } else {
    target->unpack(bytes, length);
  }
}

std::vector<uint8_t> R9Slot::pack(R9ListBlock* retained) {
  R9ListBlock* source = radio_form ? radio_form.get() : handler.get();
  if (source == nullptr) {
    if (opaque.empty()) raise(err::kBlockNotSupported);
    return opaque;
  }
  if (row->retained_on_pack && retained != nullptr) return source->pack_with(*retained);
  return source->pack();
}

// ---- The codeplug ---------------------------------------------------------------------------

R9Codeplug::R9Codeplug() {
  slots_.reserve(r9_blocks().size());
  for (const R9Block& row : r9_blocks()) {
    if (row.shape != R9Shape::List) continue;
    R9Slot slot;
    slot.row = &row;
    slots_.push_back(std::move(slot));
    if (row.make_list) install(row.id, row.make_list);
  }
  destination_info.row = r9_block(kInfoBlock);
  destination_retained.row = r9_block(kRetainedBlock);
}

void R9Codeplug::install(int32_t id, MakeR9List make) {
  auto made = [&] { return make ? make() : nullptr; };
  R9Slot& target = slot(id);
  target.handler = made();
  target.opaque.clear();
  if (target.row->radio_form) target.radio_form = made();
  if (id == kInfoBlock) destination_info.handler = made();
  if (id == kRetainedBlock) destination_retained.handler = made();
  link_handlers();
}

void R9Codeplug::set_fixed_spacing_models(std::vector<std::string> models) {
  fixed_spacing_models_ = std::move(models);
  link_handlers();
}

void R9Codeplug::link_handlers() {
  const R9Slot* info = nullptr;
  for (const R9Slot& s : slots_)
    if (s.row->id == kInfoBlock) info = &s;
  for (R9Slot& s : slots_)
    for (R9ListBlock* block : {s.handler.get(), s.radio_form.get()})
      if (block) block->link(info ? info->handler.get() : nullptr, fixed_spacing_models_);
}

R9Slot& R9Codeplug::slot(int32_t id) {
  for (R9Slot& s : slots_)
    if (s.row->id == id) return s;
  raise(err::kBlockNotSupported);
}

const R9Slot& R9Codeplug::slot(int32_t id) const { return const_cast<R9Codeplug&>(*this).slot(id); }

R9RecordBlock& R9Codeplug::directory(int32_t id) {
  switch (id) {
    case kHeaderBlock: return header;
    case kPresenceBlock: return presence;
    case kAddressBlock: return addresses;
    default: raise(err::kBlockNotSupported);
  }
}

R9ListBlock& R9Codeplug::list(int32_t id) {
  R9Slot& s = slot(id);
  if (!s.handler) raise(err::kBlockNotSupported);
  return *s.handler;
}

FieldList& R9Codeplug::info() { return list(kInfoBlock).record().entry(0); }
const FieldList& R9Codeplug::info() const { return const_cast<R9Codeplug&>(*this).info(); }

// ---- Radio state ----------------------------------------------------------------------------

namespace {

template <class Visit>
void each_list(std::vector<R9Slot>& slots, R9Slot& info, R9Slot& retained, Visit visit) {
  for (R9Slot& s : slots) {
    if (s.handler) visit(*s.handler, s.row->id, false);
    if (s.radio_form) visit(*s.radio_form, s.row->id, false);
  }
  if (info.handler) visit(*info.handler, kInfoBlock, true);
  if (retained.handler) visit(*retained.handler, kRetainedBlock, true);
}

}  // namespace

void R9Codeplug::set_radio_type(uint8_t type) {
  for (R9RecordBlock* block : {static_cast<R9RecordBlock*>(&header), static_cast<R9RecordBlock*>(&presence),
                               static_cast<R9RecordBlock*>(&addresses)})
    block->set_radio_type(type);
  each_list(slots_, destination_info, destination_retained,
            [&](R9ListBlock& block, int32_t, bool) { block.set_radio_type(type); });
}

void R9Codeplug::set_codeplug_version(const std::string& version) {
  for (R9RecordBlock* block : {static_cast<R9RecordBlock*>(&header), static_cast<R9RecordBlock*>(&presence),
                               static_cast<R9RecordBlock*>(&addresses)})
    block->set_codeplug_version(version);
  each_list(slots_, destination_info, destination_retained, [&](R9ListBlock& block, int32_t id, bool copy) {
    if (!copy || id == kRetainedBlock) block.set_codeplug_version(version);
  });
}

void R9Codeplug::set_target_version(const std::string& version) {
  for (R9RecordBlock* block : {static_cast<R9RecordBlock*>(&header), static_cast<R9RecordBlock*>(&presence),
                               static_cast<R9RecordBlock*>(&addresses)})
    block->set_target_version(version);
  each_list(slots_, destination_info, destination_retained,
            [&](R9ListBlock& block, int32_t, bool) { block.set_target_version(version); });
}

void R9Codeplug::set_version_pair(uint16_t pair) {
  for (R9RecordBlock* block : {static_cast<R9RecordBlock*>(&header), static_cast<R9RecordBlock*>(&presence),
                               static_cast<R9RecordBlock*>(&addresses)})
    block->set_version_pair(pair);
  each_list(slots_, destination_info, destination_retained, [&](R9ListBlock& block, int32_t id, bool copy) {
    if (!copy && id != kRetainedBlock) block.set_version_pair(pair);
  });
}

// ---- Unpack and pack ------------------------------------------------------------------------

void R9Codeplug::unpack_image(const std::vector<uint8_t>& image) {
  size_t length = 0;
  const uint8_t* bytes = region(image, address_in(header, kPresenceAddress), length);
  presence.unpack(bytes, length);
  bytes = region(image, address_in(header, kAddressesAddress), length);
  addresses.unpack(bytes, length);

  R9Slot& retained = slot(kRetainedBlock);
  for (int32_t id : r9_read_order()) {
    if (!presence.present(id)) continue;  // an absent block keeps what it held
    R9Slot& s = slot(id);
    bytes = region(image, address_in(addresses, s.row->address_field), length);
    s.unpack(bytes, length, retained.handler.get());
  }
  // The host forms of 2017 and 2018 are their radio forms' records as they stand.
  for (R9Slot& s : slots_)
    if (s.handler && s.radio_form && presence.present(s.row->id)) s.handler->record() = s.radio_form->get_record();
}

void R9Codeplug::unpack_destination(const std::vector<uint8_t>& image, bool retained) {
  size_t length = 0;
  const uint8_t* bytes = region(image, address_in(header, kPresenceAddress), length);
  destination_presence.unpack(bytes, length);
  bytes = region(image, address_in(header, kAddressesAddress), length);
  destination_addresses.unpack(bytes, length);
  bytes = region(image, address_in(destination_addresses, kInfoAddress), length);
  destination_info.unpack(bytes, length, nullptr);
  destination_retained_read_ = false;
  if (retained && destination_presence.present(kRetainedBlock)) {
    bytes = region(image, address_in(destination_addresses, kRetainedAddress), length);
    destination_retained.unpack(bytes, length, nullptr);
    destination_retained_read_ = true;
  }
}

std::vector<uint8_t> R9Codeplug::pack_image() {
  std::vector<uint8_t> image = header.pack();
  image.resize(CodeplugHeader::kLength);

  for (R9Slot& s : slots_)
    if (s.handler && s.radio_form) s.radio_form->record() = s.handler->get_record();

  R9Slot& retained = slot(kRetainedBlock);
  for (int32_t id : r9_write_order()) {
    R9Slot& s = slot(id);
    if (id == kRetainedBlock) {
      // The destination keeps its own block 2867; the object then shows what the radio holds.
      put(presence, kRetainedBlock, destination_retained_read_ ? 1 : 0);
      if (!destination_retained_read_) continue;
      put(addresses, s.row->address_field, static_cast<int64_t>(kCodeplugAddress + image.size()));
      append(image, destination_retained.pack(nullptr));
      if (retained.handler && destination_retained.handler) {
        retained.handler->record() = destination_retained.handler->get_record();
        retained.handler->set_codeplug_version(destination_retained.handler->codeplug_version());
      } else {
        retained.opaque = destination_retained.opaque;
      }
      continue;
    }
    if (!presence.present(id)) continue;
    put(addresses, s.row->address_field, static_cast<int64_t>(kCodeplugAddress + image.size()));
    append(image, s.pack(retained.handler.get()));
  }

  const size_t presence_at = kCodeplugAddress + image.size();
  append(image, presence.pack());
  const size_t addresses_at = kCodeplugAddress + image.size();
  append(image, addresses.pack());
  put(header, kPresenceAddress, static_cast<int64_t>(presence_at));
  put(header, kAddressesAddress, static_cast<int64_t>(addresses_at));
  put(header, kLengthField, static_cast<int64_t>(image.size()));
  put_word(image, 2, image.size());
  put_word(image, 4, presence_at);
  put_word(image, 6, addresses_at);
  return image;
}

}  // namespace cps::gen2
