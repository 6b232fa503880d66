// Helpers shared by the first-generation block tests: list images, a directory that records the
// reference passes a block asks for, and a whole trunking radio whose lists point at each other.
#pragma once

#include "gen1/block_directory.h"
#include "gen1/radio.h"
#include "support/error_code.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace cps::test {

// A list image: format byte, record size, count, the records (each followed by its own checksum
// where the list carries one), a spare byte, resealed.
inline Image list_image(uint8_t format, uint8_t size, const std::vector<Image>& records, bool record_sums = false) {
  Image image = {format, size, static_cast<uint8_t>(records.size())};
  for (const Image& r : records) {
    image.insert(image.end(), r.begin(), r.end());
    if (record_sums) image.push_back(checksum(r.data(), r.size()));
  }
  image.push_back(0);
  return resealed(image);
}

// The record with one byte changed.
inline Image with(Image record, size_t at, uint8_t value) {
  record[at] = value;
  return record;
}

// Whether two handlers hold the same record.
inline bool same_record(const BlockHandler& a, const BlockHandler& b) {
  switch (a.kind()) {
    case RecordKind::Fields: return a.fields() == b.fields();
    case RecordKind::Lists: return a.lists() == b.lists();
    case RecordKind::Block: break;
  }
  return a.block() == b.block();
}

// The code `change` fails with (0: none); a failure must leave the block exactly as it was.
inline int refused(BlockHandler& block, const std::function<void()>& change) {
  const std::unique_ptr<BlockHandler> before = block.clone();
  const int code = error_of(change);
  if (code != 0) {
    EXPECT_TRUE(same_record(*before, block)) << "a failure with " << code << " changed the block";
  }
  return code;
}

// No other blocks; the reference passes asked for are recorded.
struct Recorder final : BlockDirectory {
  BlockHandler* find(int32_t) override { return nullptr; }
  bool enabled(int32_t) override { return true; }
  void references_deleted(int32_t id, size_t index) override { deleted.emplace_back(id, index); }
  void references_moved(int32_t, size_t, size_t, size_t) override {}
  std::vector<std::pair<int32_t, size_t>> deleted;
};

// A portable 07.xx radio taking three trunking systems, every block of the trunking capability
// and `enabled` switched on.
inline Gen1Radio trunked_radio(std::initializer_list<int32_t> enabled = {}) {
  Gen1Radio radio({}, {});
  BlockRecord info = radio.block2.block();
  for (auto [id, text] : {std::pair(61, "1"), {66, "Portable"}, {667, "Tobin"}, {743, "3"}})
    info.entry(0).set_text(id, text);
  radio.block2.set_block(info);
  radio.codeplug.base.mobile = radio.mobile_flag();
  radio.codeplug.reset();
  for (int32_t id : {37, 742, 36, 741, 32, 33, 34, 35}) radio.codeplug.flags().set_enabled(id, true);
  for (int32_t id : enabled) radio.codeplug.flags().set_enabled(id, true);
  radio.refresh_facts();
  return radio;
}

// `fields` of every entry, "a/b " each.
inline std::string column(const BlockRecord& record, const std::vector<int32_t>& fields) {
  std::string out;
  for (size_t i = 0; i < record.entry_count(); ++i) {
    std::string entry;
    for (int32_t id : fields) entry += (entry.empty() ? "" : "/") + record.entry(i).text(id);
    out += entry + " ";
  }
  return out;
}

}  // namespace cps::test
