// ReadDevice and SetBlockData(2029) of R9CPServices against a simulated second-generation radio.
#include "gen2/device/r9_fixture.h"

#include "platform/ole_util.h"
#include "support/error_code.h"

#include <tuple>

namespace cps::gen2::test {
namespace {

constexpr HRESULT kLinkDown = hr_of(0x8007001F);

// Everything a read may replace.
using State = std::tuple<FieldList, FieldList, FieldList, BlockRecord, Bytes, Bytes, Bytes, uint8_t>;
State state_of(R9CPServices& o) {
  R9Codeplug& c = o.codeplug();
  return {c.header.get_record(), c.presence.get_record(), c.addresses.get_record(), c.list(2003).get_record(),
          c.slot(2010).opaque, c.slot(2867).opaque, c.slot(2026).opaque, o.radio().radio_type};
}

TEST_F(R9Test, ReadFillsEveryPresentBlockAndCarriesUnbuiltOnesAsBytes) {
  const std::vector<Block> blocks = usual_blocks();
  sim::SimulatedRadio radio = make_r9_radio(codeplug_image(blocks));
  Object object = make();
  RecordingDialog dialog;
  ASSERT_EQ(read(*object, radio, &dialog), S_OK);
  EXPECT_EQ(dialog.log, "[0,11]/1.......");  // seven steps of eleven

  R9Codeplug& c = object->codeplug();
  const FieldList& info = c.info();
  EXPECT_EQ(info.text(info::kSerial), "31303054414130303031");
  EXPECT_EQ(info.text(info::kModel), kModel);
  EXPECT_EQ(info.text(info::kKept), "4660");
  EXPECT_EQ(info.get(info::kSoftware), (FieldValue{info::kSoftware, "R09.00.03", 0}));
  for (const Block& b : blocks) {
    if (b.id != 2003) {
      EXPECT_EQ(c.slot(b.id).opaque, b.bytes) << b.id;
    }
  }
  EXPECT_TRUE(c.slot(2004).opaque.empty());  // absent
  EXPECT_EQ(c.header.get_record().text(2040), "5");
  EXPECT_EQ(c.presence.get_record().text(2874), "1");  // a block this object does not serve

  // Radio type from the model table, codeplug version from the radio, in every block.
  EXPECT_EQ(object->radio().radio_type, 1);
  EXPECT_EQ(c.list(2003).radio_type(), 1);
  EXPECT_EQ(c.list(2003).codeplug_version(), "04");
  EXPECT_EQ(c.destination_retained.handler, nullptr);

  // The calls: one read of the header, one of the whole codeplug.
  std::vector<std::pair<uint16_t, uint16_t>> reads;
  for (const sim::CallRecord& call : radio.calls)
    if (call.call == sim::Call::Read) reads.emplace_back(call.address, call.length);
  const Bytes image = codeplug_image(blocks);
  EXPECT_EQ(reads, (std::vector<std::pair<uint16_t, uint16_t>>{{643, 8}, {643, static_cast<uint16_t>(image.size())}}));

  // Without a dialog the read is the same.
  Object plain = make();
  ASSERT_EQ(read(*plain, radio), S_OK);
  EXPECT_EQ(state_of(*plain), state_of(*object));
}

TEST_F(R9Test, ReadChecksTheRadio) {
  struct Case {
    const char* what;
    std::function<void(sim::SimulatedRadio&)> change;
    HRESULT hr;
  } cases[] = {
      {"another family's radio", [](auto& r) { r.identity.uuid = "b6467cc6902f11d6bfa600c04f6b8c5d"; }, hr_of(0x80040970)},
      {"no known family", [](auto& r) { r.identity.uuid = "nothing"; }, hr_of(0x80040970)},
      {"model not in the table", [](auto& r) { r.identity.model_number = "R9UNKNOWN"; }, hr_of(0x80040970)},
      {"model of another family", [](auto& r) { r.identity.model_number = "R9OTHER03"; }, hr_of(0x80040970)},
      {"version 05.00", [](auto& r) { r.identity.codeplug_version = "05.00"; }, hr_of(0x80040985)},
      {"version of 4 characters", [](auto& r) { r.identity.codeplug_version = "0401"; }, hr_of(0x80040984)},
      {"version with a comma", [](auto& r) { r.identity.codeplug_version = "04,01"; }, hr_of(0x80040984)},
      {"version 04.99", [](auto& r) { r.identity.codeplug_version = "04.99"; }, S_OK},
      {"a radio of type 2", [](auto& r) { r.identity.model_number = "R9MOBILE02      "; }, S_OK},
  };
  for (const Case& c : cases) {
    sim::SimulatedRadio radio = make_r9_radio(codeplug_image(usual_blocks()));
    c.change(radio);
    Object object = make();
    EXPECT_EQ(read(*object, radio), c.hr) << c.what;
  }
  sim::SimulatedRadio other = make_r9_radio(codeplug_image(usual_blocks()));
  other.identity.uuid = "nothing";
  Object object = make();
  object->radio().radio_type = 2;
  read(*object, other);
  EXPECT_EQ(object->radio().radio_type, 0);
}

// Each device call failing in turn: the device's status comes back, and the object keeps what it
// held in every block the read had not reached.
TEST_F(R9Test, ReadStopsAtEachFailingCallWithTheBlocksAsFarAsItGot) {
  const Bytes old_image = codeplug_image({{2003, info_block("OLD0000001")}, {2010, framed(1, {{9}})}});
  const Bytes new_image = codeplug_image(usual_blocks());
  const sim::Failure failures[] = {
      {sim::Call::IoControl, "QUERYRADIOUUID", 1, kLinkDown},
      {sim::Call::IoControl, "QUERYMAXIMUMTRANSFERSIZE", 1, kLinkDown},
      {sim::Call::IoControl, "QUERYRADIOSERIALNUMBER", 1, kLinkDown},
      {sim::Call::IoControl, "QUERYRADIOMODELNUMBER", 1, kLinkDown},
      {sim::Call::IoControl, "QUERYRADIOCODEPLUGVERSION", 1, kLinkDown},
      {sim::Call::Read, "", 1, kLinkDown},
      {sim::Call::Read, "", 2, kLinkDown},
  };
  for (const sim::Failure& failure : failures) {
    sim::SimulatedRadio first = make_r9_radio(old_image, "OLD0000001");
    Object object = make();
    ASSERT_EQ(read(*object, first), S_OK);
    const State before = state_of(*object);
    sim::SimulatedRadio radio = make_r9_radio(new_image);
    radio.failures = {failure};
    EXPECT_EQ(read(*object, radio), kLinkDown) << failure.command << failure.nth;
    State after = state_of(*object);
    if (failure.call == sim::Call::Read && failure.nth == 2) {
      // The header had been read: it alone holds the new radio's content.
      EXPECT_NE(std::get<0>(after), std::get<0>(before));
      std::get<0>(after) = std::get<0>(before);
    }
    EXPECT_EQ(after, before) << failure.command << failure.nth;
  }

  // The software version comes last: every block holds the radio's content.
  sim::SimulatedRadio radio = make_r9_radio(new_image);
  radio.failures = {{sim::Call::IoControl, "QUERYRADIOSOFTWAREVERSION", 1, kLinkDown}};
  Object object = make();
  EXPECT_EQ(read(*object, radio), kLinkDown);
  EXPECT_EQ(object->codeplug().slot(2026).opaque, usual_blocks()[3].bytes);
  EXPECT_EQ(object->codeplug().info().text(info::kSoftware), "");
}

TEST_F(R9Test, ReadRefusesABrokenImage) {
  const Bytes good = codeplug_image(usual_blocks());
  const size_t block_2010 = 8 + usual_blocks()[0].bytes.size();
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    int code;
  } cases[] = {
      {"a block's checksum", [&](Bytes& b) { b[block_2010 + 5] ^= 0x01; }, err::kChecksum},
      {"a block running past the image", [&](Bytes& b) { b[block_2010 + 3] = 200; }, err::kShortImage},
      {"an image too short for its tables", [](Bytes& b) { b[3] = static_cast<uint8_t>(b[3] - 80); }, err::kInvalidData},
      {"an address before the codeplug", [](Bytes& b) { b[4] = 0; b[5] = 10; }, err::kInvalidData},
  };
  for (const Case& c : cases) {
    Bytes image = good;
    c.change(image);
    sim::SimulatedRadio radio = make_r9_radio(image);
    Object object = make();
    EXPECT_EQ(read(*object, radio), hresult_of(c.code)) << c.what;
  }
}

// SetBlockData(2029): a stored image unpacks as a read's does; its model gives the radio type.
TEST_F(R9Test, WholeImageLoadsLikeARead) {
  const Bytes image = codeplug_image(usual_blocks());
  sim::SimulatedRadio radio = make_r9_radio(image);
  Object read_one = make();
  ASSERT_EQ(read(*read_one, radio), S_OK);

  auto load = [&](R9CPServices& object, const Bytes& bytes, VARTYPE type) {
    ScopedVariant data;
    SAFEARRAY* array = SafeArrayCreateVector(type, 0, static_cast<ULONG>(bytes.size()));
    for (LONG i = 0; i < static_cast<LONG>(bytes.size()); ++i) {
      if (type == VT_UI1) {
        uint8_t b = bytes[static_cast<size_t>(i)];
        SafeArrayPutElement(array, &i, &b);
      } else {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = bytes[static_cast<size_t>(i)];
        SafeArrayPutElement(array, &i, &v);
      }
    }
    data->vt = VT_ARRAY | type;
    data->parray = array;
    return object.SetBlockData(2029, data.get());
  };
  for (VARTYPE type : {VT_UI1, VT_VARIANT}) {
    Object loaded = make();
    ASSERT_EQ(load(*loaded, image, type), S_OK);
    State expected = state_of(*read_one);
    std::get<3>(expected).entry(0).set_text(info::kSoftware, "");  // only a read asks the radio
    EXPECT_EQ(state_of(*loaded), expected);
  }

  Object untouched = make();
  const State before = state_of(*untouched);
  ScopedVariant empty;
  EXPECT_EQ(untouched->SetBlockData(2029, empty.get()), S_OK);
  EXPECT_EQ(state_of(*untouched), before);

  Object other = make();
  EXPECT_EQ(load(*other, codeplug_image({{2003, info_block(kSerial, "R9UNKNOWN")}}), VT_UI1), hr_of(0x80040970));
  EXPECT_EQ(other->radio().radio_type, 0);
  // Without a handler for 2003 there is no model to look up.
  Object bare = make();
  bare->codeplug().install(2003, nullptr);
  EXPECT_EQ(load(*bare, image, VT_UI1), hr_of(0x8004096E));
}

}  // namespace
}  // namespace cps::gen2::test
