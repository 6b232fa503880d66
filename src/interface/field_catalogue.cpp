#include "interface/field_catalogue.h"

#include "gen1/block_table.h"
#include "gen1/blocks/radio_identity.h"
#include "gen1/blocks/radio_info.h"
#include "gen1/values/alias_table.h"
#include "gen1/values/lists_frame.h"
#include "gen1/values/range_table.h"
#include "gen2/block_table.h"
#include "gen2/values/list_frame.h"
#include "gen2/values/range_table.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <span>

namespace cps::catalogue {

namespace {

// Names of the framing fields, which the frames add to a record's header without a row. The
// other header fields a frame carries (49, 465, 683, ...) show by their ID.
struct FramingName {
  int32_t id;
  const char* name;
};
constexpr FramingName kGen1Framing[] = {
    {kFormatField, "format"},        {kRecordSizeField, "record_size"}, {kRecordCountField, "record_count"},
    {kListCountField, "list_count"}, {464, "alias_length"},             {52, "image_length"},
};
constexpr FramingName kGen2Framing[] = {
    {gen2::kBlockFlag, "block_flag"},   {gen2::kFlag2, "flag_2"}, {gen2::kFlag1, "flag_1"},
    {gen2::kFlag0, "flag_0"},           {gen2::kRecordSize, "record_size"},
    {gen2::kEntryCount, "entry_count"},
};

struct Generation {
  std::span<const RangeRow> ranges;
  std::span<const FramingName> framing;
};

std::optional<RangeRow> range_of(const Generation& gen, int32_t id) {
  for (const RangeRow& row : gen.ranges)
    if (static_cast<int32_t>(row.field_id) == id) return row;
  return std::nullopt;
}

void add_labels(const Choice* table, std::vector<std::string>& labels) {
  for (const Choice* c = table; c != nullptr && c->label != nullptr; ++c)
    if (std::find(labels.begin(), labels.end(), c->label) == labels.end()) labels.emplace_back(c->label);
}

bool ends_with(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

Check check_of(const FieldInfo& info, const layout::FieldDesc& row) {
  // An alias row checks its characters whatever else it has (field 424's range row holds the
  // character codes).
  if (row.custom != nullptr && row.custom->check == &alias_field_check) return Check::Characters;
  if (info.range) return Check::Range;
  if (row.codec == layout::Codec::Choice) return Check::Choices;
  if (row.codec == layout::Codec::Custom) return ends_with(info.name, "_frequency") ? Check::Band : Check::Custom;
  return Check::None;
}

// Adds the rows of one place, one field per ID: rows of one ID for different forms of the block
// (a choice table per market class) are one field whose labels are all of theirs.
void add_rows(const Generation& gen, layout::Layout rows, Place place, std::vector<FieldInfo>& out) {
  const size_t first = out.size();
  for (const layout::FieldDesc& row : rows) {
    auto same = std::find_if(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
                             [&](const FieldInfo& f) { return f.id == row.id; });
    if (same == out.end()) {
      FieldInfo info;
      info.id = row.id;
      info.named = row.name != nullptr;
      info.name = info.named ? row.name : unnamed(row.id);
      info.place = place;
      info.codec = row.codec;
      info.range = range_of(gen, row.id);
      info.attribute = row.attribute;
      info.default_text = row.dflt.text ? row.dflt.text : "";
      info.check = check_of(info, row);
      out.push_back(std::move(info));
      same = out.end() - 1;
    } else if (!same->named && row.name != nullptr) {
      same->named = true;
      same->name = row.name;
    }
    same->conditional = same->conditional || row.when != nullptr;
    add_labels(row.choices, same->choices);
    if (row.picked != nullptr)
      for (const Choice* table : row.picked->tables) add_labels(table, same->choices);
  }
}

void add_header(const Generation& gen, const FieldList& header, Place place, std::vector<FieldInfo>& out) {
  for (size_t i = 0; i < header.count(); ++i) {
    const int32_t id = header.id_at(i);
    if (std::any_of(out.begin(), out.end(), [&](const FieldInfo& f) { return f.id == id && f.place == place; }))
      continue;
    FieldInfo info;
    info.id = id;
    info.name = unnamed(id);
    for (const FramingName& framing : gen.framing)
      if (framing.id == id) {
        info.name = framing.name;
        info.named = true;
      }
    info.place = place;
    info.header = true;
    info.range = range_of(gen, id);
    info.check = info.range ? Check::Range : Check::None;
    info.attribute = header.attribute_at(i);
    info.default_text = header.text_at(i);
    out.push_back(std::move(info));
  }
}

std::vector<FieldInfo> fields_of(const Generation& gen, const BlockShape& shape, RecordKind kind) {
  std::vector<FieldInfo> fields;
  const Place header = kind == RecordKind::Fields ? Place::Field : Place::Header;
  add_header(gen, shape.header, header, fields);
  add_rows(gen, shape.fields, header, fields);
  add_rows(gen, shape.entries, kind == RecordKind::Lists ? Place::ListHeader : Place::Entry, fields);
  add_rows(gen, shape.members, Place::Member, fields);
  return fields;
}

// Blocks 2 and 3 live in the radio's own regions, outside the container's slots: the radio
// object makes them, so their registry rows name no maker.
std::unique_ptr<BlockHandler> gen1_handler(const Gen1Block& row) {
  switch (row.holder) {
    case Holder::Container: return row.make ? row.make() : nullptr;
    case Holder::Info: return std::make_unique<RadioInfo>();
    case Holder::Identity: return std::make_unique<RadioIdentity>();
    case Holder::Image:
    case Holder::None: break;
  }
  return nullptr;
}

std::vector<BlockInfo> gen1_catalogue() {
  const Generation gen{gen1_range_rows(), kGen1Framing};
  std::vector<BlockInfo> out;
  for (const Gen1Block& row : gen1_blocks()) {
    if (row.holder == Holder::None) continue;  // an ID only blocks 453 and 454 know
    BlockInfo block;
    for (const Gen1Region& region : row.regions)
      if (region.id != 0) block.ids.push_back(region.id);
    block.name = row.name;
    block.kind = row.kind;
    if (const std::unique_ptr<BlockHandler> handler = gen1_handler(row))
      block.fields = fields_of(gen, handler->describe(), row.kind);
    out.push_back(std::move(block));
  }
  return out;
}

std::vector<BlockInfo> gen2_catalogue() {
  const Generation gen{gen2::range_rows(), kGen2Framing};
  std::vector<BlockInfo> out;
  for (const gen2::R9Block& row : gen2::r9_blocks()) {
    BlockInfo block;
    block.ids = {row.id};
    block.name = row.name;
    block.kind = row.shape == gen2::R9Shape::Record ? RecordKind::Fields : RecordKind::Block;
    if (row.make_list) block.fields = fields_of(gen, row.make_list()->describe(), block.kind);
    else if (row.make_record) block.fields = fields_of(gen, row.make_record()->describe(), block.kind);
    out.push_back(std::move(block));
  }
  return out;
}

// "455" or "field_455" as an ID.
std::optional<int32_t> id_of(std::string_view text) {
  if (text.starts_with("field_")) text.remove_prefix(6);
  int32_t id = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return id;
}

}  // namespace

const std::vector<BlockInfo>& blocks(int generation) {
  static const std::vector<BlockInfo> gen1 = gen1_catalogue();
  static const std::vector<BlockInfo> gen2 = gen2_catalogue();
  static const std::vector<BlockInfo> none;
  return generation == 1 ? gen1 : generation == 2 ? gen2 : none;
}

const BlockInfo* find_block(int generation, int32_t id) {
  for (const BlockInfo& block : blocks(generation))
    if (std::find(block.ids.begin(), block.ids.end(), id) != block.ids.end()) return &block;
  return nullptr;
}

const FieldInfo* find_field(const BlockInfo& block, std::string_view id_or_name) {
  const std::optional<int32_t> id = id_of(id_or_name);
  for (const FieldInfo& field : block.fields)
    if (id ? field.id == *id : field.name == id_or_name) return &field;
  return nullptr;
}

const FieldInfo* find_field(const BlockInfo& block, std::string_view id_or_name, Place place) {
  const std::optional<int32_t> id = id_of(id_or_name);
  for (const FieldInfo& field : block.fields)
    if (field.place == place && (id ? field.id == *id : field.name == id_or_name)) return &field;
  return nullptr;
}

std::string unnamed(int32_t id) { return "field_" + std::to_string(id); }

const char* place_name(Place place) {
  switch (place) {
    case Place::Field: return "field";
    case Place::Header: return "header";
    case Place::Entry: return "entry";
    case Place::ListHeader: return "list header";
    case Place::Member: return "member";
  }
  return "";
}

const char* codec_name(layout::Codec codec) {
  using layout::Codec;
  switch (codec) {
    case Codec::Unsigned: return "unsigned";
    case Codec::Capped: return "capped";
    case Codec::Cut: return "cut";
    case Codec::Signed: return "signed";
    case Codec::Choice: return "choice";
    case Codec::Scaled: return "scaled";
    case Codec::Text: return "text";
    case Codec::Bcd: return "bcd";
    case Codec::Custom: return "custom";
    case Codec::Virtual: return "virtual";
  }
  return "";
}

}  // namespace cps::catalogue
