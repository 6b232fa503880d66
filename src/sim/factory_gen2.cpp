// Factory radios of the second generation: the R9 identity answers and a codeplug built from
// the component's own R9 blocks, so that reading it back goes through exactly the code that
// reads a real radio.
//
//   643   the codeplug header (block 2002)
//   651   the data blocks in the write order, 2003 first
//   ...   the presence table (2027), then the address table (2028)
//
// Every data block that has a handler is present and holds what a radio leaves the factory
// with: block 2003 the radio's identity, a channel list in 2018 with every kind of squelch, a
// few channel profiles in 2017, one scan list, the retained radio block 2867 (whose option word
// the scan list carries), an empty option board in 2023 and the opaque blocks zeroed. Blocks
// without a handler are absent.
#include "sim/simulated_radio.h"

#include "device/device_link.h"
#include "gen2/block_table.h"
#include "gen2/blocks/option_board.h"
#include "gen2/codeplug.h"
#include "gen2/values/list_frame.h"
#include "platform/errors.h"

#include <cstdio>
#include <stdexcept>

namespace cps::sim {

namespace {

using gen2::R9Codeplug;

constexpr const char* kR9Uuid = "c6c1abe0ca6311d181b700a024deba0e";
constexpr const char* kSoftwareVersion = "R04.10.02";
constexpr uint32_t kMaxTransfer = 512;
constexpr size_t kSerialWidth = 10;  // field 2049's bytes
constexpr size_t kModelWidth = 16;   // field 2050
constexpr const char* kNewestVersion = "04.99";
constexpr const char* kRetainedVersion = "04";  // the only major version whose write keeps 2867

void check_options(const Gen2FactoryOptions& o) {
  const std::string& v = o.version;
  const bool shaped = v.size() == 5 && v[2] == '.' && v.find_first_not_of("0123456789", 3) == std::string::npos &&
                      v.substr(0, 2).find_first_not_of("0123456789") == std::string::npos;
  if (!shaped || v > kNewestVersion)
    throw std::invalid_argument("factory radio: the codeplug version must be NN.NN up to 04.99, not '" + v + "'");
  if (o.serial.empty() || o.serial.size() > kSerialWidth || o.serial.find('\0') != std::string::npos)
    throw std::invalid_argument("factory radio: the serial number must have 1 to 10 characters");
  if (o.model.empty() || o.model.size() > kModelWidth)
    throw std::invalid_argument("factory radio: the model number must have 1 to 16 characters");
  if (o.channels < 1 || o.channels > kGen2MaxChannels)
    throw std::invalid_argument("factory radio: the channel count must be 1 to 100, not " +
                                std::to_string(o.channels));
}

// The framing a block made afresh carries (attribute 2), with `count` entries of `size` bytes.
BlockRecord framed(size_t size, size_t count) {
  BlockRecord record;
  for (auto [id, value] : {std::pair{gen2::kBlockFlag, size_t{2}}, {gen2::kFlag2, 0}, {gen2::kFlag1, 0},
                           {gen2::kFlag0, 1}, {gen2::kRecordSize, size}, {gen2::kEntryCount, count}})
    record.add_header_field({id, std::to_string(value), gen2::kFramingAttribute});
  return record;
}

std::string hex_of(const std::string& text) {
  std::string digits;
  char pair[3];
  for (unsigned char c : text) {
    std::snprintf(pair, sizeof pair, "%02X", c);
    digits += pair;
  }
  return digits;
}

// Block 2003: the serial number as the 20 hexadecimal digits of its 10 bytes (zeros after a
// shorter one), the model padded with blanks, the version, a factory programming record.
void fill_radio_info(R9Codeplug& codeplug, const Gen2FactoryOptions& o, const std::string& model) {
  std::string serial = hex_of(o.serial);
  serial.resize(2 * kSerialWidth, '0');
  FieldList entry;
  const std::pair<int32_t, std::string> fields[] = {
      {2049, serial}, {2050, model},
      {2051, std::to_string(std::stoi(o.version.substr(0, 2)))},
      {2052, std::to_string(std::stoi(o.version.substr(3, 2)))},
      {2053, "Factory"}, {2054, ""}, {2055, ""}, {2056, "400"}, {2057, ""}, {2058, "0"},
      {2059, "North America"}, {2060, "0"}, {2061, "0"}, {2062, "0"}, {2063, "0"}, {2065, "0"},
      {2066, "0"}, {2067, "0"}, {2068, "0.0"}, {2069, "0.0"}};
  for (const auto& [id, text] : fields) entry.add(id, text, 1);
  entry.add(gen2::info::kSoftware, "", 0);
  BlockRecord record = framed(67, 1);
  record.add_entry(std::move(entry));
  codeplug.list(gen2::kInfoBlock).set_record(record);
}

// Channel i: spacing 12.5 kHz (every fourth 25 kHz), power alternating, both squelch sets of one
// kind in turn (carrier, a tone, a digital code), channel numbers from 1.
void fill_channels(R9Codeplug& codeplug, int count) {
  static constexpr const char* kTones[] = {"67.0", "88.5", "103.5", "131.8", "151.4", "167.9"};
  static constexpr const char* kCodes[] = {"023", "114", "205", "411", "732"};
  gen2::R9ListBlock& channels = codeplug.list(2018);
  for (int i = 0; i < count; ++i) {
    const size_t at = channels.add_entry();
    auto set = [&](int32_t id, const std::string& text) { channels.set_field(at, {id, text, 1}); };
    set(2502, i % 4 == 3 ? "25" : "12.5");
    set(2505, i % 2 == 0 ? "High" : "Low");
    const char* type = i % 3 == 0 ? "CSQ" : i % 3 == 1 ? "TXQ" : "DXQ";
    const char* code = i % 3 == 0 ? "" : i % 3 == 1 ? kTones[i % 6] : kCodes[i % 5];
    for (auto [type_field, code_field] : {std::pair{2515, 2516}, std::pair{2518, 2519}}) {
      set(type_field, type);  // the type first: the code is checked against it
      set(code_field, code);
    }
    set(2520, std::to_string(i + 1));
    set(2521, std::to_string(i + 1));
  }
}

// The profiles: the default, one that keeps off a busy channel with a 60 s transmit timer, one
// that opens on the coded squelch.
void fill_profiles(R9Codeplug& codeplug) {
  gen2::R9ListBlock& profiles = codeplug.list(2017);
  for (int i = 0; i < kGen2FactoryProfiles; ++i) profiles.add_entry();
  profiles.set_field(1, {2428, "Only if Channel Busy", 1});
  profiles.set_field(1, {2453, "Non-Cumulative", 1});
  profiles.set_field(1, {2455, "60", 1});
  profiles.set_field(2, {2436, "TXQ/DXQ", 1});
  profiles.set_field(2, {2437, "TXQ/DXQ", 1});
}

// One entry of raw bytes, all zero, for a block whose list the radio fixes.
void fill_raw(R9Codeplug& codeplug, int32_t block, int32_t raw_field, size_t size) {
  BlockRecord record = framed(size, 1);
  FieldList entry;
  entry.add(raw_field, std::string(2 * size, '0'), 1);
  record.add_entry(std::move(entry));
  codeplug.list(block).set_record(record);
}

// Block 2867 with a few option switches on (2875 and 2880), then the scan list that takes its
// option word from it.
void fill_retained_and_scan(R9Codeplug& codeplug) {
  constexpr int32_t kFirstSwitch = 2875, kLastSwitch = 2906, kRawField = 2907;
  BlockRecord record = framed(4, 1);
  FieldList entry;
  for (int32_t id = kFirstSwitch; id <= kLastSwitch; ++id)
    entry.add(id, id == 2875 || id == 2880 ? "1" : "0", 1);
  entry.add(kRawField, "", 1);
  record.add_entry(std::move(entry));
  gen2::R9ListBlock& retained = codeplug.list(gen2::kRetainedBlock);
  retained.set_record(record);
  codeplug.list(gen2::kScanBlock).add_entry_with(retained);
}

// The directory blocks: every field at 0 but the tables' own lengths, the presence bits of the
// blocks that have handlers set (2867 only under major version 04).
void fill_directory(R9Codeplug& codeplug, const std::string& major) {
  FieldList header;
  for (int32_t id = 2040; id <= 2048; ++id) header.add(id, "0", 2);
  codeplug.header.set_record(header);

  FieldList presence;
  presence.add(2833, std::to_string(gen2::PresenceTable::kLength), 2);
  auto bit = [&](int32_t id) {
    const gen2::R9Block* row = gen2::r9_block(id);
    const bool present = row != nullptr && row->make_list != nullptr &&
                         (id != gen2::kRetainedBlock || major == kRetainedVersion);
    presence.add(id, present ? "1" : "0", 2);
  };
  for (int32_t id = 2010; id >= 2003; --id) bit(id);
  for (int32_t id = 2018; id >= 2011; --id) bit(id);
  for (int32_t id : {2024, 2023, 2022, 2021, 2867, 2868, 2869, 2870, 2871, 2872, 2873, 2874, 2020, 2019, 2026, 2025})
    bit(id);
  codeplug.presence.set_record(presence);

  FieldList addresses;
  addresses.add(2834, std::to_string(gen2::AddressTable::kLength), 2);
  for (int32_t id = 2835; id <= 2866; ++id) addresses.add(id, "0", 2);
  codeplug.addresses.set_record(addresses);
}

void put(gen2::R9RecordBlock& block, int32_t id, size_t value) {
  FieldList record = block.get_record();
  record.set_text(id, std::to_string(value));
  block.set_record(record);
}

// The image as a write lays it out: the header, the present blocks in the write order (the radio
// forms of 2017 and 2018 taken from the host forms), the presence and the address table, the
// header then packed again with the length and the tables' addresses. The codeplug's own
// pack_image puts block 2867 in only from the copy a write read from the destination radio;
// a radio leaving the factory has its own, packed here from the primary handler.
std::vector<uint8_t> assemble(R9Codeplug& codeplug) {
  std::vector<uint8_t> image(gen2::CodeplugHeader::kLength, 0);
  auto append = [&](const std::vector<uint8_t>& bytes) { image.insert(image.end(), bytes.begin(), bytes.end()); };
  auto address = [&] { return gen2::kCodeplugAddress + image.size(); };
  gen2::R9ListBlock* retained = &codeplug.list(gen2::kRetainedBlock);
  for (int32_t id : gen2::r9_write_order()) {
    if (!codeplug.presence.present(id)) continue;
    gen2::R9Slot& slot = codeplug.slot(id);
    if (slot.radio_form) slot.radio_form->record() = slot.handler->get_record();
    put(codeplug.addresses, slot.row->address_field, address());
    append(slot.pack(retained));
  }
  put(codeplug.header, 2047, address());
  append(codeplug.presence.pack());
  put(codeplug.header, 2048, address());
  append(codeplug.addresses.pack());
  put(codeplug.header, 2046, image.size());
  const std::vector<uint8_t> header = codeplug.header.pack();
  std::copy(header.begin(), header.end(), image.begin());
  return image;
}

}  // namespace

SimulatedRadio make_gen2_radio(const Gen2FactoryOptions& options) {
  check_options(options);
  const std::string major = options.version.substr(0, 2);
  const std::string model = padded_model(options.model);

  SimulatedRadio radio;
  radio.generation = 2;
  radio.identity = {.uuid = kR9Uuid,
                    .codeplug_version = options.version,
                    .software_version = kSoftwareVersion,
                    .serial_number = options.serial,
                    .model_number = model,
                    .low_battery = false,
                    .max_transfer = kMaxTransfer};
  try {
    R9Codeplug codeplug;
    codeplug.set_codeplug_version(major);
    codeplug.set_target_version(major);
    const uint16_t major_number = static_cast<uint16_t>(std::stoi(major));
    codeplug.set_version_pair(static_cast<uint16_t>(major_number | major_number << 8));
    fill_directory(codeplug, major);
    fill_radio_info(codeplug, options, model);
    fill_channels(codeplug, options.channels);
    fill_profiles(codeplug);
    fill_retained_and_scan(codeplug);
    fill_raw(codeplug, 2004, 2071, 16);
    fill_raw(codeplug, 2005, 2229, 16);
    fill_raw(codeplug, 2022, 2694, 16);
    fill_raw(codeplug, 2024, 2696, 16);
    fill_raw(codeplug, 2026, 2832, 32);
    // No option board fitted: the board file's empty payload.
    const uint8_t no_board[] = {0, 0, 0};
    static_cast<gen2::OptionBoardData&>(codeplug.list(gen2::OptionBoardData::kBlockId)).import(no_board, sizeof no_board);

    const std::vector<uint8_t> image = assemble(codeplug);
    if (image.size() > gen2::kMaxCodeplugLength)
      throw std::logic_error("factory radio: the codeplug does not fit below address 0x4000");
    radio.write(gen2::kCodeplugAddress, image);
  } catch (const ErrorCode& e) {
    throw std::runtime_error("factory radio: the codeplug cannot be built (error " + std::to_string(e.code) + ")");
  }
  return radio;
}

}  // namespace cps::sim
