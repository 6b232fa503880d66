#include "gen1/block_table.h"

#include "gen1/blocks/accessory_pins.h"
#include "gen1/blocks/alarm_settings.h"
#include "gen1/blocks/alert_settings.h"
#include "gen1/blocks/availability_flags.h"
#include "gen1/blocks/buttons.h"
#include "gen1/blocks/call_references.h"
#include "gen1/blocks/channel_groups.h"
#include "gen1/blocks/channel_list.h"
#include "gen1/blocks/dialling_digits.h"
#include "gen1/blocks/dtmf_calls.h"
#include "gen1/blocks/dtmf_systems.h"
#include "gen1/blocks/duotone_calls.h"
#include "gen1/blocks/duotone_systems.h"
#include "gen1/blocks/fsd_calls.h"
#include "gen1/blocks/fsd_systems.h"
#include "gen1/blocks/messages.h"
#include "gen1/blocks/numeric_settings.h"
#include "gen1/blocks/option_board.h"
#include "gen1/blocks/option_switches.h"
#include "gen1/blocks/personality.h"
#include "gen1/blocks/phone_systems.h"
#include "gen1/blocks/programming_record.h"
#include "gen1/blocks/radio_options.h"
#include "gen1/blocks/radio_settings.h"
#include "gen1/blocks/scan_lists.h"
#include "gen1/blocks/sdt_systems.h"
#include "gen1/blocks/selcall_systems.h"
#include "gen1/blocks/slot_17_block.h"
#include "gen1/blocks/trunking.h"
#include "gen1/blocks/trunking_groups.h"
#include "gen1/codeplug/address_table.h"

#include <algorithm>
#include <iterator>

namespace cps {

namespace {

using namespace method;

// Blocks 1 to 3, the container's slots in order, then the IDs only blocks 453 and 454 know. A
// row without a make is a block whose handler is not built yet: a codeplug that enables it
// cannot be unpacked or packed, and its methods answer 110.
constexpr Gen1Block kBlocks[] = {
    {.name = "codeplug",
     .regions = {{{.id = 1, .methods = G | S}}},
     .kind = RecordKind::Fields, .holder = Holder::Image},
    {.name = "radio_information",
     .regions = {{{.id = 2, .methods = kRecord, .flag_byte = 2, .flag_bit = 0x02, .flag_rank = 2, .table_offset = 4}}},
     .prep = Prep::Version, .holder = Holder::Info, .radio_source = true},
    {.name = "radio_identity",
     .regions = {{{.id = 3, .methods = kRecord, .flag_byte = 2, .flag_bit = 0x01, .flag_rank = 1, .table_offset = 2}}},
     .prep = Prep::Mobile, .holder = Holder::Identity, .sets_market_class = true, .radio_source = true},
    {.name = "availability_flags",
     .regions = {{{.id = 453, .methods = G | S | F}}},
     .kind = RecordKind::Fields, .prep = Prep::Version, .make = &make_handler<AvailabilityFlags>, .slot = 1,
     .radio_source = true},
    {.name = "address_table",
     .regions = {{{.id = 454, .methods = G | S}}},
     .kind = RecordKind::Fields, .prep = Prep::Version, .make = &make_handler<AddressTable>, .slot = 3},
    {.name = "programming_record",
     .regions = {{{.id = 4, .methods = kRecord, .order = 1, .flag_byte = 3, .flag_bit = 0x01, .flag_rank = 7, .table_offset = 18}}},
     .make = &make_handler<ProgrammingRecord>, .slot = 4, .unpack_mobile = false},
    {.name = "radio_settings",
     .regions = {{{.id = 5, .methods = kRecord, .order = 2, .flag_byte = 3, .flag_bit = 0x02, .flag_rank = 8, .table_offset = 20}}},
     .prep = Prep::MobileAndVersion, .make = &make_handler<RadioSettings>, .slot = 5, .radio_source = true},
    {.name = "radio_options",
     .regions = {{{.id = 8, .methods = kRecord, .order = 3, .flag_byte = 3, .flag_bit = 0x10, .flag_rank = 11, .table_offset = 26}}},
     .prep = Prep::MobileAndVersion, .make = &make_handler<RadioOptions>, .slot = 6},
    {.name = "accessory_pins",
     .regions = {{{.id = 19, .methods = kRecord, .order = 5, .flag_byte = 4, .flag_bit = 0x80, .flag_rank = 21, .table_offset = 48}}},
     .make = &make_handler<AccessoryPins>, .slot = 7, .unpack_mobile = false, .portable_only = true},
    {.name = "buttons",
     .regions = {{{.id = 15, .methods = kRecord, .order = 4, .flag_byte = 4, .flag_bit = 0x08, .flag_rank = 17, .table_offset = 40}}},
     .prep = Prep::Mobile, .make = &make_handler<Buttons>, .slot = 8},
    {.name = "alert_settings",
     .regions = {{{.id = 40, .methods = kRecord, .order = 6, .flag_byte = 8, .flag_bit = 0x04, .flag_rank = 44, .table_offset = 102}}},
     .prep = Prep::Mobile, .make = &make_handler<AlertSettings>, .slot = 9},
    {.name = "fsd_systems",
     .regions = {{{.id = 41, .methods = kList, .order = 7, .flag_byte = 8, .flag_bit = 0x08, .flag_rank = 45, .table_offset = 104},
                 {.id = 466, .methods = kList, .order = 8, .flag_byte = 5, .flag_bit = 0x10, .flag_rank = 26, .table_offset = 58}}},
     .prep = Prep::MobileAndVersion, .make = &make_handler<FsdSystems>, .slot = 10, .partners = {32, 2, 453, 38, 3, 24, 41},
     .capability = {1, 41, 60},
     .unpack_minor = true},
    {.name = "duotone_systems",
     .regions = {{{.id = 42, .methods = kList, .order = 9, .flag_byte = 8, .flag_bit = 0x10, .flag_rank = 46, .table_offset = 106},
                 {.id = 467, .methods = kList, .order = 10, .flag_byte = 5, .flag_bit = 0x20, .flag_rank = 27, .table_offset = 60}}},
     .prep = Prep::Mobile, .make = &make_handler<DuotoneSystems>, .slot = 11, .partners = {453, 38, 25, 3, 2},
     .capability = {2, 42, 59}},
    {.name = "channel_list",
     .regions = {{{.id = 38, .methods = kList, .order = 11, .flag_byte = 8, .flag_bit = 0x01, .flag_rank = 42, .table_offset = 98},
                 {.id = 39, .methods = kList, .order = 12, .flag_byte = 8, .flag_bit = 0x02, .flag_rank = 43, .table_offset = 100}}},
     .prep = Prep::MobileAndVersion, .make = &make_handler<ChannelList>, .slot = 12, .partners = {453, 6, 12, 25, 3, 2, 5, 40, 26, 32, 8, 24}, .version_on_add = true},
    {.name = "channel_groups",
     .regions = {{{.id = 6, .methods = kAll, .order = 13, .flag_byte = 3, .flag_bit = 0x04, .flag_rank = 9, .table_offset = 22}}},
     .kind = RecordKind::Lists, .prep = Prep::MobileAndVersion, .make = &make_handler<ChannelGroups>, .slot = 13,
     .member_partners = {8}},
    {.name = "scan_lists",
     .regions = {{{.id = 12, .methods = kAll, .order = 16, .flag_byte = 4, .flag_bit = 0x01, .flag_rank = 15, .table_offset = 34},
                 {.id = 13, .methods = kAll, .order = 14, .flag_byte = 4, .flag_bit = 0x02, .flag_rank = 16, .table_offset = 36},
                 {.id = 468, .methods = kAll, .order = 15, .flag_byte = 5, .flag_bit = 0x08, .flag_rank = 25, .table_offset = 56}}},
     .kind = RecordKind::Lists, .prep = Prep::MobileAndVersion, .make = &make_handler<ScanLists>, .slot = 14,
     .partners = {38, 3, 2, 32, 12}},
    {.name = "option_switches",
     .regions = {{{.id = 16, .methods = kRecord, .order = 17, .flag_byte = 4, .flag_bit = 0x10, .flag_rank = 18, .table_offset = 42}}},
     .prep = Prep::Mobile, .make = &make_handler<OptionSwitches>, .slot = 15},
    {.name = "option_board",
     .regions = {{{.id = 17, .methods = G | S | F | Q | m, .order = 18, .flag_byte = 4, .flag_bit = 0x20, .flag_rank = 19, .table_offset = 44}}},
     .kind = RecordKind::Lists, .prep = Prep::Mobile, .make = &make_handler<OptionBoard>, .slot = 16},
    {.name = "slot_17_block",
     .regions = {{{.id = 20, .methods = kRecord, .order = 19, .flag_byte = 5, .flag_bit = 0x01, .flag_rank = 22, .table_offset = 50}}},
     .prep = Prep::Mobile, .make = &make_handler<Slot17Block>, .slot = 17},
    {.name = "numeric_settings",
     .regions = {{{.id = 22, .methods = kRecord, .order = 20, .flag_byte = 5, .flag_bit = 0x04, .flag_rank = 24, .table_offset = 54}}},
     .prep = Prep::Mobile, .make = &make_handler<NumericSettings>, .slot = 18},
    {.name = "dtmf_systems",
     .regions = {{{.id = 43, .methods = kList, .order = 21, .flag_byte = 8, .flag_bit = 0x20, .flag_rank = 47, .table_offset = 108},
                 {.id = 657, .methods = kList, .order = 22, .flag_byte = 5, .flag_bit = 0x40, .flag_rank = 49, .table_offset = 62}}},
     .prep = Prep::Mobile, .make = &make_handler<DtmfSystems>, .slot = 19, .partners = {453, 38, 26, 3, 2},
     .capability = {3, 43, 58}},
    {.name = "alarm_settings",
     .regions = {{{.id = 30, .methods = kRecord, .order = 23, .flag_byte = 6, .flag_bit = 0x80, .flag_rank = 35, .table_offset = 80}}},
     .prep = Prep::Mobile, .make = &make_handler<AlarmSettings>, .slot = 20},
    {.name = "messages",
     .regions = {{{.id = 29, .methods = kList, .order = 24, .flag_byte = 6, .flag_bit = 0x40, .flag_rank = 34, .table_offset = 78}}},
     .prep = Prep::Mobile, .make = &make_handler<MessageList>, .slot = 21},
    {.name = "dialling_digits",
     .regions = {{{.id = 9, .methods = kRecord | Q | M, .order = 25, .flag_byte = 3, .flag_bit = 0x20, .flag_rank = 12, .table_offset = 28},
                 {.id = 10, .methods = kRecord | Q | M, .order = 26, .flag_byte = 3, .flag_bit = 0x40, .flag_rank = 13, .table_offset = 30}}},
     .prep = Prep::MobileAndVersion, .make = &make_handler<DiallingDigits>, .slot = 22},
    {.name = "phone_systems",
     .regions = {{{.id = 11, .methods = kList, .order = 27, .flag_byte = 3, .flag_bit = 0x80, .flag_rank = 14, .table_offset = 32},
                 {.id = 658, .methods = kList, .order = 28, .flag_byte = 5, .flag_bit = 0x80, .flag_rank = 50, .table_offset = 64}}},
     .prep = Prep::Mobile, .make = &make_handler<PhoneSystems>, .slot = 23, .partners = {453, 38, 3, 2, 32}},
    {.name = "call_references",
     .regions = {{{.id = 23, .methods = kList, .order = 32, .flag_byte = 6, .flag_bit = 0x01, .flag_rank = 28, .table_offset = 66}}},
     .prep = Prep::Mobile, .make = &make_handler<CallReferences>, .slot = 24},
    {.name = "fsd_calls",
     .regions = {{{.id = 24, .methods = kList, .order = 29, .flag_byte = 6, .flag_bit = 0x02, .flag_rank = 29, .table_offset = 68}}},
     .prep = Prep::Mobile, .make = &make_handler<FsdCalls>, .slot = 25, .partners = {453, 23}, .capability = {4, 24, 60, true},
     .unpack_minor = true},
    {.name = "duotone_calls",
     .regions = {{{.id = 25, .methods = kList, .order = 30, .flag_byte = 6, .flag_bit = 0x04, .flag_rank = 30, .table_offset = 70}}},
     .prep = Prep::Mobile, .make = &make_handler<DuotoneCalls>, .slot = 26, .partners = {453, 23}},
    {.name = "dtmf_calls",
     .regions = {{{.id = 26, .methods = kList, .order = 31, .flag_byte = 6, .flag_bit = 0x08, .flag_rank = 31, .table_offset = 72}}},
     .prep = Prep::Mobile, .make = &make_handler<DtmfCalls>, .slot = 27, .partners = {453, 23}},
    {.name = "personalities",
     .regions = {{{.id = 37, .methods = kList | m, .order = 33, .flag_byte = 7, .flag_bit = 0x40, .flag_rank = 41, .table_offset = 94},
                 {.id = 742, .methods = kList | m, .order = 34, .flag_byte = 7, .flag_bit = 0x80, .flag_rank = 51, .table_offset = 96},
                 {.id = 36, .methods = kMembers, .order = 35, .flag_byte = 7, .flag_bit = 0x20, .flag_rank = 40, .table_offset = 92},
                 {.id = 741, .methods = kMembers, .order = 36, .flag_byte = 7, .flag_bit = 0x01, .flag_rank = 52, .table_offset = 82}}},
     .kind = RecordKind::Lists, .prep = Prep::Mobile, .make = &make_handler<Personalities>, .slot = 28, .partners = {32, 453, 6, 12, 2, 3, 38, 5, 11, 40, 8, 24}, .capability = {5, 37, 61}},
    {.name = "trunking_systems",
     .regions = {{{.id = 32, .methods = kList, .order = 37, .flag_byte = 7, .flag_bit = 0x02, .flag_rank = 36, .table_offset = 84},
                 {.id = 33, .methods = kList, .order = 38, .flag_byte = 7, .flag_bit = 0x04, .flag_rank = 37, .table_offset = 86}}},
     .prep = Prep::MobileAndVersion, .make = &make_handler<TrunkingSystems>, .slot = 29, .partners = {453, 6, 12, 2, 3, 38, 5, 11, 40, 8, 24}, .capability = {5, 37, 61}},
    {.name = "slot_30_block",
     .regions = {{{.id = 34, .methods = kMembers, .order = 39, .flag_byte = 7, .flag_bit = 0x08, .flag_rank = 38, .table_offset = 88},
                 {.id = 35, .methods = kMembers, .order = 40, .flag_byte = 7, .flag_bit = 0x10, .flag_rank = 39, .table_offset = 90}}},
     .kind = RecordKind::Lists, .prep = Prep::Mobile, .make = &make_handler<TrunkingGroups>, .slot = 30, .partners = {36, 3, 2, 34}, .capability = {5, 37, 61}},
    {.name = "selcall_systems",
     .regions = {{{.id = 759, .methods = kList, .order = 41, .flag_byte = 9, .flag_bit = 0x01, .flag_rank = 5, .table_offset = 114, .long_form = true},
                 {.id = 760, .methods = kList, .order = 42, .flag_byte = 9, .flag_bit = 0x02, .flag_rank = 6, .table_offset = 116, .long_form = true}}},
     .prep = Prep::Mobile, .make = &make_handler<SelCallSystems>, .slot = 31, .partners = {32, 2, 453, 38, 3, 5, 759}, .capability = {6, 759, 55}},
    {.name = "sdt_systems",
     .regions = {{{.id = 761, .methods = kList, .order = 43, .flag_byte = 9, .flag_bit = 0x04, .flag_rank = 3, .table_offset = 118, .long_form = true},
                 {.id = 762, .methods = kList, .order = 44, .flag_byte = 9, .flag_bit = 0x08, .flag_rank = 4, .table_offset = 120, .long_form = true}}},
     .prep = Prep::Mobile, .make = &make_handler<SdtSystems>, .slot = 32, .partners = {32, 2, 453, 38, 3, 761}, .capability = {7, 761, 56}},
    {.name = "unused_7",
     .regions = {{{.id = 7, .flag_byte = 3, .flag_bit = 0x08, .flag_rank = 10, .table_offset = 24}}},
     .holder = Holder::None},
    {.name = "unused_18",
     .regions = {{{.id = 18, .flag_byte = 4, .flag_bit = 0x40, .flag_rank = 20, .table_offset = 46}}},
     .holder = Holder::None},
    {.name = "unused_21",
     .regions = {{{.id = 21, .flag_byte = 5, .flag_bit = 0x02, .flag_rank = 23, .table_offset = 52}}},
     .holder = Holder::None},
    {.name = "unused_27",
     .regions = {{{.id = 27, .flag_byte = 6, .flag_bit = 0x10, .flag_rank = 32, .table_offset = 74}}},
     .holder = Holder::None},
    {.name = "unused_28",
     .regions = {{{.id = 28, .flag_byte = 6, .flag_bit = 0x20, .flag_rank = 33, .table_offset = 76}}},
     .holder = Holder::None},
    {.name = "unused_44",
     .regions = {{{.id = 44, .flag_byte = 8, .flag_bit = 0x40, .flag_rank = 48, .table_offset = 110}}},
     .holder = Holder::None},
    {.name = "unused_53",
     .regions = {{{.id = 53, .table_offset = 0}}},
     .holder = Holder::None},
};

// ---- Whole-table checks ---------------------------------------------------------------------

template <class Each>
constexpr void for_each_region(Each&& each) {
  for (const Gen1Block& block : kBlocks)
    for (const Gen1Region& region : block.regions)
      if (region.id != 0) each(block, region);
}

constexpr bool ids_unique() {
  bool ok = true;
  for_each_region([&](const Gen1Block&, const Gen1Region& a) {
    int seen = 0;
    for_each_region([&](const Gen1Block&, const Gen1Region& b) { seen += a.id == b.id; });
    ok = ok && seen == 1;
  });
  return ok;
}

// Slots 1 and 3..32 each held by exactly one container row (slot 2 holds the destination's
// flags, which no block ID reaches); every other row has none.
constexpr bool slots_complete() {
  for (int slot = 1; slot <= 32; ++slot) {
    int held = 0;
    for (const Gen1Block& block : kBlocks) held += block.holder == Holder::Container && block.slot == slot;
    if (held != (slot == 2 ? 0 : 1)) return false;
  }
  for (const Gen1Block& block : kBlocks)
    if ((block.holder == Holder::Container) != (block.slot != 0)) return false;
  return true;
}

// Each of the positions 1..count taken by exactly one region.
template <class Position>
constexpr bool positions_complete(int count, Position&& position) {
  for (int p = 1; p <= count; ++p) {
    int taken = 0;
    for_each_region([&](const Gen1Block&, const Gen1Region& r) { taken += position(r) == p; });
    if (taken != 1) return false;
  }
  int any = 0;
  for_each_region([&](const Gen1Block&, const Gen1Region& r) { any += position(r) != 0; });
  return any == count;
}

constexpr bool flags_and_addresses_distinct() {
  bool ok = true;
  for_each_region([&](const Gen1Block&, const Gen1Region& a) {
    for_each_region([&](const Gen1Block&, const Gen1Region& b) {
      if (a.id == b.id) return;
      if (a.flag_byte != 0 && a.flag_byte == b.flag_byte && (a.flag_bit & b.flag_bit) != 0) ok = false;
      if (a.table_offset != Gen1Region::kNoEntry && a.table_offset == b.table_offset) ok = false;
    });
    if ((a.flag_byte == 0) != (a.flag_rank == 0)) ok = false;
  });
  return ok;
}

// Blocks that answer methods have a handler somewhere; the IDs only the tables know answer none.
constexpr bool holders_consistent() {
  bool ok = true;
  for_each_region([&](const Gen1Block& block, const Gen1Region& r) {
    if ((block.holder == Holder::None) != (r.methods == 0)) ok = false;
    if (r.order != 0 && block.holder != Holder::Container) ok = false;
  });
  return ok;
}

constexpr int kOrdered = 44;    // regions the container unpacks and packs
constexpr int kFlagged = 52;    // flags of block 453's long form
constexpr int kCapabilities = 7;

static_assert(ids_unique());
static_assert(slots_complete());
static_assert(positions_complete(kOrdered, [](const Gen1Region& r) { return int{r.order}; }));
static_assert(positions_complete(kFlagged, [](const Gen1Region& r) { return int{r.flag_rank}; }));
static_assert(flags_and_addresses_distinct());
static_assert(holders_consistent());
static_assert([] {
  for (int rank = 1; rank <= kCapabilities; ++rank) {
    int leaders = 0;
    for (const Gen1Block& block : kBlocks)
      leaders += block.capability.rank == rank && block.region(block.capability.leader) != nullptr;
    if (leaders != 1) return false;
  }
  return true;
}());

constexpr auto kOrder = [] {
  std::array<int32_t, kOrdered> order{};
  for_each_region([&](const Gen1Block&, const Gen1Region& r) {
    if (r.order != 0) order[r.order - 1] = r.id;
  });
  return order;
}();

// Row index + 1 by block ID, for the lookups every method makes.
constexpr int32_t kHighestId = 762;
constexpr auto kRowOf = [] {
  std::array<uint8_t, kHighestId + 1> row_of{};
  for (size_t i = 0; i < std::size(kBlocks); ++i)
    for (const Gen1Region& region : kBlocks[i].regions)
      if (region.id > 0 && region.id <= kHighestId) row_of[static_cast<size_t>(region.id)] = static_cast<uint8_t>(i + 1);
  return row_of;
}();
static_assert([] {
  int indexed = 0, regions = 0;
  for (uint8_t row : kRowOf) indexed += row != 0;
  for_each_region([&](const Gen1Block&, const Gen1Region&) { ++regions; });
  return indexed == regions;
}(), "every block ID lies in 1..762");

}  // namespace

std::span<const Gen1Block> gen1_blocks() { return kBlocks; }

const Gen1Block* gen1_block(int32_t id) {
  if (id <= 0 || id > kHighestId) return nullptr;
  const uint8_t row = kRowOf[static_cast<size_t>(id)];
  return row ? &kBlocks[row - 1] : nullptr;
}

std::span<const int32_t> gen1_order() { return kOrder; }

}  // namespace cps
