#include "codeplug_object.h"

#include "blocks.h"
#include "variant_records.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <optional>

namespace cpsctl {

namespace {

// The kind of record a block usually holds, which settles the kind of one with no entries.
Kind kind_hint(int32_t id) {
  for (const ServedBlock& s : gen1_blocks())
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
  auto try_set = [&](BYTE index, std::optional<BYTE> member, const Row& row) {
    Variant field;
    encode_field(row, field.get());
    const HRESULT result = member ? object->SetSubFieldAt(block.id, index, *member, *field)
                                  : object->SetFieldAt(block.id, index, *field);
    return result == hr;
  };
  auto found = [&](const std::string& where, const Row& row) { return where + ", " + field_detail(object, row); };
  if (const auto* record = std::get_if<EntryRecord>(&block.record)) {
    for (size_t i = 0; i < record->entries.size() && i < 256; ++i)
      for (const Row& row : record->entries[i])
        if (try_set(static_cast<BYTE>(i), std::nullopt, row))
          return found(", entry " + std::to_string(i), row);
  } else if (const auto* lists = std::get_if<ListRecord>(&block.record)) {
    for (size_t i = 0; i < lists->lists.size() && i < 256; ++i) {
      for (const Row& row : lists->lists[i].header)
        if (try_set(static_cast<BYTE>(i), std::nullopt, row))
          return found(", list " + std::to_string(i), row);
      const auto& members = lists->lists[i].entries;
      for (size_t m = 0; m < members.size() && m < 256; ++m)
        for (const Row& row : members[m])
          if (try_set(static_cast<BYTE>(i), static_cast<BYTE>(m), row))
            return found(", list " + std::to_string(i) + ", member " + std::to_string(m), row);
    }
  }
  return {};
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

}  // namespace

Block read_block(const Component& object, int32_t id) {
  Variant data;
  object.check(object->GetBlockData(id, data.get()), "block " + std::to_string(id));
  return decoded(id, *data);
}

Codeplug snapshot(const Component& object) {
  if (object.generation() != 1)
    throw Failure{E_NOTIMPL, "", "the second generation's codeplug cannot be saved yet"};
  Codeplug codeplug{object.generation(), {}};
  for (const ServedBlock& served : gen1_blocks()) {
    Variant data;
    const HRESULT hr = object->GetBlockData(served.id, data.get());
    if (hr == kBlockNotSupported) continue;  // a block this object does not have
    object.check(hr, "block " + std::to_string(served.id));
    codeplug.blocks.push_back(decoded(served.id, *data));
  }
  return codeplug;
}

std::string field_detail(const Component& object, const Row& row) {
  std::string text = "field " + std::to_string(row.id) + " = " + nlohmann::json(row.text).dump();
  double minimum = 0, maximum = 0, step = 0;
  if (object->GetRangeInfo(row.id, &minimum, &maximum, &step) == S_OK)
    text += "; valid range " + number_text(minimum) + " to " + number_text(maximum) + ", step " + number_text(step);
  return text;
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
