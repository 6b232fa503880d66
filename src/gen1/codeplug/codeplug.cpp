#include "gen1/codeplug/codeplug.h"

#include "gen1/block_table.h"
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

constexpr int32_t kSignallingCapability = 71;
constexpr int32_t kRadioSettings = 5;
constexpr int32_t kSignallingVariant = 754;  // of block 5

// The slot that holds a block ID; 0 for an ID the container does not hold.
int slot_of(int32_t block_id) {
  const Gen1Block* row = gen1_block(block_id);
  return row && row->holder == Holder::Container ? row->slot : 0;
}

bool in_capability_row(int32_t block_id) {
  const Gen1Block* row = gen1_block(block_id);
  return row && row->capability.rank != 0;
}

// The rows of one capability decision, in table order; the first has the leader's region.
template <class Each>
void for_each_capability(Each&& each) {
  for (uint8_t rank = 1;; ++rank) {
    const Gen1Block* leader = nullptr;
    for (const Gen1Block& row : gen1_blocks())
      if (row.capability.rank == rank && row.region(row.capability.leader)) leader = &row;
    if (!leader) return;
    each(*leader);
  }
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


// ---- Construction ---------------------------------------------------------------------------

Codeplug::Codeplug() : Codeplug(Unreset{}) { reset(); }

Codeplug::Codeplug(Unreset) {
  for (const Gen1Block& row : gen1_blocks())
    if (row.holder == Holder::Container && row.make) slots_[row.slot] = row.make();
  slots_[kDestinationFlagsSlot] = std::make_unique<AvailabilityFlags>();
  share_context(std::make_shared<Gen1Context>());
}

void Codeplug::share_context(std::shared_ptr<Gen1Context> context) {
  base.context = context;
  for (auto& slot : slots_)
    if (slot) slot->base.context = context;
}

void Codeplug::reset() {
  for (auto& slot : slots_) {
    if (!slot) continue;
    slot->base.version = base.version;
    slot->base.minor = base.minor;
    slot->base.mobile = base.mobile;
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
  for (int32_t id : gen1_order())
    if (handler(id) && own.has_flag(id) && !in_capability_row(id)) own.set_enabled(id, true);
}

Codeplug::Codeplug(const Codeplug& other)
    : Cloneable<Codeplug>(other), fixed_spacing_models(other.fixed_spacing_models), header_(other.header_) {
  for (int slot = 1; slot <= kSlots; ++slot)
    if (other.slots_[slot]) slots_[slot] = other.slots_[slot]->clone();
  // A copy reads a context of its own.
  share_context(std::make_shared<Gen1Context>(static_cast<const Gen1Context&>(*other.base.context)));
}

// An assignment takes the other's facts into the context this codeplug already shares (with
// blocks 2 and 3 of its radio).
Codeplug& Codeplug::operator=(const Codeplug& other) {
  if (this != &other) {
    std::shared_ptr<RadioContext> shared = base.context;
    Codeplug copy(other);
    *this = std::move(copy);
    static_cast<Gen1Context&>(*shared) = static_cast<const Gen1Context&>(*other.base.context);
    share_context(std::static_pointer_cast<Gen1Context>(shared));
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
  const int slot = slot_of(block_id);
  return slot ? slots_[slot].get() : nullptr;
}

const BlockHandler* Codeplug::handler(int32_t block_id) const {
  const int slot = slot_of(block_id);
  return slot ? slots_[slot].get() : nullptr;
}

AvailabilityFlags& Codeplug::flags() { return static_cast<AvailabilityFlags&>(*handler(AvailabilityFlags::kBlockId)); }
const AvailabilityFlags& Codeplug::flags() const {
  return static_cast<const AvailabilityFlags&>(*handler(AvailabilityFlags::kBlockId));
}
AvailabilityFlags& Codeplug::destination_flags() {
  return static_cast<AvailabilityFlags&>(*slots_[kDestinationFlagsSlot]);
}
AddressTable& Codeplug::addresses() { return static_cast<AddressTable&>(*handler(AddressTable::kBlockId)); }
const AddressTable& Codeplug::addresses() const {
  return static_cast<const AddressTable&>(*handler(AddressTable::kBlockId));
}
ProgrammingRecord& Codeplug::programming_record() {
  return static_cast<ProgrammingRecord&>(*handler(ProgrammingRecord::kBlockId));
}
const ProgrammingRecord& Codeplug::programming_record() const {
  return static_cast<const ProgrammingRecord&>(*handler(ProgrammingRecord::kBlockId));
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
  own().market_class = market_class;
  const bool long_form = base.long_form();
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
    const std::string variant = entry.contains(kSignallingVariant) ? entry.text(kSignallingVariant) : "";
    facts.kani = variant == "Kani";
    facts.ippan = variant == "Ippan";
  }
  return facts;
}

void Codeplug::set_radio(const RadioFacts& radio) { own().radio = radio; }

void Codeplug::set_version_pair(uint8_t data_major, uint8_t target_major) {
  own().data_major = data_major;
  own().target_major = target_major;
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
  BlockHandler* flags = &this->flags();
  BlockHandler* table = &addresses();
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
  destination_flags().unpack(AvailabilityFlags::kBlockId, image + at, length - at);
}

void Codeplug::unpack_blocks(const uint8_t* image, size_t length, const RadioIdentity& block3,
                             const RadioInfo& block2) {
  set_radio(radio_facts(block3, block2));
  for (int32_t id : gen1_order()) {
    const Gen1Block& row = *gen1_block(id);
    BlockHandler* h = handler(id);
    if (!enabled(id)) {
      // Keeps what it had, in the form of this radio: a block whose fields depend on the radio
      // kind or version text gains the fields of the new form (with their defaults) and drops
      // the others, so that its record is one this radio's codeplug can be set to.
      if (h && (h->base.version != base.version || (row.unpack_mobile && h->base.mobile != base.mobile))) {
        if (row.unpack_mobile) h->base.mobile = base.mobile;
        h->base.version = base.version;
        h->adapt_to_form();
      }
      continue;
    }
    if (!h) raise(err::kUnpackFailure);  // a block this codeplug cannot hold yet
    const size_t offset = offset_of(id);
    if (offset > length) raise(err::kShortImage);
    if (row.unpack_mobile) h->base.mobile = base.mobile;
    h->base.version = base.version;
    if (row.unpack_minor) h->base.minor = base.minor;
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
  for_each_capability([&](const Gen1Block& leader) {
    const Gen1Capability& capability = leader.capability;
    if (!own.has_flag(capability.leader)) return;  // this form of block 453 has no such block
    bool supported = false;
    if (keep_flags) {
      const AvailabilityFlags& theirs = destination_flags();
      supported = theirs.has_flag(capability.leader) && theirs.is_enabled(capability.leader);
    } else {
      const FieldList info = block2.block().entry(0);
      supported = info.text(capability.field) == "1";
      if (capability.needs_encoding) {
        const std::string& signalling = info.text(kSignallingCapability);
        supported = supported && (signalling == "Encode Only" || signalling == "Decode and Encode");
      }
    }
    const bool build = supported && !own.is_enabled(capability.leader);
    // Every block ID of the rows that share the leader comes and goes with it.
    for (const Gen1Block& row : gen1_blocks()) {
      if (row.capability.rank != capability.rank) continue;
      for (const Gen1Region& region : row.regions) {
        if (region.id == 0) continue;
        if (build) {
          BlockHandler* h = handler(region.id);
          if (!h) raise(err::kBlockNotSupported);  // a block this codeplug cannot hold yet
          h->build_default();
        }
        if (own.has_flag(region.id)) own.set_enabled(region.id, supported);
      }
    }
    if (!capability.needs_encoding) {
      FieldValue field = block2.block().get_entry_field(0, capability.field);
      field.value.assign(1, supported ? '1' : '0');
      block2.set_field(0, field);
    }
  });
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
  for (int32_t id : gen1_order()) {
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
