// Whole codeplugs through the interface, block by block as the registry lists them: every block ID
// answers the methods of its row and no others; a copy takes over every block; a codeplug read,
// written back and read again is the same; the largest codeplug packs, unpacks and writes.
#include "gen1/block_table.h"
#include "interface/cp_services.h"
#include "platform/ole_util.h"
#include "engine/block_base.h"
#include "engine/variant_codec.h"
#include "sim/simulated_radio.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <string>

namespace cps {
namespace {

constexpr HRESULT kUnsupported = static_cast<HRESULT>(0x8004096E);

struct Object {
  Object() {
    void* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(CLSID_CPServices, IID_IClassFactory, &factory), S_OK);
    void* object = nullptr;
    EXPECT_EQ(static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_ICPServices, &object), S_OK);
    static_cast<IClassFactory*>(factory)->Release();
    services = static_cast<ICPServices*>(object);
  }
  ~Object() { services->Release(); }
  ICPServices* operator->() const { return services; }
  ICPServices* services = nullptr;
};

// A VARIANT written out whole, nested arrays included, so that two records compare as text.
void flatten(const VARIANT& v, std::string& out) {
  if (v.vt == (VT_ARRAY | VT_VARIANT)) {
    const SAFEARRAY* array = v.parray;
    out += '[';
    size_t count = 1;
    for (USHORT d = 0; d < array->cDims; ++d) count *= array->rgsabound[d].cElements;
    for (size_t i = 0; i < count; ++i) flatten(static_cast<const VARIANT*>(array->pvData)[i], out), out += ',';
    out += ']';
  } else if (v.vt == VT_BSTR) {
    out += '"' + std::string(reinterpret_cast<const char*>(v.bstrVal), SysStringByteLen(v.bstrVal)) + '"';
  } else {
    switch (v.vt) {
      case VT_UI1: out += std::to_string(v.bVal); break;
      case VT_I2: out += std::to_string(v.iVal); break;
      case VT_I4: out += std::to_string(v.lVal); break;
      case VT_EMPTY: out += "empty"; break;
      default: ADD_FAILURE() << "a VARIANT of type " << v.vt << " in a record";
    }
  }
}

// Every block the object hands out, by ID, as text. Block 4's stamp of the last write (fields
// 105, 106 and 461) is left out with `without_stamp`.
std::map<LONG, std::string> blocks_of(const Object& object, bool without_stamp = false) {
  std::map<LONG, std::string> blocks;
  for (const Gen1Block& row : gen1_blocks())
    for (const Gen1Region& region : row.regions) {
      if (region.id == 0 || !(region.methods & method::G)) continue;
      ScopedVariant data;
      EXPECT_EQ(object->GetBlockData(region.id, data.get()), S_OK) << region.id;
      if (region.id == 4 && without_stamp) {
        BlockRecord record;
        decode_block_record(*data, record);
        for (int32_t id : {105, 106, 461}) record.entry(0).set_text(id, "");
        VariantClear(data.get());
        encode_block_record(record, data.get());
      }
      flatten(*data, blocks[region.id]);
    }
  return blocks;
}

struct Case {
  const char* version;
  int market_class;
  bool mobile;
  bool full;
};

// The component learns the factory's market-class-1 model from the model configuration; every
// object of these tests is made while it is set.
class WholeCodeplug : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    std::ofstream(models_) << R"({"gen1": {"market_class_1": [")" << sim::kMarketClass1Model << R"("]}})";
    setenv("CPSERVICES_MODELS", models_.c_str(), 1);
    const Case& c = GetParam();
    radio_ = sim::make_gen1_radio({.model = c.market_class ? sim::kMarketClass1Model : "M1PORT00001",
                                   .version = c.version, .mobile = c.mobile, .market_class = c.market_class,
                                   .full = c.full});
    read_ = std::make_unique<Object>();
    ASSERT_EQ((*read_)->ReadDevice(radio_.as_unknown(), 0, nullptr), S_OK);
  }
  void TearDown() override {
    read_.reset();
    unsetenv("CPSERVICES_MODELS");
    std::remove(models_.c_str());
  }
  std::string models_ = ::testing::TempDir() + "cps_whole_models_" + std::to_string(getpid()) + ".json";
  sim::SimulatedRadio radio_;
  std::unique_ptr<Object> read_;
};

TEST_P(WholeCodeplug, EveryBlockIdAnswersTheMethodsOfItsRowAndNoOthers) {
  for (const Gen1Block& row : gen1_blocks()) {
    const bool served = row.make || row.holder != Holder::Container;
    for (const Gen1Region& region : row.regions) {
      if (region.id == 0) continue;
      const LONG id = region.id;
      const uint16_t methods = served ? region.methods : 0;
      ScopedVariant got, data, field;
      encode_field({999999, "0", 0}, field.get());
      BYTE b = 0;
      const std::pair<uint16_t, HRESULT> calls[] = {
          {method::G, (*read_)->GetBlockData(id, got.get())},
          {method::S, (*read_)->SetBlockData(id, got.get())},
          {method::F, (*read_)->GetFieldAt(id, 999999, 0, data.get())},
          {method::f, (*read_)->SetFieldAt(id, 0, *field)},
          {method::Q, (*read_)->GetCurrentListQuantity(id, &b)},
          {method::A, (*read_)->AddList(id, &b)},
          {method::D, (*read_)->DeleteList(id, 250)},
          {method::M, (*read_)->MoveList(id, 250, 251)},
          {method::m, (*read_)->GetCurrentListMemberQuantity(id, 0, &b)},
          {method::a, (*read_)->AddListMember(id, 0, &b)},
          {method::d, (*read_)->DeleteListMember(id, 0, 250)},
          {method::g, (*read_)->GetSubFieldAt(id, 999999, 0, 0, data.get())},
          {method::s, (*read_)->SetSubFieldAt(id, 0, 0, *field)},
          {method::v, (*read_)->MoveListMember(id, 0, 250, 251)},
      };
      for (const auto& [bit, result] : calls)
        EXPECT_EQ(result == kUnsupported, !(methods & bit)) << "block " << id << " method bit " << bit;
    }
  }
}

TEST_P(WholeCodeplug, CopyTakesOverEveryBlock) {
  Object copy;
  ASSERT_EQ(copy->Copy(read_->services), S_OK);
  std::map<LONG, std::string> want = blocks_of(*read_), got = blocks_of(copy);
  // Block 1 (the container's header) is not copied, and a mobile radio takes no block 19.
  want.erase(1), got.erase(1);
  if (GetParam().mobile) want.erase(19), got.erase(19);
  for (const auto& [id, text] : want) EXPECT_EQ(got[id], text) << "block " << id;
}

TEST_P(WholeCodeplug, ReadWriteReadGivesTheSameBlocks) {
  const std::map<LONG, std::string> before = blocks_of(*read_, true);
  Object destination;
  ASSERT_EQ(destination->ReadDevice(radio_.as_unknown(), 0, nullptr), S_OK);
  ASSERT_EQ((*read_)->WriteDevice(radio_.as_unknown(), 1, nullptr, destination.services), S_OK);
  Object again;
  ASSERT_EQ(again->ReadDevice(radio_.as_unknown(), 0, nullptr), S_OK);
  const std::map<LONG, std::string> after = blocks_of(again, true);
  for (const auto& [id, text] : before) EXPECT_EQ(after.at(id), text) << "block " << id;
  EXPECT_EQ(blocks_of(*read_, true), after);  // the writer holds what the radio now holds
}

INSTANTIATE_TEST_SUITE_P(Forms, WholeCodeplug,
                         ::testing::Values(Case{"0720", 0, false, true}, Case{"0720", 1, true, true},
                                           Case{"0320", 2, false, true}, Case{"0120", 0, true, false},
                                           Case{"0510", 2, true, false}),
                         [](const auto& param) {
                           const Case& c = param.param;
                           return std::string("v") + c.version + "_class" + std::to_string(c.market_class) +
                                  (c.mobile ? "_mobile" : "_portable") + (c.full ? "_full" : "");
                         });

// The largest codeplug holds every list at its maximum and fits the image.
TEST(FullCodeplug, ListsAtTheirMaximum) {
  sim::SimulatedRadio radio = sim::make_gen1_radio({.full = true});
  Object object;
  ASSERT_EQ(object->ReadDevice(radio.as_unknown(), 0, nullptr), S_OK);
  const std::pair<LONG, BYTE> counts[] = {{38, 255}, {37, 255}, {32, 16}, {34, 16}, {6, 16}, {12, 16}, {23, 250},
                                          {24, 190}, {25, 30}, {26, 30}, {41, 4}, {42, 4}, {43, 4}, {11, 4}, {9, 26}};
  for (const auto& [id, count] : counts) {
    BYTE b = 0;
    EXPECT_EQ(object->GetCurrentListQuantity(id, &b), S_OK) << id;
    EXPECT_EQ(b, count) << "block " << id;
  }
  BYTE added = 0;
  EXPECT_NE(object->AddList(38, &added), S_OK);
  const size_t length = read_be(radio.memory.data() + 0x302, 2) + size_t{1};
  EXPECT_LE(0x300 + length - 1, 0xFFFFu);
  EXPECT_GT(length, 0xE000u);
}

}  // namespace
}  // namespace cps
