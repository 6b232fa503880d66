// Writing the service object's codeplug into a radio (WriteDevice) and into a second radio of
// the same model (CloneDevice).
//
// Both flows check the radio first (type, battery, codeplug version, serial and model number),
// bring the radio's block 2 and, where the radio has one, its codeplug header and availability
// flags into the codeplug, stamp the programming date and time into block 4, lay the image out
// and write it with one call at 0x300, and restart the radio.
//
// The flow changes the object as it goes: the version texts, field 103 (write only), field 461,
// the container's header and block 2 are the radio's from the step that brings them in, and
// stay so when a later step fails. Only a failed image write gives fields 105 and 106 back the
// texts they had before the stamp; laying the image out is all or nothing for the container.
// A clone leaves field 103 as it found it on every exit, failures included. Nothing is written
// to the radio before the write step.
#include "device/device_link.h"
#include "gen1/device/flows.h"
#include "gen1/block_directory.h"
#include "gen1/blocks/alert_settings.h"
#include "gen1/blocks/trunking.h"
#include "gen1/radio.h"
#include "platform/errors.h"
#include "platform/local_time.h"
#include "platform/ole_util.h"
#include "engine/variant_codec.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace cps {

namespace {

constexpr uint16_t kInfoAddress = 0x2D8;  // block 2, where a radio keeps it
constexpr size_t kRegionHeader = 3;       // fields 46, 47 (record size), 48 (record count)
constexpr int32_t kInfoBlock = 2;
constexpr int32_t kIdentityBlock = 3;
constexpr int32_t kSerialField = 83;           // of block 3
constexpr int32_t kModelField = 84;            // of block 3
constexpr int32_t kIdentityVersionField = 85;  // of block 3, "07.20"
constexpr uint8_t kFamilyWithBatteryQuery = 1;
constexpr int32_t kTrunkingBlock = 32;
constexpr uint8_t kFirstTrunkingMajor = 3;  // codeplug versions from 03 on may use trunking

enum class Mode { Write, Clone };

void check(HRESULT hr) {
  if (FAILED(hr)) throw DeviceFailure{hr};
}

// ---- Reading the other object and the radio ----------------------------------------------------

// A field of block 3 of the object that holds what was read from the destination radio. The
// object is another service object reached through its interface; one that is missing or
// cannot answer leaves the write nothing to compare with.
std::string destination_identity_field(ICPServices* destination, int32_t field_id) {
  if (destination == nullptr) raise(err::kUnexpected);
  ScopedVariant data;
  if (FAILED(destination->GetFieldAt(kIdentityBlock, field_id, 0, data.get()))) raise(err::kUnexpected);
  return decode_field(*data).value;
}

// The destination's version when the radio gave none: field 85 of its block 3 without its dots.
std::string version_from_destination(ICPServices* destination) {
  std::string digits = destination_identity_field(destination, kIdentityVersionField);
  std::erase(digits, '.');
  return check_version_text(digits);  // 132, 133
}

// A region of the radio found by its 3-byte header: header, record size x record count, checksum.
std::vector<uint8_t> read_region(DeviceLink& link, uint16_t address) {
  uint8_t header[kRegionHeader] = {};
  check(link.read(address, kRegionHeader, header));
  const size_t length = kRegionHeader + size_t{header[1]} * header[2] + 1;  // at most 65029
  std::vector<uint8_t> region(length);
  check(link.read(address, static_cast<uint16_t>(length), region.data()));
  return region;
}

// The radio's whole codeplug image, once its header has been parsed into the container.
std::vector<uint8_t> read_image(DeviceLink& link, const Codeplug& codeplug) {
  const size_t length = codeplug.image_length();
  if (length > 0x10000 - Codeplug::kImageBase) raise(err::kCodeplugSize);
  std::vector<uint8_t> image(length);
  check(link.read(Codeplug::kImageBase, static_cast<uint16_t>(length), image.data()));
  return image;
}

// ---- Changing block 4 --------------------------------------------------------------------------

void set_record_text(ProgrammingRecord& block4, int32_t field_id, const std::string& text) {
  FieldValue field = block4.block().get_entry_field(0, field_id);
  field.value = text;
  block4.set_field(0, field);
}

// The host's local date ("04-07-2009") and time ("09:05") into fields 105 and 106.
void stamp_date_and_time(ProgrammingRecord& block4) {
  const std::tm local = local_now();
  char date[32];
  std::snprintf(date, sizeof date, "%2d-%2d-%4d", local.tm_mon + 1, local.tm_mday,
                local.tm_year + 1900);
  char time[16];
  std::snprintf(time, sizeof time, "%2d:%2d", local.tm_hour, local.tm_min);
  std::string date_text = date, time_text = time;
  std::replace(date_text.begin(), date_text.end(), ' ', '0');
  std::replace(time_text.begin(), time_text.end(), ' ', '0');
  set_record_text(block4, ProgrammingRecord::kDateField, date_text);
  set_record_text(block4, ProgrammingRecord::kTimeField, time_text);
}

// A codeplug laid out for a major version that has trunking, written into a radio of an older
// major version, stops using trunking before it is laid out: every trunking system is deleted,
// last first, through the same reference passes as a host's deletion, so that afterwards no
// block refers to a trunking system. What each block does is what its declared references say:
// a channel on a system (744/745) falls back to the first channel group's first member (without
// channel groups, conventional channel 0); a scan list member of type "LS Trunking" (443/446) is
// removed and a designated channel of that type (438/441) becomes "Selected" with index 255; a
// phone system on one (600/601) becomes "Unassigned" with index 255; an FSD call on one keeps
// its mode and names none (605 = 255); block 5's references (746-749) follow their own rules;
// block 40's system (313/314) becomes "Conventional" 255, and its mode (301), which no deletion
// touches, is switched off first where that system was a trunking system. Aliases (424) and the
// scan lists' switches 435 and 436, which name no system, are left as they are. Unlike a host's
// deletion the last system goes even where no channel remains: the radio being written has no
// trunking.
void downgrade_for_older_radio(Gen1Radio& radio) {
  const BlockBase& pair = radio.codeplug.base;
  if (pair.data_major() < kFirstTrunkingMajor || pair.target_major() >= kFirstTrunkingMajor) return;
  auto* trunking = dynamic_cast<TrunkingSystems*>(radio.codeplug.handler(kTrunkingBlock));
  if (trunking == nullptr || trunking->block().entry_count() == 0) return;
  Gen1Directory blocks(radio);
  auto* alerts = dynamic_cast<AlertSettings*>(radio.codeplug.handler(AlertSettings::kBlockId));
  if (alerts != nullptr && blocks.enabled(AlertSettings::kBlockId)) alerts->disable_trunking_mode();
  trunking->delete_all(blocks);
}

// Field 103 as a clone found it, given back when the clone ends, however it ends: the radio
// holds the radio's version, the codeplug keeps its own. Block 4 is looked up again at the end,
// as laying the image out replaces the container's handlers.
class KeepCodeplugVersion {
 public:
  explicit KeepCodeplugVersion(Codeplug& codeplug)
      : codeplug_(codeplug),
        kept_(codeplug.programming_record().block().get_entry_field(0, ProgrammingRecord::kVersionField)) {}
  KeepCodeplugVersion(const KeepCodeplugVersion&) = delete;
  KeepCodeplugVersion& operator=(const KeepCodeplugVersion&) = delete;
  ~KeepCodeplugVersion() {
    try {
      ProgrammingRecord& block4 = codeplug_.programming_record();
      if (block4.block().get_entry_field(0, ProgrammingRecord::kVersionField) != kept_) block4.set_field(0, kept_);
    } catch (const ErrorCode&) {
      // The block held this value a moment ago, so its checks pass it; nothing to report from here.
    }
  }

 private:
  Codeplug& codeplug_;
  const FieldValue kept_;
};

// ---- The flow ----------------------------------------------------------------------------------

HRESULT write_flow(Gen1Radio& radio, DeviceLink& link, Mode mode, ICPServices* destination) {
  const bool write = mode == Mode::Write;
  link.start_progress(write ? 10 : 9);

  check(link.identify(radio.product_family));  // 112 for a radio of no known type
  link.step();
  link.step();

  if (radio.product_family == kFamilyWithBatteryQuery) {
    bool low = false;
    check(link.low_battery(low));
    if (low) raise(err::kBatteryLow);
  }
  link.step();

  std::optional<KeepCodeplugVersion> keep_version;
  if (!write) keep_version.emplace(radio.codeplug);

  std::string version;  // "07.20"; 133 ends the flow inside the query
  const HRESULT version_status = link.codeplug_version(version);
  if (FAILED(version_status)) {
    if (!write) throw DeviceFailure{version_status};
    version = version_from_destination(destination);
  }
  link.step();

  Codeplug& codeplug = radio.codeplug;
  RadioInfo& block2 = radio.block2;
  const RadioIdentity& block3 = radio.block3;
  auto block4 = [&]() -> ProgrammingRecord& { return codeplug.programming_record(); };

  const std::string major = version.substr(0, 2), minor = version.substr(3, 2);
  codeplug.base.version = major;
  codeplug.base.minor = minor;
  block2.base.version = major;
  block2.base.minor = minor;
  const FieldValue data_version = block4().block().get_entry_field(0, ProgrammingRecord::kVersionField);
  codeplug.set_version_pair(major_version(data_version.value), major_version(major));
  if (data_version.value != version) set_record_text(block4(), ProgrammingRecord::kVersionField, version);

  std::string serial;
  const HRESULT serial_status = link.serial_number(serial);
  if (write) {
    // A radio that cannot tell its serial number must be the one the destination object was
    // read from.
    if (FAILED(serial_status) &&
        block3.text(kSerialField) != destination_identity_field(destination, kSerialField))
      raise(err::kSerialMismatch);
  } else {
    check(serial_status);
    if (serial == block3.text(kSerialField)) raise(err::kSameSerial);
  }
  link.step();

  std::string model;
  check(link.model_number(model));
  if (model != padded_model(block3.text(kModelField))) raise(err::kModelMismatch);
  link.step();

  if (write) {
    std::string software;
    check(link.software_version(software));
    link.step();
    set_record_text(block4(), ProgrammingRecord::kSoftwareVersionField, software);
  }

  downgrade_for_older_radio(radio);

  // The radio's own image: its header and availability flags steer the layout. A write goes on
  // without them when the radio has no readable header; a clone needs them.
  uint8_t header[Codeplug::kHeaderLength] = {};
  const HRESULT header_status = link.read(Codeplug::kImageBase, Codeplug::kHeaderLength, header);
  if (!write) check(header_status);
  link.step();
  const bool radio_image = SUCCEEDED(header_status);
  if (radio_image) {
    codeplug.parse_header(header, sizeof header);
    const std::vector<uint8_t> image = read_image(link, codeplug);
    link.step();
    codeplug.read_destination_flags(image.data(), image.size());  // 103
    if (write) codeplug.unpack_header_blocks(image.data(), image.size(), true);
  }

  // Block 2 where the address table puts it; a table that records no address for it (a
  // codeplug built here rather than read from a radio) leaves it where radios keep it.
  uint16_t info_address = kInfoAddress;
  if (radio_image) {
    const uint16_t recorded = codeplug.addresses().address_of(kInfoBlock);
    if (recorded != 0) info_address = recorded;
  }
  const std::vector<uint8_t> info = read_region(link, info_address);
  block2.unpack(kInfoBlock, info.data(), info.size());

  // A failed image write gives the stamp fields back their texts; nothing else is rolled back.
  const FieldValue date = block4().block().get_entry_field(0, ProgrammingRecord::kDateField);
  const FieldValue time = block4().block().get_entry_field(0, ProgrammingRecord::kTimeField);
  stamp_date_and_time(block4());
  const std::vector<uint8_t> image = codeplug.pack_image(block3, block2, radio_image);
  if (image.size() > 0x10000 - Codeplug::kImageBase) raise(err::kCodeplugSize);
  const HRESULT write_status = link.write(Codeplug::kImageBase, static_cast<uint16_t>(image.size()), image.data());
  if (FAILED(write_status)) {
    block4().set_field(0, date);
    block4().set_field(0, time);
    throw DeviceFailure{write_status};
  }
  link.step();

  const HRESULT reset_status = link.reset();
  check(reset_status);
  return reset_status;
}

}  // namespace

HRESULT write_device(Gen1Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress,
                     ICPServices* destination) {
  DeviceLink link(device, handle, progress);
  return write_flow(radio, link, Mode::Write, destination);
}

HRESULT clone_device(Gen1Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress) {
  DeviceLink link(device, handle, progress);
  return write_flow(radio, link, Mode::Clone, nullptr);
}

}  // namespace cps
