#include "gen2/block_table.h"

#include "gen2/blocks/channel_profiles.h"
#include "gen2/blocks/channels.h"
#include "gen2/blocks/directory.h"
#include "gen2/blocks/option_board.h"
#include "gen2/blocks/radio_info.h"
#include "gen2/blocks/raw_blocks.h"
#include "gen2/blocks/retained_radio.h"
#include "gen2/blocks/scan_lists.h"

#include <algorithm>
#include <array>

namespace cps::gen2 {

namespace {

using namespace method;

constexpr uint16_t kDirectory = G | S | A;  // AddList answers S_OK and adds nothing
constexpr uint16_t kData = G | S | F | f | Q | A | D;
constexpr uint16_t kMovable = kData | M;

constexpr R9Block data(int32_t id, const char* name, uint16_t methods, uint8_t read, uint8_t write,
                       int32_t address) {
  return {.id = id, .name = name, .methods = methods, .read_order = read, .write_order = write,
          .presence_field = id, .address_field = address};
}

constexpr R9Block with(R9Block row, bool R9Block::*flag) {
  row.*flag = true;
  return row;
}

constexpr R9Block built(R9Block row, MakeR9List make) {
  row.make_list = make;
  return row;
}

void import_board(R9ListBlock& block, const uint8_t* payload, size_t length) {
  static_cast<OptionBoardData&>(block).import(payload, length);
}

constexpr R9Block importing(R9Block row) {
  row.import = &import_board;
  return row;
}

// A data block without a make (2006-2015, 2019-2021 and 2025) has no handler yet: the flows
// carry it as opaque bytes (a read keeps each present block's framed region, a write and a Copy
// between R9 objects put it back unchanged) and its block methods answer 110.
constexpr R9Block kBlocks[] = {
    {.id = kHeaderBlock, .name = "codeplug_header", .methods = kDirectory, .shape = R9Shape::Record,
     .make_record = &make_record<CodeplugHeader>},
    built(with(data(kInfoBlock, "radio_information", kData, 8, 1, 2835), &R9Block::sets_version), &make_list<RadioInfo>),
    built(data(2004, "data_2004", kData, 7, 2, 2836), &make_list<DataBlock2004>),
    built(data(2005, "data_2005", kData, 6, 3, 2837), &make_list<DataBlock2005>),
    data(2006, "alert_tones", kMovable, 5, 4, 2838),
    data(2007, "alias_identity_list_2007", kMovable, 4, 5, 2839),
    data(2008, "alias_identity_list_2008", kMovable, 3, 6, 2840),
    data(2009, "digit_ranges", kData, 2, 7, 2841),
    data(2010, "tone_sequence_systems", kMovable, 1, 8, 2842),
    data(2011, "sequence_timer_list", kMovable, 17, 9, 2843),
    data(2012, "telegrams", kMovable, 16, 10, 2844),
    data(2013, "acknowledge_dialling", kMovable, 15, 11, 2845),
    data(2014, "flag_timer_list", kMovable, 14, 12, 2846),
    data(2015, "timer_list", kMovable, 13, 13, 2847),
    built(data(kScanBlock, "scan_voting_lists", kMovable, 12, 14, 2848), &make_list<ScanLists>),
    built(with(data(2017, "channel_profiles", kMovable, 11, 15, 2849), &R9Block::radio_form), &make_list<ChannelProfiles>),
    built(with(data(2018, "channels", kMovable, 10, 16, 2850), &R9Block::radio_form), &make_list<Channels>),
    with(data(2019, "name_list", kMovable, 23, 17, 2851), &R9Block::add_marks_present),
    data(2020, "tone_tables", kMovable, 22, 18, 2852),
    data(2021, "functions", kData, 21, 20, 2855),
    built(data(2022, "data_2022", kData, 20, 21, 2856), &make_list<DataBlock2022>),
    importing(built(data(2023, "option_board_data", kData, 19, 22, 2857), &make_list<OptionBoardData>)),
    built(data(2024, "option_board_io", kData, 18, 23, 2858), &make_list<BoardIoBlock>),
    data(2025, "number_list", kData, 25, 24, 2859),
    built(data(2026, "radio_settings", kData, 24, 25, 2866), &make_list<RadioWideBlock>),
    {.id = kPresenceBlock, .name = "presence_table", .methods = kDirectory, .shape = R9Shape::Record,
     .make_record = &make_record<PresenceTable>},
    {.id = kAddressBlock, .name = "address_table", .methods = kDirectory, .shape = R9Shape::Record,
     .make_record = &make_record<AddressTable>},
    {.id = kImageBlock, .name = "codeplug_image", .methods = S, .shape = R9Shape::Image},
    built(data(kRetainedBlock, "retained_radio_block", G | S | F | f, 9, 19, 2853), &make_list<RetainedRadioBlock>),
};

// The scan block takes its companion data from 2867 on unpack and add, and reads it while
// packing, as the sequence and telegram blocks do; 2003 and 2867 are also read from the
// destination radio before a write.
constexpr auto kRows = [] {
  std::array<R9Block, std::size(kBlocks)> rows{};
  for (size_t i = 0; i < rows.size(); ++i) {
    rows[i] = kBlocks[i];
    const int32_t id = rows[i].id;
    rows[i].retained_on_read = id == kScanBlock;
    rows[i].retained_on_pack = id == 2011 || id == 2012 || id == kScanBlock;
    rows[i].destination_copy = id == kInfoBlock || id == kRetainedBlock;
  }
  return rows;
}();

template <uint8_t R9Block::*Position>
constexpr auto order_of() {
  std::array<int32_t, 25> order{};
  for (const R9Block& row : kRows)
    if (row.*Position != 0) order[row.*Position - 1] = row.id;
  return order;
}

constexpr auto kReadOrder = order_of<&R9Block::read_order>();
constexpr auto kWriteOrder = order_of<&R9Block::write_order>();

// Each order names every data block exactly once.
constexpr bool order_complete(const std::array<int32_t, 25>& order) {
  for (const R9Block& row : kRows) {
    if (row.shape != R9Shape::List) continue;
    if (std::count(order.begin(), order.end(), row.id) != 1) return false;
  }
  return std::count(order.begin(), order.end(), 0) == 0;
}
static_assert(order_complete(kReadOrder) && order_complete(kWriteOrder));

}  // namespace

std::span<const R9Block> r9_blocks() { return kRows; }

const R9Block* r9_block(int32_t id) {
  for (const R9Block& row : kRows)
    if (row.id == id) return &row;
  return nullptr;
}

std::span<const int32_t> r9_read_order() { return kReadOrder; }
std::span<const int32_t> r9_write_order() { return kWriteOrder; }

}  // namespace cps::gen2
