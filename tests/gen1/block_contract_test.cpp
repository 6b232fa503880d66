// The contract every first-generation block keeps, run from the block registry over every form
// the factory makes (version texts 01 to 07, market classes 0 to 2, mobile and portable):
//   - default content packs and unpacks to the same record;
//   - a block read from a radio packs back to the same bytes;
//   - SetBlockData of what GetBlockData gave is accepted and changes nothing;
//   - a refused SetBlockData leaves the block, and the packed codeplug, exactly as they were.
#include "gen1/block_table.h"

#include "gen1/block_directory.h"
#include "gen1/device/flows.h"
#include "engine/variant_codec.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"

#include <unistd.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <variant>

namespace cps {
namespace {

using Image = std::vector<uint8_t>;
using Record = std::variant<FieldList, BlockRecord, ListBlockRecord>;

// The regions of a row in the container's order (or its one region where the container does not
// order it).
std::vector<int32_t> regions_of(const Gen1Block& row) {
  std::vector<const Gen1Region*> regions;
  for (const Gen1Region& r : row.regions)
    if (r.id != 0) regions.push_back(&r);
  std::sort(regions.begin(), regions.end(), [](auto* a, auto* b) { return a->order < b->order; });
  std::vector<int32_t> ids;
  for (const Gen1Region* r : regions) ids.push_back(r->id);
  return ids;
}

Record record_of(const BlockHandler& h) {
  switch (h.kind()) {
    case RecordKind::Fields: return h.fields();
    case RecordKind::Lists: return h.lists();
    case RecordKind::Block: break;
  }
  return h.block();
}

// The record as its bytes can hold it: block 4's field 461, the radio's software version, is
// no part of the block's bytes.
Record in_bytes(const BlockHandler& h, int32_t id) {
  Record record = record_of(h);
  if (id == 4) std::get<BlockRecord>(record).entry(0).set_text(461, "");
  return record;
}

// Blocks whose default content is "nothing yet" rather than a record of its bytes: an option
// board that no radio, host or file has given data packs as the empty board.
constexpr int32_t kDefaultIsNothing[] = {17};

// A new channel carries 668/669 or 744/745 whatever the radio kind; a mobile's bytes hold neither.
Record default_in_bytes(const BlockHandler& h, int32_t id) {
  Record record = record_of(h);
  if (id != 38 || h.base.mobile == 0) return record;
  BlockRecord& channels = std::get<BlockRecord>(record);
  for (size_t i = 0; i < channels.entry_count(); ++i) {
    FieldList kept;
    for (size_t k = 0; k < channels.entry(i).count(); ++k) {
      const FieldValue& f = channels.entry(i).at(k);
      if (f.id != 668 && f.id != 669 && f.id != 744 && f.id != 745) kept.add(f);
    }
    channels.entry(i) = kept;
  }
  return record;
}

std::vector<Image> pack_all(BlockHandler& h, const std::vector<int32_t>& regions) {
  std::vector<Image> images;
  for (int32_t id : regions) images.push_back(h.pack(id));
  return images;
}

void unpack_all(BlockHandler& h, const std::vector<int32_t>& regions, const std::vector<Image>& images) {
  for (size_t i = 0; i < regions.size(); ++i) h.unpack(regions[i], images[i].data(), images[i].size());
}

// The same record without its first field (of the header, or of the first entry): every block
// refuses it.
Record without_a_field(Record record) {
  auto drop_first = [](FieldList& list) {
    FieldList rest;
    for (size_t i = 1; i < list.count(); ++i) rest.add(list.at(i));
    list = rest;
  };
  if (auto* fields = std::get_if<FieldList>(&record)) drop_first(*fields);
  if (auto* block = std::get_if<BlockRecord>(&record)) drop_first(block->header());
  if (auto* lists = std::get_if<ListBlockRecord>(&record)) drop_first(lists->header());
  return record;
}

HRESULT set(ICPServices& object, int32_t id, const Record& record) {
  ScopedVariant v;
  std::visit([&](const auto& r) {
    using T = std::decay_t<decltype(r)>;
    if constexpr (std::is_same_v<T, FieldList>) encode_field_list(r, v.get());
    if constexpr (std::is_same_v<T, BlockRecord>) encode_block_record(r, v.get());
    if constexpr (std::is_same_v<T, ListBlockRecord>) encode_list_block_record(r, v.get());
  }, record);
  return object.SetBlockData(id, v.get());
}

Image packed(CPServices& object) {
  Codeplug codeplug = object.codeplug();
  RadioInfo block2 = object.radio_info();
  return codeplug.pack_image(object.radio_identity(), block2, true);
}

class BlockContract : public testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(models_) << R"({"gen1": {"market_class_1": ["M1CLASS1"]}})";
    ::setenv("CPSERVICES_MODELS", models_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("CPSERVICES_MODELS");
    std::filesystem::remove(models_);
  }
  const std::filesystem::path models_ = std::filesystem::temp_directory_path() / ("cps-contract-models-" + std::to_string(::getpid()) + ".json");
};

TEST_F(BlockContract, EveryBlockInEveryForm) {
  for (const char* version : {"0120", "0210", "0320", "0420", "0510", "0620", "0720"})
    for (int market_class : {0, 1, 2})
      for (bool mobile : {false, true}) {
        SCOPED_TRACE(std::string(version) + " class " + std::to_string(market_class) + (mobile ? " mobile" : ""));
        sim::SimulatedRadio radio = sim::make_gen1_radio({.model = market_class ? "M1CLASS1" : "M1PORT00001",
                                                          .version = version, .mobile = mobile,
                                                          .market_class = market_class});
        CPServices object(nullptr);
        ASSERT_EQ(guarded([&] { return read_device(object.radio(), radio.as_unknown(), 0, nullptr); }), S_OK);
        const Image image = packed(object);
        Gen1Directory blocks(object.radio());

        for (const Gen1Block& row : gen1_blocks()) {
          if (row.holder == Holder::None || row.holder == Holder::Image) continue;
          const int32_t id = row.regions[0].id;
          BlockHandler* held = blocks.find(id);
          if (!held) continue;  // not built yet
          SCOPED_TRACE(row.name);
          const std::vector<int32_t> regions = regions_of(row);

          // Read from the radio: unpacked again, packs to the same bytes.
          std::unique_ptr<BlockHandler> copy = held->clone();
          const std::vector<Image> bytes = pack_all(*copy, regions);
          unpack_all(*copy, regions, bytes);
          EXPECT_EQ(pack_all(*copy, regions), bytes);
          EXPECT_TRUE(in_bytes(*copy, id) == in_bytes(*held, id));

          // Default content through its bytes and back.
          std::unique_ptr<BlockHandler> fresh = held->clone(), back = held->clone();
          fresh->build_default();
          back->build_default();
          unpack_all(*back, regions, pack_all(*fresh, regions));
          if (std::find(std::begin(kDefaultIsNothing), std::end(kDefaultIsNothing), id) == std::end(kDefaultIsNothing)) {
            EXPECT_TRUE(record_of(*back) == default_in_bytes(*fresh, id));
          }

          // Through the interface: what GetBlockData gives, SetBlockData takes without change;
          // a record it refuses changes nothing.
          const Record record = record_of(*held);
          EXPECT_EQ(set(object, id, record), S_OK);
          EXPECT_TRUE(record_of(*blocks.find(id)) == record);
          // A block stored only on a portable radio takes any record on a mobile one and keeps its own.
          const bool kept_anyway = row.portable_only && mobile;
          EXPECT_EQ(set(object, id, without_a_field(record)) == S_OK, kept_anyway);
          EXPECT_TRUE(record_of(*blocks.find(id)) == record);
        }
        EXPECT_EQ(packed(object), image);
      }
}

}  // namespace
}  // namespace cps
