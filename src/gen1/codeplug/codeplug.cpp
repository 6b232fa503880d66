#include "gen1/codeplug/codeplug.h"

#include "gen1/blocks/channel_list.h"
#include "gen1/blocks/option_board.h"
#include "gen1/blocks/personality.h"
#include "gen1/blocks/radio_facts.h"
#include "gen1/blocks/radio_identity.h"
#include "gen1/blocks/radio_info.h"
#include "platform/errors.h"

#include <algorithm>
#include <iterator>

namespace cps {

namespace {

constexpr int32_t kFormField = 45;       // 4 in an image packed without the radio's header
constexpr int32_t kLengthField = 100;    // image length - 1
constexpr int32_t kFlagsAddress = 101;   // where block 453 lies
constexpr int32_t kTableAddress = 102;   // where block 454 lies
constexpr uint8_t kHeaderAttribute = 2;
constexpr uint8_t kPackedForm = 4;
constexpr uint16_t kIdentityAddress = 0x282;     // block 3
constexpr uint16_t kInformationAddress = 0x2D8;  // block 2

using Make = std::unique_ptr<BlockHandler> (*)();

template <class Handler>
std::unique_ptr<BlockHandler> make() {
  return std::make_unique<Handler>();
}

// The container's members in slot order, with the block IDs each one serves. A slot whose
// handler is not built yet has none: a codeplug that enables its blocks cannot be unpacked.
struct SlotRow {
  int slot;
  std::array<int32_t, 4> ids;
  Make make;
};

constexpr SlotRow kSlotRows[] = {
    {1, {453}, &make<AvailabilityFlags>},  // the codeplug's own flags
    {2, {}, &make<AvailabilityFlags>},     // the destination radio's flags, read on write
    {3, {454}, &make<AddressTable>},
    {4, {4}, &make<ProgrammingRecord>},
    {5, {5}, nullptr},
    {6, {8}, nullptr},
    {7, {19}, nullptr},
    {8, {15}, nullptr},
    {9, {40}, nullptr},
    {10, {41, 466}, nullptr},
    {11, {42, 467}, nullptr},
    {12, {38, 39}, &make<ChannelList>},
    {13, {6}, nullptr},
    {14, {13, 468, 12}, nullptr},
    {15, {16}, nullptr},
    {16, {17}, &make<OptionBoard>},
    {17, {20}, nullptr},
    {18, {22}, nullptr},
    {19, {43, 657}, nullptr},
    {20, {30}, nullptr},
    {21, {29}, nullptr},
    {22, {9, 10}, nullptr},
    {23, {11, 658}, nullptr},
    {24, {23}, nullptr},
    {25, {24}, nullptr},
    {26, {25}, nullptr},
    {27, {26}, nullptr},
    {28, {37, 742, 36, 741}, &make<Personalities>},
    {29, {32, 33}, nullptr},
    {30, {34, 35}, nullptr},
    {31, {759, 760}, nullptr},
    {32, {761, 762}, nullptr},
};
static_assert(std::size(kSlotRows) == Codeplug::kSlots);

constexpr int32_t kOrder[] = {4,  5,   8,   15,  19,  40,  41,  466, 42,  467, 38,
                              39, 6,   13,  468, 12,  16,  17,  20,  22,  43,  657,
                              30, 29,  9,   10,  11,  658, 24,  25,  26,  23,  37,
                              742, 36, 741, 32,  33,  34,  35,  759, 760, 761, 762};

// Blocks a destination radio may lack: before packing, each row follows the destination's
// flags, or the capability field of block 2 that says whether the radio can hold the block.
struct CapabilityRow {
  int32_t block;
  std::array<int32_t, 8> ids;  // every block ID that comes and goes with it
  int32_t field;               // capability field of block 2
  bool needs_encoding;         // also needs field 71 to encode (block 2 then stays as it is)
};

constexpr CapabilityRow kCapabilities[] = {
    {41, {41, 466}, 60, false},
    {42, {42, 467}, 59, false},
    {43, {43, 657}, 58, false},
    {24, {24}, 60, true},
    {37, {37, 742, 36, 741, 32, 33, 34, 35}, 61, false},
    {759, {759, 760}, 55, false},
    {761, {761, 762}, 56, false},
};

constexpr int32_t kSignallingCapability = 71;
constexpr int32_t kRadioSettings = 5;
constexpr int32_t kSignallingVariant = 754;  // of block 5

const SlotRow* slot_row_of(int32_t block_id) {
  for (const SlotRow& row : kSlotRows)
    for (int32_t id : row.ids)
      if (id != 0 && id == block_id) return &row;
  return nullptr;
}

bool in_capability_row(int32_t block_id) {
  for (const CapabilityRow& row : kCapabilities)
    for (int32_t id : row.ids)
      if (id == block_id) return true;
  return false;
}

void write_be16(std::vector<uint8_t>& image, size_t at, uint32_t value) {
  image[at] = static_cast<uint8_t>(value >> 8);
  image[at + 1] = static_cast<uint8_t>(value);
}

uint32_t header_value(const FieldList& header, int32_t id, int64_t maximum) {
  const int64_t value = parse_decimal(header.text(id));
  if (value < 0 || value > maximum) raise(err::kInvalidData);
  return static_cast<uint32_t>(value);
}

}  // namespace

std::span<const int32_t> codeplug_block_order() { return kOrder; }

// ---- Construction ---------------------------------------------------------------------------

Codeplug::Codeplug() {
  for (const SlotRow& row : kSlotRows)
    if (row.make) slots_[row.slot] = row.make();
  reset();
}

void Codeplug::reset() {
  for (auto& slot : slots_) {
    if (!slot) continue;
    slot->base.version = base.version;
    slot->base.minor = base.minor;
    slot->base.mobile = base.mobile;
    slot->base.market_class = base.market_class;
    slot->build_default();
  }
  build_default();
  // The radio keeps blocks 3 and 2 outside the image, at fixed addresses.
  addresses().set_address(3, kIdentityAddress);
  addresses().set_address(2, kInformationAddress);
  // A new codeplug enables the blocks it has content for, except the ones a radio may lack,
  // which follow block 2's capabilities when the codeplug is packed.
  AvailabilityFlags& own = flags();
  for (int32_t id : {2, 3})
    if (own.has_flag(id)) own.set_enabled(id, true);
  for (int32_t id : kOrder)
    if (handler(id) && own.has_flag(id) && !in_capability_row(id)) own.set_enabled(id, true);
}

Codeplug::Codeplug(const Codeplug& other)
    : Cloneable<Codeplug>(other), fixed_spacing_models(other.fixed_spacing_models), header_(other.header_) {
  for (int slot = 1; slot <= kSlots; ++slot)
    if (other.slots_[slot]) slots_[slot] = other.slots_[slot]->clone();
}

Codeplug& Codeplug::operator=(const Codeplug& other) {
  if (this != &other) {
    Codeplug copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void Codeplug::build_default() {
  header_.clear();
  header_.add(kFormField, decimal_text(kPackedForm), kHeaderAttribute);
  for (int32_t id : {kLengthField, kFlagsAddress, kTableAddress}) header_.add(id, "0", kHeaderAttribute);
}

void Codeplug::set_fields(const FieldList& given) {
  FieldList header;
  header.add(kFormField, decimal_text(header_value(given, kFormField, 0xFF)), kHeaderAttribute);
  for (int32_t id : {kLengthField, kFlagsAddress, kTableAddress})
    header.add(id, decimal_text(header_value(given, id, 0xFFFF)), kHeaderAttribute);
  header_ = std::move(header);
}

void Codeplug::unpack(int32_t, const uint8_t*, size_t) { raise(err::kBlockNotSupported); }
std::vector<uint8_t> Codeplug::pack(int32_t) { raise(err::kBlockNotSupported); }

// ---- Access ---------------------------------------------------------------------------------

BlockHandler* Codeplug::handler(int32_t block_id) {
  const SlotRow* row = slot_row_of(block_id);
  return row ? slots_[row->slot].get() : nullptr;
}

const BlockHandler* Codeplug::handler(int32_t block_id) const {
  const SlotRow* row = slot_row_of(block_id);
  return row ? slots_[row->slot].get() : nullptr;
}

AvailabilityFlags& Codeplug::flags() { return static_cast<AvailabilityFlags&>(*slots_[1]); }
const AvailabilityFlags& Codeplug::flags() const { return static_cast<const AvailabilityFlags&>(*slots_[1]); }
AvailabilityFlags& Codeplug::destination_flags() { return static_cast<AvailabilityFlags&>(*slots_[2]); }
AddressTable& Codeplug::addresses() { return static_cast<AddressTable&>(*slots_[3]); }
const AddressTable& Codeplug::addresses() const { return static_cast<const AddressTable&>(*slots_[3]); }
ProgrammingRecord& Codeplug::programming_record() { return static_cast<ProgrammingRecord&>(*slots_[4]); }
const ProgrammingRecord& Codeplug::programming_record() const {
  return static_cast<const ProgrammingRecord&>(*slots_[4]);
}

bool Codeplug::enabled(int32_t block_id) const {
  const AvailabilityFlags& own = flags();
  return own.has_flag(block_id) && own.is_enabled(block_id);
}

namespace {

constexpr int32_t kFlagsLengthField = 52;  // block 453's own length, fixed by its form

// Blocks 453 and 454 have a longer form in market classes 1 and 2. When the class changes, the
// list takes the new form: values it had are kept, entries the new form adds start as 0, and
// entries it lacks are dropped.
void conform_to_form(BlockHandler& block) {
  const FieldList old = block.fields();
  block.build_default();
  FieldList fresh = block.fields();
  for (size_t i = 0; i < fresh.count(); ++i) {
    FieldValue field = fresh.at(i);
    if (field.id == kFlagsLengthField || !old.contains(field.id)) continue;
    field.value = old.text(field.id);
    fresh.set(field);
  }
  block.set_fields(fresh);
}

}  // namespace

void Codeplug::set_market_class(int32_t market_class) {
  const bool was_long = base.long_form();
  base.market_class = market_class;
  const bool long_form = base.long_form();
  for (auto& slot : slots_)
    if (slot) slot->base.market_class = market_class;
  if (long_form != was_long) {
    for (int slot : {1, 2, 3}) conform_to_form(*slots_[slot]);
    for (auto& slot : slots_)
      if (slot) slot->adapt_to_form();
  }
}

RadioFacts Codeplug::radio_facts(const RadioIdentity& block3, const RadioInfo& block2) const {
  RadioFacts facts = cps::radio_facts(block3, block2, fixed_spacing_models);
  if (const BlockHandler* settings = handler(kRadioSettings); settings != nullptr && enabled(kRadioSettings)) {
    const FieldList entry = settings->block().entry(0);
    facts.kani = entry.contains(kSignallingVariant) && entry.text(kSignallingVariant) == "Kani";
  }
  return facts;
}

void Codeplug::set_radio(const RadioFacts& radio) {
  base.radio = radio;
  for (auto& slot : slots_)
    if (slot) slot->base.radio = radio;
}

void Codeplug::set_version_pair(uint8_t data_major, uint8_t target_major) {
  base.data_major = data_major;
  base.target_major = target_major;
  for (auto& slot : slots_)
    if (slot) {
      slot->base.data_major = data_major;
      slot->base.target_major = target_major;
    }
}

uint16_t Codeplug::offset_of(int32_t block_id) const {
  const uint16_t address = addresses().address_of(block_id);
  if (address < kImageBase) raise(err::kInvalidData);
  return static_cast<uint16_t>(address - kImageBase);
}

// ---- Unpacking ------------------------------------------------------------------------------

void Codeplug::parse_header(const uint8_t* header, size_t length) {
  if (length < kHeaderLength) raise(err::kShortImage);
  FieldList fields;
  fields.add(kFormField, decimal_text(header[0]), kHeaderAttribute);
  fields.add(kLengthField, decimal_text(read_be(header + 2, 2)), kHeaderAttribute);
  fields.add(kFlagsAddress, decimal_text(read_be(header + 4, 2)), kHeaderAttribute);
  fields.add(kTableAddress, decimal_text(read_be(header + 6, 2)), kHeaderAttribute);
  header_ = std::move(fields);
}

size_t Codeplug::image_length() const { return header_value(header_, kLengthField, 0xFFFF) + size_t{1}; }

namespace {

void verify_image_checksum(const uint8_t* image, size_t length) {
  if (length == 0) raise(err::kShortImage);
  verify_checksum(image, length - 1, image[length - 1]);
}

// Offset in the image of a header address; 107 below 0x300, 13 past the image's end.
size_t region_of(const FieldList& header, int32_t id, size_t length) {
  const uint32_t address = header_value(header, id, 0xFFFF);
  if (address < Codeplug::kImageBase) raise(err::kInvalidData);
  const size_t offset = address - Codeplug::kImageBase;
  if (offset >= length) raise(err::kShortImage);
  return offset;
}

}  // namespace

void Codeplug::unpack_header_blocks(const uint8_t* image, size_t length, bool keep_edits) {
  verify_image_checksum(image, length);
  // With keep_edits the radio's blocks 453 and 454 are unpacked into scratch copies only: the
  // codeplug's own flags and address table stay, and the image has served for the checks.
  std::unique_ptr<BlockHandler> scratch_flags, scratch_table;
  BlockHandler* flags = slots_[1].get();
  BlockHandler* table = slots_[3].get();
  if (keep_edits) {
    scratch_flags = flags->clone();
    scratch_table = table->clone();
    flags = scratch_flags.get();
    table = scratch_table.get();
  }
  flags->base.version = base.version;
  flags->base.minor = base.minor;
  size_t at = region_of(header_, kFlagsAddress, length);
  flags->unpack(453, image + at, length - at);
  at = region_of(header_, kTableAddress, length);
  table->unpack(454, image + at, length - at);
}

void Codeplug::read_destination_flags(const uint8_t* image, size_t length) {
  verify_image_checksum(image, length);
  const size_t at = region_of(header_, kFlagsAddress, length);
  slots_[2]->unpack(453, image + at, length - at);
}

void Codeplug::unpack_blocks(const uint8_t* image, size_t length, const RadioIdentity& block3,
                             const RadioInfo& block2) {
  set_radio(radio_facts(block3, block2));
  for (int32_t id : kOrder) {
    if (!enabled(id)) continue;  // keeps what it had
    BlockHandler* h = handler(id);
    if (!h) raise(err::kUnpackFailure);  // a block this codeplug cannot hold yet
    const size_t offset = offset_of(id);
    if (offset > length) raise(err::kShortImage);
    if (id != 4 && id != 19) h->base.mobile = base.mobile;
    h->base.version = base.version;
    if (id == 41 || id == 24) h->base.minor = base.minor;
    h->unpack(id, image + offset, length - offset);
  }
}

void Codeplug::unpack_image(const uint8_t* image, size_t length, const RadioIdentity& block3,
                            const RadioInfo& block2) {
  parse_header(image, length);
  const size_t image_length = this->image_length();
  if (length < image_length) raise(err::kShortImage);
  unpack_header_blocks(image, image_length, false);
  unpack_blocks(image, image_length, block3, block2);
}

// ---- Packing --------------------------------------------------------------------------------

void Codeplug::apply_capabilities(RadioInfo& block2, bool keep_flags) {
  AvailabilityFlags& own = flags();
  for (const CapabilityRow& row : kCapabilities) {
    if (!own.has_flag(row.block)) continue;  // this form of block 453 has no such block
    bool supported = false;
    if (keep_flags) {
      const AvailabilityFlags& theirs = destination_flags();
      supported = theirs.has_flag(row.block) && theirs.is_enabled(row.block);
    } else {
      const FieldList info = block2.block().entry(0);
      supported = info.text(row.field) == "1";
      if (row.needs_encoding) {
        const std::string& signalling = info.text(kSignallingCapability);
        supported = supported && (signalling == "Encode Only" || signalling == "Decode and Encode");
      }
    }
    if (supported && !own.is_enabled(row.block)) {
      for (int32_t id : row.ids) {
        if (id == 0) continue;
        BlockHandler* h = handler(id);
        if (!h) raise(err::kBlockNotSupported);  // a block this codeplug cannot hold yet
        h->build_default();
      }
    }
    for (int32_t id : row.ids)
      if (id != 0 && own.has_flag(id)) own.set_enabled(id, supported);
    if (!row.needs_encoding) {
      FieldValue capability = block2.block().get_entry_field(0, row.field);
      capability.value.assign(1, supported ? '1' : '0');
      block2.set_field(0, capability);
    }
  }
}

std::vector<uint8_t> Codeplug::pack_in_place(bool keep_flags) {
  std::vector<uint8_t> image(kHeaderLength, 0);
  image[0] = keep_flags ? static_cast<uint8_t>(header_value(header_, kFormField, 0xFF)) : kPackedForm;
  if (!keep_flags) header_.set({kFormField, decimal_text(kPackedForm), kHeaderAttribute});

  auto next_address = [&]() -> uint32_t {
    const size_t address = kImageBase + image.size();
    if (address > 0xFFFF) raise(err::kCodeplugSize);
    return static_cast<uint32_t>(address);
  };
  auto append = [&](const std::vector<uint8_t>& bytes) { image.insert(image.end(), bytes.begin(), bytes.end()); };

  AddressTable& table = addresses();
  for (int32_t id : kOrder) {
    const bool packed = enabled(id);
    if (packed && !handler(id)) raise(err::kBlockNotSupported);
    if (table.has_entry(id)) table.set_address(id, packed ? static_cast<uint16_t>(next_address()) : 0);
    if (!packed) continue;
    BlockHandler* h = handler(id);
    h->base.version = base.version;
    h->base.minor = base.minor;
    append(h->pack(id));
  }

  const uint32_t flags_address = next_address();
  header_.put({kFlagsAddress, decimal_text(flags_address), kHeaderAttribute});
  write_be16(image, 4, flags_address);
  append(flags().pack(453));
  const uint32_t table_address = next_address();
  header_.put({kTableAddress, decimal_text(table_address), kHeaderAttribute});
  write_be16(image, 6, table_address);
  append(table.pack(454));

  image.push_back(0);
  if (image.size() - 1 > 0xFFFF) raise(err::kCodeplugSize);
  header_.put({kLengthField, decimal_text(static_cast<uint32_t>(image.size() - 1)), kHeaderAttribute});
  write_be16(image, 2, static_cast<uint32_t>(image.size() - 1));
  image.back() = checksum(image.data(), image.size() - 1);
  return image;
}

std::vector<uint8_t> Codeplug::pack_image(const RadioIdentity& block3, RadioInfo& block2, bool keep_flags) {
  Codeplug work(*this);
  RadioInfo info(block2);
  work.apply_capabilities(info, keep_flags);
  work.set_radio(work.radio_facts(block3, info));
  std::vector<uint8_t> image = work.pack_in_place(keep_flags);
  *this = std::move(work);
  block2 = std::move(info);
  return image;
}

}  // namespace cps
