// The first generation's block registry against the service object's method and preparation
// tables written out by hand, and against what the handlers it makes say of themselves.
#include "gen1/block_table.h"

#include "engine/field_layout.h"
#include "gen1/codeplug/codeplug.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>

namespace cps {
namespace {

using namespace method;

// Which methods take each ID, and what SetBlockData gives its handler first.
TEST(Gen1BlockTable, MethodsAndPreparationByBlockId) {
  const std::map<int32_t, uint16_t> methods = {
      {1, G | S}, {2, kRecord}, {3, kRecord}, {4, kRecord}, {5, kRecord}, {6, kAll}, {8, kRecord},
      {9, kRecord | Q | M}, {10, kRecord | Q | M}, {11, kList}, {658, kList}, {12, kAll}, {13, kAll},
      {468, kAll}, {15, kRecord}, {16, kRecord}, {17, G | S | F | Q | m}, {19, kRecord}, {20, kRecord},
      {22, kRecord}, {23, kList}, {24, kList}, {25, kList}, {26, kList}, {29, kList}, {30, kRecord},
      {32, kList}, {33, kList}, {34, kMembers}, {35, kMembers}, {36, kMembers}, {741, kMembers},
      {37, kList | m}, {742, kList | m}, {38, kList}, {39, kList}, {40, kRecord}, {41, kList},
      {466, kList}, {42, kList}, {467, kList}, {43, kList}, {657, kList}, {453, G | S | F}, {454, G | S},
      {759, kList}, {760, kList}, {761, kList}, {762, kList}};
  const std::map<Prep, std::set<int32_t>> prepared = {
      {Prep::MobileAndVersion, {5, 6, 8, 9, 10, 12, 13, 468, 32, 33, 38, 39, 41, 466}},
      {Prep::Mobile, {3, 11, 658, 15, 16, 17, 20, 22, 23, 24, 25, 26, 29, 30, 34, 35, 36, 37, 741, 742, 40,
                      42, 467, 43, 657, 759, 760, 761, 762}},
      {Prep::Version, {2, 453, 454}},
      {Prep::None, {1, 4, 19}}};
  std::set<int32_t> served;
  for (const Gen1Block& row : gen1_blocks())
    for (const Gen1Region& region : row.regions)
      if (region.methods != 0) {
        served.insert(region.id);
        EXPECT_EQ(region.methods, methods.count(region.id) ? methods.at(region.id) : 0) << region.id;
        EXPECT_TRUE(prepared.at(row.prep).count(region.id)) << region.id;
      }
  EXPECT_EQ(served.size(), methods.size());
  for (int32_t id : {0, 7, 14, 21, 44, 53, 455, 763, -1}) {
    const Gen1Block* row = gen1_block(id);
    EXPECT_TRUE(row == nullptr || row->region(id)->methods == 0) << id;
  }
}

// Every handler the container makes serves its row's IDs with the row's record kind; names are
// short snake_case words, one per row.
TEST(Gen1BlockTable, HandlersAndNames) {
  Codeplug codeplug;
  std::set<std::string> names;
  for (const Gen1Block& row : gen1_blocks()) {
    const std::string name = row.name;
    EXPECT_TRUE(names.insert(name).second) << name;
    for (char c : name) EXPECT_TRUE(std::islower(static_cast<unsigned char>(c)) || std::isdigit(c) || c == '_') << name;
    if (row.holder != Holder::Container) continue;
    for (const Gen1Region& region : row.regions) {
      if (region.id == 0) continue;
      const BlockHandler* handler = codeplug.handler(region.id);
      EXPECT_EQ(handler != nullptr, row.make != nullptr) << region.id;
      if (handler) {
        EXPECT_EQ(handler->kind(), row.kind) << region.id;
      }
    }
  }
}

}  // namespace
}  // namespace cps
