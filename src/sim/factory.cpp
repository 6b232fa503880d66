// Factory radios: what a radio holds when it leaves the factory, built from the component's own
// blocks so that reading it back goes through exactly the code that reads a real radio.
//
//   0x282   block 3, the radio-identity block (read-only region, up to 0x2D8)
//   0x2D8   block 2, the radio-information block (read-only region, up to 0x300)
//   0x300   the codeplug image
#include "sim/simulated_radio.h"

#include "device/device_link.h"
#include "gen1/block_table.h"
#include "gen1/blocks/channel_groups.h"
#include "gen1/blocks/channel_list.h"
#include "gen1/blocks/personality.h"
#include "gen1/blocks/radio_identity.h"
#include "gen1/blocks/radio_info.h"
#include "gen1/blocks/scan_lists.h"
#include "gen1/codeplug/codeplug.h"
#include "platform/errors.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace cps::sim {

namespace {

constexpr uint16_t kIdentityAddress = 0x282;
constexpr uint16_t kInfoAddress = 0x2D8;

constexpr const char* kFamily1Uuid = "b2a70a04902f11d6bfa600c04f6b8c5d";
constexpr const char* kSoftwareVersion = "R01.02.03";
constexpr size_t kSerialWidth = 10;  // field 83
constexpr size_t kModelWidth = 16;   // field 84
constexpr const char* kFirstTrunkingVersion = "03";  // block 2 has field 743 from here on

struct BandRow {
  const char* band;
  const char* base;   // MHz, fields 90 and 91
  const char* upper;  // MHz, field 92
};
constexpr BandRow kBands[] = {
    {"VHF", "136.000000", "174.000000"},
    {"UHF", "403.000000", "470.000000"},
};

const BandRow& band_of(const std::string& band) {
  for (const BandRow& row : kBands)
    if (band == row.band) return row;
  throw std::invalid_argument("factory radio: band must be VHF or UHF, not '" + band + "'");
}

void check_options(const FactoryOptions& options) {
  const std::string& v = options.version;
  if (v.size() != 4 || v.find_first_not_of("0123456789") != std::string::npos || v > "0799")
    throw std::invalid_argument(
        "factory radio: the codeplug version must be four digits up to 0799, not '" + v + "'");
  if (options.serial.empty() || options.serial.size() > kSerialWidth)
    throw std::invalid_argument("factory radio: the serial number must have 1 to 10 characters");
  if (options.model.empty() || options.model.size() > kModelWidth)
    throw std::invalid_argument("factory radio: the model number must have 1 to 16 characters");
  band_of(options.band);
  if (options.market_class < 0 || options.market_class > 2)
    throw std::invalid_argument("factory radio: the market class must be 0, 1 or 2");
  if (options.channels < 1 || options.channels > kMaxFactoryChannels)
    throw std::invalid_argument("factory radio: the channel count must be 1 to 255, not " +
                                std::to_string(options.channels));
}

// Channel i of the factory channel list: simplex, 10 MHz above the band base plus 506.25 kHz
// per channel (the 49th channel starts again at 10 MHz, so that every channel stays inside the
// narrower VHF band), 12.5 kHz spacing, and the squelch types in turn.
void set_factory_channel(FieldList& channel, int i, double base_mhz) {
  static constexpr const char* kTones[] = {"67.0", "88.5", "103.5", "131.8", "151.4", "167.9"};
  static constexpr const char* kCodes[] = {"023", "114", "205", "411", "732"};
  constexpr int kFrequencySteps = 48;  // 10 + 47 x 0.50625 MHz stays below VHF's 38 MHz
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", base_mhz + 10.0 + (i % kFrequencySteps) * 0.50625);
  channel.set_text(455, text);
  channel.set_text(456, text);
  channel.set_text(386, "12.5");
  const char* type = i % 3 == 0 ? "CSQ" : i % 3 == 1 ? "TXQ" : "DXQ";
  const char* code = i % 3 == 0 ? "0" : i % 3 == 1 ? kTones[i % 6] : kCodes[i % 5];
  for (int32_t id : {396, 397}) channel.set_text(id, type);
  for (int32_t id : {391, 392}) channel.set_text(id, code);
  std::snprintf(text, sizeof text, "CH %02d", i + 1);
  channel.set_text(424, text);
}

// The channel list of a factory codeplug, built through the block's own rules.
void fill_channels(Codeplug& codeplug, double base_mhz, int count) {
  BlockHandler& channels = *codeplug.handler(ChannelList::kChannelImage);
  while (channels.block().entry_count() < static_cast<size_t>(count)) channels.add_list();
  BlockRecord record = channels.block();
  for (int i = 0; i < count; ++i) set_factory_channel(record.entry(static_cast<size_t>(i)), i, base_mhz);
  channels.set_block(record);
}

// Entry 0 of a single-record block with some texts replaced (attributes kept), set as a whole so
// that fields checked against each other (band limits, radio kind) change together.
// The factory scan list: the first channels (up to four), then the selected channel.
void fill_scan_list(Codeplug& codeplug, int channels) {
  BlockHandler& scan = *codeplug.handler(ScanLists::kListImage);
  ListBlockRecord record = scan.lists();
  BlockRecord& list = record.list(0);
  const FieldList selected = list.entry(0);
  list.clear_entries();
  for (int i = 0; i < std::min(channels, 4); ++i) {
    FieldList member = selected;
    member.set_text(443, "Conventional");
    member.set_text(446, std::to_string(i));
    list.add_entry(member);
  }
  list.add_entry(selected);
  scan.set_lists(record);
}

// The factory channel group: the first channels, as many as a group may hold.
void fill_channel_group(Codeplug& codeplug, int channels) {
  BlockHandler& groups = *codeplug.handler(ChannelGroups::kBlockId);
  const int members = std::min(channels, codeplug.radio().group_members);
  ListBlockRecord record = groups.lists();
  BlockRecord& group = record.list(0);
  const FieldList first = group.entry(0);
  group.clear_entries();
  for (int i = 0; i < members; ++i) {
    FieldList member = first;
    member.set_text(ChannelGroups::kMemberIndex, std::to_string(i));
    group.add_entry(member);
  }
  group.header().set_text(ChannelGroups::kMemberCount, std::to_string(members));
  groups.set_lists(record);
}

// Calls `add` until the block refuses with 117 (its maximum); any other refusal is a fault.
template <typename Add>
void add_until_full(Add add) {
  for (;;) {
    try {
      add();
    } catch (const ErrorCode& e) {
      if (e.code != err::kAboveMaximum) throw;
      return;
    }
  }
}

bool takes(const Gen1Block& row, uint16_t methods) {
  for (const Gen1Region& region : row.regions)
    if (region.id != 0 && (region.methods & methods) == methods) return true;
  return false;
}

// The largest codeplug: every list the codeplug holds at its maximum, through the blocks' own
// AddList and AddListMember, the entries and members being each block's defaults. The channel
// list is already full (field 81's 255); the personalities have no maximum of their own and take
// what room the image has left, one entry's size kept free.
void fill_every_list(Codeplug& codeplug, const RadioIdentity& identity, RadioInfo& info) {
  codeplug.pack_image(identity, info, false);  // the blocks that follow block 2's capabilities
  for (const Gen1Block& row : gen1_blocks()) {
    const int32_t id = row.regions[0].id;
    if (!row.make || row.holder != Holder::Container || id == Personalities::kPersonalityImage ||
        !codeplug.enabled(id))
      continue;
    BlockHandler& block = *codeplug.handler(id);
    if (takes(row, method::A)) add_until_full([&] { block.add_list(); });
    if (takes(row, method::a))
      for (size_t list = 0; list < block.lists().list_count(); ++list)
        add_until_full([&] { block.add_member(list); });
  }
  if (!codeplug.enabled(Personalities::kPersonalityImage)) return;
  // (A pack replaces the handlers: each is looked up again after one.)
  const size_t before = codeplug.pack_image(identity, info, false).size();
  codeplug.handler(Personalities::kPersonalityImage)->add_list();
  const size_t entry = codeplug.pack_image(identity, info, false).size() - before;
  const size_t fit = (0xFFFF - Codeplug::kImageBase - before) / entry;  // the image ends at 0xFFFF
  BlockHandler& personalities = *codeplug.handler(Personalities::kPersonalityImage);
  size_t added = 1;
  add_until_full([&] {
    if (++added > fit) raise(err::kAboveMaximum);
    personalities.add_list();
  });
}

void set_texts(BlockHandler& block, std::initializer_list<std::pair<int32_t, std::string>> texts) {
  BlockRecord record = block.block();
  for (const auto& [id, text] : texts) record.entry(0).set_text(id, text);
  block.set_block(record);
}

void store(SimulatedRadio& radio, uint16_t address, uint16_t end, const std::vector<uint8_t>& bytes,
           const char* what) {
  if (bytes.size() > size_t{end} - address)
    throw std::logic_error(std::string("factory radio: ") + what + " does not fit its region");
  radio.write(address, bytes);
}

}  // namespace

SimulatedRadio make_gen1_radio(const FactoryOptions& options) {
  check_options(options);
  const BandRow& band = band_of(options.band);
  const std::string major = options.version.substr(0, 2), minor = options.version.substr(2, 2);
  const std::string version_text = major + "." + minor;  // as fields 85 and 103 show it
  const uint8_t mobile = options.mobile ? 1 : 0;
  const std::string model = padded_model(options.model);

  SimulatedRadio radio;
  radio.generation = 1;
  radio.identity = {.uuid = kFamily1Uuid,
                    .codeplug_version = options.version,
                    .software_version = kSoftwareVersion,
                    .serial_number = options.serial,
                    .model_number = model,
                    .low_battery = false,
                    .max_transfer = 0};

  try {
    RadioIdentity identity;
    identity.base.version = major;
    identity.base.minor = minor;
    identity.base.mobile = mobile;
    identity.build_default();
    set_texts(identity, {{83, options.serial},
                         {84, model},
                         {85, version_text},
                         {89, band.band},
                         {90, band.base},
                         {91, band.base},
                         {92, band.upper},
                         {99, options.market_class == 2 ? "Japan" : "North America"}});

    RadioInfo info;
    info.base.version = major;
    info.base.minor = minor;
    info.base.mobile = mobile;
    info.build_default();
    // FSD signalling, decode and encode: the codeplug carries FSD systems and the FSD call list;
    // DTMF systems (58) and Duotone II systems (59). Radios of market classes 1 and 2 hold the
    // Sel Call and SDT systems (blocks 759-762).
    const char* class_blocks = options.market_class != 0 ? "1" : "0";
    set_texts(info, {{60, "1"},
                     {71, "Decode and Encode"},
                     {58, "1"},
                     {59, "1"},
                     {66, options.mobile ? "Mobile" : "Portable"},
                     {667, options.mobile ? "Vesk" : "Tobin"},
                     {81, std::to_string(options.full ? kMaxFactoryChannels : options.channels)},
                     {55, class_blocks},
                     {56, class_blocks}});
    // From version text "03" on a radio takes LS trunking: block 2 allows it (61) and says how
    // many systems (743), so the codeplug carries personalities and trunking systems.
    if (major >= kFirstTrunkingVersion)
      set_texts(info, {{61, "1"}, {743, std::to_string(kFactoryTrunkingSystems)}});

    Codeplug codeplug;
    codeplug.base.version = major;
    codeplug.base.minor = minor;
    codeplug.base.mobile = mobile;
    codeplug.set_market_class(options.market_class);
    codeplug.set_radio(codeplug.radio_facts(identity, info));
    codeplug.reset();
    const int channels = options.full ? kMaxFactoryChannels : options.channels;
    fill_channels(codeplug, parse_number(band.base), channels);
    fill_scan_list(codeplug, channels);
    fill_channel_group(codeplug, channels);
    if (options.full) fill_every_list(codeplug, identity, info);
    codeplug.programming_record().set_field(0, {ProgrammingRecord::kVersionField, version_text, 0});
    codeplug.programming_record().set_field(0, {ProgrammingRecord::kSourceField, "Factory", 0});
    const std::vector<uint8_t> image = codeplug.pack_image(identity, info, false);

    // Block 2 after the image: packing brings its capability fields in line with the codeplug.
    store(radio, kIdentityAddress, kInfoAddress, identity.pack(3), "block 3");
    store(radio, kInfoAddress, Codeplug::kImageBase, info.pack(2), "block 2");
    radio.write(Codeplug::kImageBase, image);
  } catch (const ErrorCode& e) {
    throw std::runtime_error("factory radio: the codeplug cannot be built (error " +
                             std::to_string(e.code) + ")");
  }
  return radio;
}

}  // namespace cps::sim
