#include "codeplug_object.h"

#include "block_text.h"
#include "blocks.h"
#include "variant_records.h"

#include "gen2/block_table.h"

#include <cstdio>

namespace cpsctl {

namespace {

// The kind of record a block usually holds, which settles the kind of one with no entries.
Kind kind_hint(int32_t id) {
  for (int generation : {1, 2})
    for (const ServedBlock& s : served_blocks(generation))
      if (s.id == id) return s.kind;
  return Kind::Block;
}

std::string number_text(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.10g", value);
  return text;
}

// Sets single values of a refused block one by one, to find the one the component refuses with
// the same HRESULT. "" when none can be singled out.
std::string locate_refused_value(Component& object, const Block& block, HRESULT hr) {
  if (hr == kFieldNotFound || hr == kBadIndex || hr == kBlockNotSupported) return {};
  // The value's place when the component refuses it alone with the same HRESULT, else "".
  auto refused = [&](size_t index, std::optional<int> member, const Row& row) -> std::string {
    const int i = static_cast<int>(index);
    if (set_field(object, block.id, i, member, row) != hr) return {};
    return index_text(block.kind(), i, member) + ", " + field_detail(object, row);
  };
  if (const auto* record = std::get_if<EntryRecord>(&block.record)) {
    for (size_t i = 0; i < record->entries.size() && i < 256; ++i)
      for (const Row& row : record->entries[i])
        if (std::string found = refused(i, std::nullopt, row); !found.empty()) return found;
  } else if (const auto* lists = std::get_if<ListRecord>(&block.record)) {
    for (size_t i = 0; i < lists->lists.size() && i < 256; ++i) {
      for (const Row& row : lists->lists[i].header)
        if (std::string found = refused(i, std::nullopt, row); !found.empty()) return found;
      const auto& members = lists->lists[i].entries;
      for (size_t m = 0; m < members.size() && m < 256; ++m)
        for (const Row& row : members[m])
          if (std::string found = refused(i, static_cast<int>(m), row); !found.empty()) return found;
    }
  }
  return {};
}

// Whether a second-generation presence table marks a block present: the directory blocks,
// which have no bit, always are; a data block when its field is there and not "0".
bool present(const Rows& presence, int32_t id) {
  const cps::gen2::R9Block* row = cps::gen2::r9_block(id);
  if (row == nullptr || row->presence_field == 0) return true;
  for (const Row& field : presence)
    if (field.id == row->presence_field) return field.text != "0";
  return false;
}

// Decodes what GetBlockData answered for a block, naming the block when it cannot.
Block decoded(int32_t id, const VARIANT& data) {
  try {
    return decode_block(id, data, kind_hint(id));
  } catch (Failure& f) {
    f.detail = "block " + std::to_string(id) + ": " + f.detail;
    throw;
  }
}

// A second-generation codeplug's presence table (block 2027). A block it marks present that
// has no handler cannot be saved: the component serves it to no method (110), it carries it
// only as the radio's bytes.
Rows gen2_presence(const Component& object) {
  const Block table = read_block(object, cps::gen2::kPresenceBlock);
  // A table never filled (no field) may read as an empty record: then nothing is present.
  const Rows* fields = std::get_if<Rows>(&table.record);
  const Rows rows = fields ? *fields : Rows{};
  for (const cps::gen2::R9Block& row : cps::gen2::r9_blocks())
    if (row.shape == cps::gen2::R9Shape::List && !row.make_list && present(rows, row.id))
      throw Failure{kBlockNotSupported, "",
                    "block " + std::to_string(row.id) + " (" + row.name +
                        ") is present in the codeplug, but the component has no handler for it: such a "
                        "codeplug cannot be saved to a codeplug file"};
  return rows;
}

}  // namespace

Block read_block(const Component& object, int32_t id) {
  Variant data;
  object.check(object->GetBlockData(id, data.get()), "block " + std::to_string(id));
  return decoded(id, *data);
}

void snapshot_each(const Component& object, const std::function<void(Block&&)>& take) {
  const std::optional<Rows> presence = object.generation() == 2 ? std::optional(gen2_presence(object)) : std::nullopt;
  for (const ServedBlock& served : served_blocks(object.generation())) {
    if (presence && !present(*presence, served.id)) continue;
    Variant data;
    const HRESULT hr = object->GetBlockData(served.id, data.get());
    if (hr == kBlockNotSupported) continue;  // a block this object does not have
    object.check(hr, "block " + std::to_string(served.id));
    take(decoded(served.id, *data));
  }
}

Codeplug snapshot(const Component& object) {
  Codeplug codeplug{object.generation(), {}};
  snapshot_each(object, [&](Block&& block) { codeplug.blocks.push_back(std::move(block)); });
  return codeplug;
}

std::string field_detail(const Component& object, const Row& row) {
  std::string text = "field " + std::to_string(row.id) + " = " + quoted(row.text);
  double minimum = 0, maximum = 0, step = 0;
  if (object->GetRangeInfo(row.id, &minimum, &maximum, &step) == S_OK)
    text += "; valid range " + number_text(minimum) + " to " + number_text(maximum) + ", step " + number_text(step);
  return text;
}

HRESULT set_field(Component& object, int32_t block, int index, std::optional<int> member, const Row& row) {
  Variant field;
  encode_field(row, field.get());
  const auto entry = static_cast<BYTE>(index);
  return member ? object->SetSubFieldAt(block, entry, static_cast<BYTE>(*member), *field)
                : object->SetFieldAt(block, entry, *field);
}

void load(Component& object, const Codeplug& codeplug, const std::string& source) {
  for (const Block& block : codeplug.blocks) {
    const std::string where = "codeplug '" + source + "', block " + std::to_string(block.id);
    Variant current;
    if (object->GetBlockData(block.id, current.get()) == S_OK) {
      try {
        if (decode_block(block.id, *current, block.kind()) == block) continue;
      } catch (const Failure&) {
      }
    }
    Variant data;
    try {
      encode_block(block, data.get());
    } catch (Failure& f) {
      f.detail = where + ": " + f.detail;
      throw;
    }
    const HRESULT hr = object->SetBlockData(block.id, data.get());
    if (FAILED(hr)) throw Failure{hr, object.message(hr), where + locate_refused_value(object, block, hr)};
  }
}

}  // namespace cpsctl
