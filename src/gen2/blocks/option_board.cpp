#include "gen2/blocks/option_board.h"

#include "platform/errors.h"

#include <algorithm>
#include <new>

namespace cps::gen2 {

namespace {

constexpr layout::FieldDesc kRows[] = {raw_row(OptionBoardData::kBoardBytes, "board_bytes", false)};

constexpr RawShape kShape{.list = {.rows = kRows, .min_count = 0, .max_count = 255, .record_size = 1},
                          .raw_field = OptionBoardData::kBoardBytes,
                          .add = AddRule::Refuse,
                          .remove = DeleteRule::Nothing,
                          .checked = false};

constexpr size_t kPayloadMinimum = 3;
constexpr size_t kPayloadMaximum = 255;  // the framed count is one byte
constexpr uint8_t kMostLists = 63;       // byte 0 of a payload
constexpr uint8_t kImportFlags = 0x81;   // 2030 = 2, 2033 = 1

// What the file holds before the payload, and the file lengths that hold a payload.
constexpr size_t kFileSkipped = 800;
constexpr size_t kFileMinimum = kFileSkipped + kPayloadMinimum;
constexpr size_t kFileMaximum = 1055;

bool no_bytes(size_t record_size, size_t count) { return record_size * count == 0; }

}  // namespace

OptionBoardData::OptionBoardData() : RawList(kShape) {}

void OptionBoardData::unpack(const uint8_t* bytes, size_t length) {
  RawList::unpack(bytes, length);
  if (no_bytes(read_be(bytes + 1, 2), bytes[3])) {
    record_.clear_entries();
    FieldList entry;
    entry.add(kBoardBytes, "00", 1);
    record_.add_entry(std::move(entry));
  }
}

std::vector<uint8_t> OptionBoardData::pack() {
  Framing framing;
  std::vector<uint8_t> image = pack_framing(record_, framing);
  if (!no_bytes(framing.record_size, framing.count)) return RawList::pack();
  seal(image);
  return image;
}

void OptionBoardData::set_record(const BlockRecord& given) {
  const int64_t size = parse_decimal(given.header().text(kRecordSize));
  const int64_t count = parse_decimal(given.header().text(kEntryCount));
  if (size != 0 && count != 0) {
    RawList::set_record(given);
    return;
  }
  BlockRecord candidate;
  for (int32_t id : kFramingFields) {
    FieldValue field = given.get_header_field(id);
    check_framing_field(field, static_cast<size_t>(std::max<int64_t>(count, 0)));
    candidate.add_header_field(field);
  }
  for (size_t i = 0; i < given.entry_count(); ++i) candidate.add_entry(layout::take(kRows, given.entry(i), base));
  record_ = std::move(candidate);
}

void OptionBoardData::import(const uint8_t* payload, size_t length) {
  if (payload == nullptr || length < kPayloadMinimum || length > kPayloadMaximum) raise(err::kOptionBoardFile);
  const size_t lists = payload[0];
  const size_t members = payload[1];
  const bool empty_board = length == kPayloadMinimum && std::all_of(payload, payload + length, [](uint8_t b) { return b == 0; });
  if (lists > kMostLists || (length != lists * members + 2 && !empty_board)) raise(err::kOptionBoardFile);

  std::vector<uint8_t> image;
  try {
    image.assign(frame_length(1, length), 0);
  } catch (const std::bad_alloc&) {
    raise(err::kNoStorage);
  }
  image[0] = kImportFlags;
  write_be(1, image.data() + 1, 2);
  image[3] = static_cast<uint8_t>(length);
  std::copy(payload, payload + length, image.begin() + kFrameHeaderLength);
  seal(image);
  unpack(image.data(), image.size());
}

void import_option_board_file(OptionBoardData& block, const uint8_t* file, size_t length) {
  if (file == nullptr || length < kFileMinimum || length > kFileMaximum) raise(err::kOptionBoardFile);
  block.import(file + kFileSkipped, length - kFileSkipped);
}

}  // namespace cps::gen2
