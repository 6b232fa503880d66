// R9CPServices' block dispatch and its special cases, GetUpdInfo, Copy and ImportOBD.
#include "gen2/device/r9_fixture.h"

#include "engine/variant_codec.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"

#include <fstream>
#include <tuple>

#include <unistd.h>

namespace cps::gen2::test {
namespace {

constexpr HRESULT kNotSupported = hr_of(0x8004096E);

BlockRecord get_block(R9CPServices& object, LONG id) {
  ScopedVariant v;
  EXPECT_EQ(object.GetBlockData(id, v.get()), S_OK) << id;
  BlockRecord record;
  decode_block_record(*v, record);
  return record;
}

HRESULT set_block(R9CPServices& object, LONG id, const BlockRecord& record) {
  ScopedVariant v;
  encode_block_record(record, v.get());
  return object.SetBlockData(id, v.get());
}

TEST_F(R9Test, BlockMethodsDispatchByTheRegistry) {
  Object object = make({2009, 2010, 2019, 2867});
  sim::SimulatedRadio radio = make_r9_radio(codeplug_image(
      {{2003, info_block()}, {2009, framed(1, {{7}})}, {2010, framed(1, {{1}, {2}, {3}})}, {2867, framed(1, {{9}})}}));
  ASSERT_EQ(read(*object, radio), S_OK);

  BYTE index = 77;
  EXPECT_EQ(object->AddList(2002, &index), S_OK);
  EXPECT_EQ(index, 77);  // not written
  EXPECT_EQ(object->AddList(2027, nullptr), S_OK);
  EXPECT_EQ(object->AddList(2867, &index), kNotSupported);
  EXPECT_EQ(object->GetCurrentListQuantity(2867, &index), kNotSupported);
  ScopedVariant field;
  EXPECT_EQ(object->GetFieldAt(2867, 2875, 0, field.get()), S_OK);
  EXPECT_EQ(decode_field(*field), (FieldValue{2875, "9", 1}));

  EXPECT_EQ(object->MoveList(2009, 0, 1), kNotSupported);
  EXPECT_EQ(object->MoveList(2010, 0, 2), S_OK);
  EXPECT_EQ(object->codeplug().list(2010).record().entry(2).text(2875), "1");
  BYTE count = 0;
  EXPECT_EQ(object->GetCurrentListQuantity(2010, &count), S_OK);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(object->DeleteList(2010, 0), S_OK);
  EXPECT_EQ(object->GetCurrentListQuantity(2010, &count), S_OK);
  EXPECT_EQ(count, 2);

  // Member and sub-field methods: 110 whatever the arguments.
  VARIANT empty;
  VariantInit(&empty);
  for (HRESULT hr : {object->GetCurrentListMemberQuantity(2010, 0, &count), object->AddListMember(2010, 0, &index),
                     object->DeleteListMember(2003, 0, 0), object->GetSubFieldAt(2010, 1, 0, 0, field.get()),
                     object->SetSubFieldAt(2010, 0, 0, empty), object->MoveListMember(2010, 0, 0, 1)})
    EXPECT_EQ(hr, kNotSupported);
  // Unknown IDs, the image for anything but a set, blocks not built yet.
  EXPECT_EQ(object->GetBlockData(2001, field.get()), kNotSupported);
  EXPECT_EQ(object->GetBlockData(2029, field.get()), kNotSupported);
  EXPECT_EQ(object->GetBlockData(2026, field.get()), kNotSupported);
  EXPECT_EQ(object->AddList(2005, &index), kNotSupported);

  // AddList(2019) marks the block present; nothing else touches the presence table.
  EXPECT_EQ(object->codeplug().presence.get_record().text(2019), "0");
  EXPECT_EQ(object->AddList(2019, &index), S_OK);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(object->codeplug().presence.get_record().text(2019), "1");
  EXPECT_EQ(object->DeleteList(2019, 0), S_OK);
  EXPECT_EQ(object->codeplug().presence.get_record().text(2019), "1");
}

TEST_F(R9Test, DirectoryAndListBlocksRoundTrip) {
  Object object = make();
  sim::SimulatedRadio radio = make_r9_radio(codeplug_image(usual_blocks()));
  ASSERT_EQ(read(*object, radio), S_OK);
  for (LONG id : {2002, 2027, 2028}) {
    ScopedVariant v;
    ASSERT_EQ(object->GetBlockData(id, v.get()), S_OK);
    FieldList fields;
    decode_field_list(*v, fields);
    EXPECT_EQ(fields, object->codeplug().directory(id).get_record()) << id;
    fields.set_text(fields.id_at(1), "1");
    VariantClear(v.get());
    encode_field_list(fields, v.get());
    ASSERT_EQ(object->SetBlockData(id, v.get()), S_OK);
    EXPECT_EQ(object->codeplug().directory(id).get_record(), fields) << id;
  }

  // SetBlockData(2003) hands its field 2051 to every block as the codeplug version.
  BlockRecord info = get_block(*object, 2003);
  info.entry(0).set_text(info::kMajor, "3");
  ASSERT_EQ(set_block(*object, 2003, info), S_OK);
  EXPECT_EQ(object->codeplug().list(2003).codeplug_version(), "3");
  EXPECT_EQ(object->codeplug().destination_info.handler->codeplug_version(), "");  // not a primary block
  // A record the block refuses changes nothing.
  BlockRecord two = info;
  two.add_entry(info.entry(0));
  two.header().set_text(2035, "2");
  EXPECT_EQ(set_block(*object, 2003, two), hresult_of(err::kInvalidData));
  EXPECT_EQ(get_block(*object, 2003), info);

  double range[3] = {};
  EXPECT_EQ(object->GetRangeInfo(2040, &range[0], &range[1], &range[2]), S_OK);
  EXPECT_EQ(std::make_tuple(range[0], range[1], range[2]), std::make_tuple(0.0, 15.0, 1.0));
  EXPECT_EQ(object->GetRangeInfo(9999, &range[0], &range[1], &range[2]), hresult_of(err::kFieldNotFound));
}

TEST_F(R9Test, UpdateInformation) {
  sim::SimulatedRadio radio = make_r9_radio(codeplug_image(usual_blocks()));
  radio.identity.codeplug_version = "04.20";
  Object object = make();
  ASSERT_EQ(read(*object, radio), S_OK);
  object->codeplug().info().set_text(info::kMajor, "3");

  auto ask = [&](sim::SimulatedRadio& r) {
    BYTE serial = 9, model = 9;
    ScopedVariant versions;
    const HRESULT hr = object->GetUpdInfo(r.as_unknown(), 7, &serial, &model, versions.get());
    std::vector<int> majors;
    if (hr == S_OK) {
      EXPECT_EQ(versions->vt, VT_ARRAY | VT_VARIANT);
      EXPECT_EQ(SafeArrayGetDim(versions->parray), 2u);
      for (LONG column : {0, 1}) {
        LONG at[2] = {0, column};
        ScopedVariant element;
        SafeArrayGetElement(versions->parray, at, element.get());
        EXPECT_EQ(element->vt, VT_UI1);
        majors.push_back(element->bVal);
      }
    }
    return std::make_tuple(hr, serial, model, majors);
  };
  EXPECT_EQ(ask(radio), std::make_tuple(S_OK, BYTE{1}, BYTE{1}, std::vector<int>{3, 4}));
  sim::SimulatedRadio other = make_r9_radio(codeplug_image(usual_blocks()), "200TAA0002");
  EXPECT_EQ(ask(other), std::make_tuple(S_OK, BYTE{0}, BYTE{1}, std::vector<int>{3, 4}));
  other.identity.model_number = kModel;  // without padding
  EXPECT_EQ(std::get<2>(ask(other)), 0);
  other.identity.codeplug_version = "05.00";
  EXPECT_EQ(std::get<0>(ask(other)), hresult_of(err::kVersionNotSupported));
  other.calls.clear();
  other.failures = {{sim::Call::IoControl, "QUERYRADIOSERIALNUMBER", 1, hr_of(0x8007001F)}};
  EXPECT_EQ(std::get<0>(ask(other)), hr_of(0x8007001F));
  BYTE b = 0;
  EXPECT_EQ(object->GetUpdInfo(radio.as_unknown(), 7, &b, nullptr, nullptr), E_POINTER);
}

// Copy takes the directory blocks, then every block the copied presence table marks present;
// blocks carried as bytes come along between R9 objects, so the copy writes the same image.
TEST_F(R9Test, CopyTakesTheWholeCodeplug) {
  const Bytes image = codeplug_image(usual_blocks());
  sim::SimulatedRadio radio = make_r9_radio(image);
  Object source = make();
  ASSERT_EQ(read(*source, radio), S_OK);

  Object copy = make();
  copy->radio().radio_type = 1;
  ASSERT_EQ(copy->Copy(source.get()), S_OK);
  for (LONG id : {2002, 2027, 2028})
    EXPECT_EQ(copy->codeplug().directory(id).get_record(), source->codeplug().directory(id).get_record());
  EXPECT_EQ(get_block(*copy, 2003), get_block(*source, 2003));
  for (int32_t id : {2010, 2867, 2026}) EXPECT_EQ(copy->codeplug().slot(id).opaque, source->codeplug().slot(id).opaque);

  std::vector<Block> theirs = usual_blocks();
  theirs[1].bytes = framed(3, {{9, 9, 9}, {9, 9, 9}});
  sim::SimulatedRadio target = make_r9_radio(codeplug_image(theirs));
  ASSERT_EQ(write(*copy, target), S_OK);
  EXPECT_EQ(target.read(643, image.size()), image);
  EXPECT_EQ(copy->Copy(nullptr), E_POINTER);
}

class R9ImportTest : public R9Test {
 protected:
  void TearDown() override {
    std::remove(file_.c_str());
    R9Test::TearDown();
  }
  HRESULT import(R9CPServices& object, size_t length) {
    std::ofstream(file_, std::ios::binary) << std::string(length, '\0');
    return import_path(object, file_);
  }
  static HRESULT import_path(R9CPServices& object, const std::string& path) {
    ScopedBstr name(bstr_from_narrow(path.c_str()));
    return object.ImportOBD(name.get());
  }
  std::string file_ = ::testing::TempDir() + "cps_r9_option_board_" + std::to_string(getpid()) + ".bin";
};

// The file's length is checked before the payload; the payload after the first 800 bytes
// becomes block 2023's entries.
TEST_F(R9ImportTest, FileLengthsAndPayload) {
  Object object = make();
  object->codeplug().install(2023, r9_block(2023)->make_list);
  EXPECT_EQ(import(*object, 802), hresult_of(err::kOptionBoardFile));
  EXPECT_EQ(import(*object, 1056), hresult_of(err::kOptionBoardFile));
  EXPECT_EQ(import(*object, 1055), hresult_of(err::kOptionBoardFile));  // 0 x 0 bytes, not 253
  EXPECT_EQ(import(*object, 803), S_OK);
  EXPECT_EQ(object->codeplug().list(2023).record().entry_count(), 3u);
  EXPECT_EQ(import_path(*object, file_ + ".missing"), hresult_of(err::kFileOpen));
}

}  // namespace
}  // namespace cps::gen2::test
