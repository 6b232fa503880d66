// CPServices as a host drives it: the block table, the record kinds, the preparation of
// handlers, the market class, and that a failing call never changes a block.
#include "interface/cp_services.h"

#include "platform/ole_util.h"
#include "engine/variant_codec.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <variant>

namespace cps {
namespace {

constexpr HRESULT hr(uint32_t value) { return static_cast<HRESULT>(value); }
constexpr HRESULT kUnsupported = hr(0x8004096E);

ICPServices* create() {
  void* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(CLSID_CPServices, IID_IClassFactory, &factory), S_OK);
  void* object = nullptr;
  HRESULT result = static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_ICPServices, &object);
  static_cast<IClassFactory*>(factory)->Release();
  return SUCCEEDED(result) ? static_cast<ICPServices*>(object) : nullptr;
}

using Record = std::variant<FieldList, BlockRecord, ListBlockRecord>;

// The block's record as GetBlockData hands it out, decoded by the block's kind.
Record get(ICPServices* services, LONG block_id) {
  ScopedVariant v;
  EXPECT_EQ(services->GetBlockData(block_id, v.get()), S_OK) << block_id;
  if (block_id == 1 || block_id == 453 || block_id == 454) {
    FieldList fields;
    decode_field_list(*v, fields);
    return fields;
  }
  BlockRecord record;
  decode_block_record(*v, record);
  return record;
}

HRESULT set(ICPServices* services, LONG block_id, const Record& record) {
  ScopedVariant v;
  std::visit(
      [&](const auto& r) {
        using T = std::decay_t<decltype(r)>;
        if constexpr (std::is_same_v<T, FieldList>) encode_field_list(r, v.get());
        if constexpr (std::is_same_v<T, BlockRecord>) encode_block_record(r, v.get());
        if constexpr (std::is_same_v<T, ListBlockRecord>) encode_list_block_record(r, v.get());
      },
      record);
  return services->SetBlockData(block_id, v.get());
}

HRESULT set_field(ICPServices* services, LONG block_id, BYTE index, FieldValue field) {
  ScopedVariant v;
  encode_field(field, v.get());
  return services->SetFieldAt(block_id, index, *v);
}

std::string field_text(ICPServices* services, LONG block_id, LONG field_id, BYTE index = 0) {
  ScopedVariant v;
  EXPECT_EQ(services->GetFieldAt(block_id, field_id, index, v.get()), S_OK) << block_id << "/" << field_id;
  return decode_field(*v).value;
}

class CPServicesTest : public ::testing::Test {
 protected:
  void SetUp() override { services_ = create(); }
  void TearDown() override { services_->Release(); }
  ICPServices* services_ = nullptr;
};

constexpr LONG kServed[] = {1, 2, 3, 4, 38, 39, 453, 454};

TEST_F(CPServicesTest, MethodsOutsideABlocksRowAnswer110) {
  ScopedVariant v;
  BYTE b = 0;
  EXPECT_EQ(services_->GetFieldAt(1, 45, 0, v.get()), kUnsupported);
  EXPECT_EQ(services_->AddList(4, &b), kUnsupported);
  EXPECT_EQ(services_->GetSubFieldAt(2, 66, 0, 0, v.get()), kUnsupported);
  for (LONG id : {7, 455, 2001, -1}) EXPECT_EQ(services_->GetBlockData(id, v.get()), kUnsupported) << id;
  EXPECT_EQ(set_field(services_, 453, 0, {4, "1", 2}), kUnsupported);
  EXPECT_EQ(services_->GetFieldAt(453, 4, 9, v.get()), S_OK);  // a field list ignores the index
}

TEST_F(CPServicesTest, FieldsOfSingleEntryBlocks) {
  EXPECT_EQ(set_field(services_, 4, 0, {104, "Depot Tool", 0}), S_OK);
  EXPECT_EQ(field_text(services_, 4, 104), "Depot Tool");
  ScopedVariant v;
  EXPECT_EQ(services_->GetFieldAt(4, 104, 1, v.get()), hr(0x80040969));  // entry 1 does not exist
  EXPECT_EQ(set_field(services_, 4, 0, {47, "9", 2}), hr(0x80040968));  // a header field
  // Blocks 2 and 3 answer 135 only for what a radio handed over; a refused set keeps its own code.
  EXPECT_EQ(set_field(services_, 2, 0, {999, "0", 0}), hr(0x80040968));
  EXPECT_EQ(set_field(services_, 3, 0, {99, "Mars", 2}), hr(0x8004096C));

  // Block 453 gives back exactly the list it was given: a "2", and 759 beyond the short form.
  FieldList flags = std::get<FieldList>(get(services_, 453));
  flags.set_text(4, "2");
  flags.add(759, "1", 2);
  EXPECT_EQ(set(services_, 453, flags), S_OK);
  EXPECT_EQ(std::get<FieldList>(get(services_, 453)), flags);
}

// Blocks 38/39 are one channel list, limited by block 2's field 81 as soon as it is set;
// 36/37/741/742 one personality block, members through 36/741, personalities through 37/742.
TEST_F(CPServicesTest, ChannelsAndPersonalities) {
  EXPECT_EQ(set_field(services_, 39, 0, {455, "148.5125", 1}), S_OK);
  EXPECT_EQ(field_text(services_, 38, 455), "148.5125");
  BYTE count = 0, index = 0;
  for (int i = 1; i < 16; ++i) EXPECT_EQ(services_->AddList(38, &index), S_OK);
  EXPECT_EQ(index, 15);
  EXPECT_EQ(services_->AddList(39, &index), hr(0x80040975));  // field 81 of block 2 is 16
  EXPECT_EQ(set_field(services_, 2, 0, {81, "17", 0}), S_OK);
  EXPECT_EQ(services_->AddList(39, &index), S_OK);
  EXPECT_EQ(services_->MoveList(38, 0, 16), S_OK);
  EXPECT_EQ(field_text(services_, 38, 455, 16), "148.5125");
  EXPECT_EQ(services_->GetCurrentListQuantity(39, &count), S_OK);
  EXPECT_EQ(count, 17);

  EXPECT_EQ(services_->GetCurrentListMemberQuantity(741, 0, &count), S_OK);
  EXPECT_EQ(count, 20);
  ScopedVariant member;
  encode_field({688, "0", 2}, member.get());
  EXPECT_EQ(services_->SetSubFieldAt(36, 0, 2, *member), S_OK);
  ScopedVariant got;
  EXPECT_EQ(services_->GetSubFieldAt(741, 689, 0, 2, got.get()), S_OK);
  EXPECT_EQ(decode_field(*got).value, "0");
  EXPECT_EQ(set_field(services_, 742, 0, {671, "5", 1}), S_OK);
  EXPECT_EQ(field_text(services_, 37, 671), "5");
  EXPECT_EQ(set_field(services_, 36, 0, {671, "5", 1}), kUnsupported);
  EXPECT_EQ(services_->AddList(37, &index), S_OK);
  ScopedVariant lists;
  EXPECT_EQ(services_->GetBlockData(36, lists.get()), S_OK);
  ListBlockRecord record;
  decode_list_block_record(*lists, record);
  EXPECT_EQ(record.list_count(), 2u);
  EXPECT_EQ(services_->SetBlockData(742, lists.get()), S_OK);
  ScopedVariant again;
  EXPECT_EQ(services_->GetBlockData(37, again.get()), S_OK);
  ListBlockRecord back;
  decode_list_block_record(*again, back);
  EXPECT_EQ(back, record);
}

// A refused SetFieldAt, or SetBlockData of a record of the wrong shape, changes no block.
TEST_F(CPServicesTest, FailedCallsChangeNothing) {
  std::vector<Record> before;
  for (LONG id : kServed) before.push_back(get(services_, id));

  const std::pair<LONG, FieldValue> refused[] = {{2, {81, "0", 0}}, {3, {89, "Mars", 2}}, {4, {104, "Lab", 0}}};
  for (const auto& [id, bad] : refused) {
    BlockRecord block = std::get<BlockRecord>(get(services_, id));
    block.add_entry(block.entry(0));
    EXPECT_NE(set(services_, id, block), S_OK) << id;
    EXPECT_NE(set_field(services_, id, 0, bad), S_OK) << id;
    EXPECT_NE(set_field(services_, id, 1, block.entry(0).at(0)), S_OK) << id;
  }
  for (LONG id : kServed) {
    ScopedVariant garbage;
    garbage->vt = VT_I4;
    EXPECT_EQ(services_->SetBlockData(id, garbage.get()), hr(0x8004096B)) << id;
  }
  EXPECT_EQ(set(services_, 453, FieldList{}), hr(0x80040968));  // block 453 takes any value of a flag
  for (size_t i = 0; i < std::size(kServed); ++i) EXPECT_EQ(get(services_, kServed[i]), before[i]) << kServed[i];
}

TEST_F(CPServicesTest, SettingBlock3WorksOutTheMarketClass) {
  auto* object = static_cast<CPServices*>(services_);
  BlockRecord identity = std::get<BlockRecord>(get(services_, 3));
  identity.set_entry_field(0, {99, "Japan", 2});
  ASSERT_EQ(set(services_, 3, identity), S_OK);
  EXPECT_EQ(object->market_class(), 2);
  EXPECT_EQ(object->codeplug().programming_record().base.market_class(), 2);
  identity.set_entry_field(0, {99, "EMEA", 2});
  ASSERT_EQ(set(services_, 3, identity), S_OK);
  EXPECT_EQ(object->market_class(), 0);
}

class ModelConfigTest : public ::testing::Test {
 protected:
  void TearDown() override {
    unsetenv("CPSERVICES_MODELS");
    std::remove(path_.c_str());
  }
  void write(const std::string& text) {
    std::ofstream(path_) << text;
    setenv("CPSERVICES_MODELS", path_.c_str(), 1);
  }
  // A name of this process's own: test runs side by side must not replace each other's file.
  std::string path_ = ::testing::TempDir() + "cps_models_" + std::to_string(getpid()) + ".json";
};

TEST_F(ModelConfigTest, MarketClass1ModelsComeFromTheFile) {
  write(R"({"gen1": {"market_class_1": ["M1MODEL001"], "fixed_spacing": ["M1FIXED00001"]}})");
  ICPServices* services = create();
  ASSERT_NE(services, nullptr);
  auto* object = static_cast<CPServices*>(services);
  EXPECT_TRUE(object->models().is_fixed_spacing("M1FIXED00001   "));
  BlockRecord identity = std::get<BlockRecord>(get(services, 3));
  identity.set_entry_field(0, {84, "M1MODEL001      ", 0});  // trailing blanks are not part of it
  ASSERT_EQ(set(services, 3, identity), S_OK);
  EXPECT_EQ(object->market_class(), 1);
  services->Release();
}

TEST_F(ModelConfigTest, UnreadableConfigurationFailsCreation) {
  for (const char* text : {"{not json", R"({"gen1": {"market_class_1": [1]}})"}) {
    write(text);
    EXPECT_EQ(create(), nullptr) << text;
  }
  setenv("CPSERVICES_MODELS", "/nonexistent/models.json", 1);
  EXPECT_EQ(create(), nullptr);
  unsetenv("CPSERVICES_MODELS");
  ICPServices* services = create();
  ASSERT_NE(services, nullptr);
  EXPECT_TRUE(static_cast<CPServices*>(services)->models().market_class_1.empty());
  services->Release();
}

}  // namespace
}  // namespace cps
