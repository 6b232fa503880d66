// ReadDevice, ResetDevice, GetUpdInfo and Copy against simulated radios.
#include "gen1/device/flows.h"

#include "interface/cp_services.h"
#include "interface/guard.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"
#include "support/images.h"

#include <gtest/gtest.h>

#include <functional>

namespace cps {
namespace {

constexpr HRESULT hr(uint32_t value) { return static_cast<HRESULT>(value); }
constexpr HRESULT kLinkDown = hr(0x8007001F);
constexpr HRESULT kRroData = hr(0x80040987);
constexpr HRESULT kUnexpected = hr(0x8004096F);
constexpr uint16_t kIdentityAddress = 0x282, kInfoAddress = 0x2D8, kImageAddress = 0x300;

sim::Failure command_fails(const char* command, HRESULT status) { return {sim::Call::IoControl, command, 1, status}; }

// A progress dialog that writes down "[lower,upper]", "/step" and "." for each step.
struct RecordingDialog final : ICPDProgressDlg {
  std::string log;
  void SetRange(int lower, int upper) override { log += "[" + std::to_string(lower) + "," + std::to_string(upper) + "]"; }
  void SetStep(int step) override { log += "/" + std::to_string(step); }
  void StepIt() override { log += "."; }
  IUnknown* as_unknown() { return reinterpret_cast<IUnknown*>(static_cast<ICPDProgressDlg*>(this)); }
};

HRESULT read(CPServices& object, sim::SimulatedRadio& radio, RecordingDialog* dialog = nullptr) {
  return guarded([&] { return read_device(object.radio(), radio.as_unknown(), 7, dialog ? dialog->as_unknown() : nullptr); });
}

// Everything a read may replace.
using State = std::tuple<FieldList, FieldList, FieldList, BlockRecord, BlockRecord, BlockRecord,
                         std::string, std::string, uint8_t, uint8_t, int32_t>;
State state_of(CPServices& o) {
  Codeplug& c = o.codeplug();
  return {c.fields(), c.flags().fields(), c.addresses().fields(), o.radio_info().block(),
          o.radio_identity().block(), c.programming_record().block(), c.base.version, c.base.minor,
          o.radio_identity().base.mobile, c.base.mobile, o.market_class()};
}

// An object that has read another radio already, so that a failed read has something to keep.
struct ReadObject {
  sim::SimulatedRadio first = sim::make_gen1_radio({.serial = "OLD1", .model = "M1OLD", .version = "0650", .mobile = true});
  CPServices object{nullptr};
  ReadObject() { EXPECT_EQ(read(object, first), S_OK); }
};

TEST(ReadDevice, VersionFromTheRadioElseFromBlock3) {
  const std::pair<const char*, const char*> cases[] = {  // the answer; field 85 of block 3 says 06.50
      {"0651", "0651"}, {"07A0", "0650"}, {nullptr, "0650"}};
  for (const auto& [answer, version] : cases) {
    sim::SimulatedRadio radio = sim::make_gen1_radio({.version = "0650"});
    radio.identity.codeplug_version = answer ? answer : "0650";
    if (!answer) radio.failures.push_back(command_fails("QUERYRADIOCODEPLUGVERSION", kLinkDown));
    CPServices object(nullptr);
    EXPECT_EQ(read(object, radio), S_OK);
    EXPECT_EQ(object.codeplug().base.version + object.codeplug().base.minor, version) << answer;
    EXPECT_EQ(object.radio_info().base.version + object.radio_info().base.minor, version) << answer;
  }
}

using Change = std::function<void(sim::SimulatedRadio&)>;
Change failing(sim::Failure failure) {
  return [failure](sim::SimulatedRadio& radio) { radio.failures.push_back(failure); };
}
Change storing(uint16_t address, std::vector<uint8_t> bytes) {
  return [=](sim::SimulatedRadio& radio) { radio.write(address, bytes); };
}
Change read_fails(int nth, HRESULT status = kLinkDown) { return failing({sim::Call::Read, "", nth, status}); }

Change image_byte_changed(size_t offset) {
  return [offset](sim::SimulatedRadio& radio) {
    const size_t length = read_be(radio.memory.data() + kImageAddress + 2, 2) + size_t{1};
    uint8_t* image = radio.memory.data() + kImageAddress;
    image[offset] ^= 0x5A;
    image[length - 1] = checksum(image, length - 1);
  };
}

// The blocks a read replaces: 3, 2, the header (1), 453 (F), 4 and the channel list (C).
struct Blocks {
  BlockRecord identity, info;
  FieldList header, flags;
  BlockRecord record, channels;
};
Blocks blocks_of(CPServices& o) {
  Codeplug& c = o.codeplug();
  BlockRecord record = c.programming_record().block();
  record.entry(0).set_text(461, "");  // the last step of a read
  return {o.radio_identity().block(), o.radio_info().block(), c.fields(), c.flags().fields(),
          record, c.handler(38)->block()};
}

std::string taken(const Blocks& now, const Blocks& old, const Blocks& radio) {
  std::string from_radio;
  const auto mark = [&](char what, auto member) {
    if (now.*member == radio.*member) from_radio += what;
    else EXPECT_TRUE(now.*member == old.*member) << what << " is neither the radio's nor the old";
  };
  mark('3', &Blocks::identity);
  mark('2', &Blocks::info);
  mark('1', &Blocks::header);
  mark('F', &Blocks::flags);
  mark('4', &Blocks::record);
  mark('C', &Blocks::channels);
  return from_radio;
}

// Each device call failing in turn and unusable radio data: the result, calls, steps shown, and
// which blocks hold the radio's content (the others keep theirs). A good read packs back into
// the radio's bytes.
TEST(ReadDevice, FailingCallsKeepWhatWasRead) {
  sim::SimulatedRadio good = sim::make_gen1_radio({.serial = "NEW0000001"});
  image_byte_changed(0)(good);  // field 45 = 0x5E, so that the header tells the radios apart
  CPServices radio_state(nullptr);
  ASSERT_EQ(read(radio_state, good), S_OK);
  good.calls.clear();
  const size_t channels = radio_state.codeplug().addresses().address_of(38) - kImageAddress;

  const std::tuple<const char*, Change, HRESULT, size_t, size_t, const char*> cases[] = {  // calls, steps
      {"good read", [](sim::SimulatedRadio&) {}, S_OK, 9, 9, "321F4C"},
      {"identity", failing(command_fails("QUERYRADIOUUID", kLinkDown)), kLinkDown, 1, 0, ""},
      {"unknown radio type", [](sim::SimulatedRadio& r) { r.identity.uuid = "0"; }, hr(0x80040970), 1, 0, ""},
      {"version 0800", [](sim::SimulatedRadio& r) { r.identity.codeplug_version = "0800"; }, hr(0x80040985), 2, 2, ""},
      {"block 3 header", read_fails(1), kRroData, 3, 2, ""},
      {"block 3", read_fails(2), kRroData, 4, 3, ""},
      {"block 2 header", read_fails(3), kRroData, 5, 4, "3"},
      {"block 2", read_fails(4), kRroData, 6, 5, "3"},
      {"image header", read_fails(5), kLinkDown, 7, 6, "32"},
      {"image", read_fails(6, hr(0x80070015)), hr(0x80070015), 8, 7, "321"},
      {"software version", failing(command_fails("QUERYRADIOSOFTWAREVERSION", kLinkDown)), kLinkDown, 9, 8, "321F4C"},
      {"software version S_FALSE", failing(command_fails("QUERYRADIOSOFTWAREVERSION", S_FALSE)), S_FALSE, 9, 9, "321F4C"},
      {"block 3 checksum", storing(kIdentityAddress + 3, {'#'}), kRroData, 4, 4, ""},
      {"image checksum", storing(kImageAddress + 9, {0xA5}), hr(0x80040967), 8, 8, "321"},
      {"image past memory", storing(kImageAddress + 2, {0xFF, 0xFF}), hr(0x80040986), 7, 7, "321"},
      {"channel list checksum", image_byte_changed(channels + 3), hr(0x80040967), 8, 8, "321F4"},
  };
  for (const auto& [what, change, result, calls, steps, from_radio] : cases) {
    SCOPED_TRACE(what);
    sim::SimulatedRadio radio = good;
    change(radio);
    ReadObject before;
    before.object.radio().product_family = 2;
    before.object.codeplug().flags().set_enabled(17, false);  // so that block 453 tells the radios apart
    const Blocks old = blocks_of(before.object);
    RecordingDialog dialog;
    EXPECT_EQ(read(before.object, radio, &dialog), result);
    EXPECT_EQ(radio.calls.size(), calls);
    EXPECT_EQ(dialog.log, "[0,11]/1" + std::string(steps, '.'));
    Codeplug header;
    header.parse_header(radio.memory.data() + kImageAddress, Codeplug::kHeaderLength);
    Blocks radio_blocks = blocks_of(radio_state);
    radio_blocks.header = header.fields();
    EXPECT_EQ(taken(blocks_of(before.object), old, radio_blocks), from_radio);
    EXPECT_EQ(before.object.radio().product_family, calls > 1 ? 1 : result == kLinkDown ? 2 : 0);
    if (FAILED(result)) continue;
    CPServices& object = before.object;
    EXPECT_EQ(object.radio_identity().pack(3), radio.read(kIdentityAddress, object.radio_identity().pack(3).size()));
    EXPECT_EQ(object.radio_info().pack(2), radio.read(kInfoAddress, object.radio_info().pack(2).size()));
    Codeplug codeplug = object.codeplug();
    RadioInfo block2 = object.radio_info();
    const std::vector<uint8_t> theirs = radio.read(kImageAddress, header.image_length());
    codeplug.read_destination_flags(theirs.data(), theirs.size());
    const std::vector<uint8_t> image = codeplug.pack_image(object.radio_identity(), block2, true);
    EXPECT_EQ(image, theirs);
    EXPECT_FALSE(object.radio_identity().base.mobile || object.codeplug().base.mobile);  // was mobile
    EXPECT_EQ(object.codeplug().programming_record().block().entry(0).text(461), result == S_OK ? "R01.02.03" : "");
  }
}

// Block 3's version 0x0A 0x20 reads as 010.20; as the fallback version it is refused with 132.
TEST(ReadDevice, VersionFallbackToABcdDigitAboveNine) {
  sim::SimulatedRadio radio = sim::make_gen1_radio({.serial = "BCD0000001"});
  radio.failures.push_back(command_fails("QUERYRADIOCODEPLUGVERSION", kLinkDown));
  const std::vector<uint8_t> header = radio.read(kIdentityAddress, 3);
  std::vector<uint8_t> identity = radio.read(kIdentityAddress, 3 + header[1] * header[2] + 1);
  identity[3 + 30] = 0x0A;
  radio.write(kIdentityAddress, test::resealed(identity));
  ReadObject before;
  EXPECT_EQ(read(before.object, radio), hr(0x80040984));
  EXPECT_EQ(before.object.radio_identity().block().entry(0).text(85), "010.20");
  EXPECT_EQ(before.object.radio_identity().block().entry(0).text(83), "BCD0000001");
}

// After a read the market class follows the model table only, not the "Japan" region.
TEST(ReadDevice, MarketClassFromTheModelTableOnly) {
  sim::SimulatedRadio radio = sim::make_gen1_radio();
  CPServices object(nullptr);
  ASSERT_EQ(read(object, radio), S_OK);
  BlockRecord identity = object.radio_identity().block();
  identity.entry(0).set_text(99, "Japan");
  object.radio_identity().set_block(identity);
  radio.write(kIdentityAddress, object.radio_identity().pack(3));
  ASSERT_EQ(read(object, radio), S_OK);
  for (int32_t held : {object.market_class(), object.radio_identity().base.market_class(),
                       object.radio_info().base.market_class(), object.codeplug().flags().base.market_class()})
    EXPECT_EQ(held, 0);
}

TEST(ResetDevice, RestartsTheRadioAndReturnsItsStatus) {
  sim::SimulatedRadio radio;
  radio.failures = {{sim::Call::IoControl, "RESETRADIO", 2, kLinkDown}};
  for (HRESULT status : {S_OK, kLinkDown})
    EXPECT_EQ(guarded([&] { return reset_device(radio.as_unknown(), 1); }), status);
  EXPECT_EQ(radio.reset_count, 1);
}

using Answer = std::tuple<HRESULT, BYTE, BYTE, std::vector<int>>;
Answer upd_info(CPServices& object, sim::SimulatedRadio& radio) {
  BYTE serial = 0xEE, model = 0xEE;
  ScopedVariant versions;
  const HRESULT result = guarded([&] { return get_upd_info(object.radio(), radio.as_unknown(), 3, &serial, &model, versions.get()); });
  std::vector<int> majors;  // the codeplug's and the radio's
  for (LONG at[2] = {0, 0}; versions->vt == (VT_ARRAY | VT_VARIANT) && at[1] < 2; ++at[1]) {
    ScopedVariant element;
    SafeArrayGetElement(versions->parray, at, element.get());
    majors.push_back(element->vt == VT_UI1 ? element->bVal : -1);
  }
  return {result, serial, model, majors};
}

TEST(GetUpdInfo, ComparesTheRadioWithTheCodeplug) {
  sim::SimulatedRadio source = sim::make_gen1_radio({.serial = "S1"});  // model M1PORT00001
  CPServices object(nullptr);
  ASSERT_EQ(read(object, source), S_OK);
  const State kept = state_of(object);
  const auto answers = [](const char* serial, const char* model, const char* version) {
    return [=](sim::SimulatedRadio& r) { r.identity = {r.identity.uuid, version, "", serial, model}; };
  };
  const std::tuple<const char*, Change, Answer> cases[] = {
      {"the radio read", answers("S1", "M1PORT00001     ", "0720"), {S_OK, 1, 1, {7, 7}}},
      {"model not padded", answers("S2", "M1PORT00001", "0650"), {S_OK, 0, 0, {7, 6}}},
      {"serial fails", failing(command_fails("QUERYRADIOSERIALNUMBER", kLinkDown)), {kUnexpected, 0xEE, 0xEE, {}}},
  };
  for (const auto& [what, change, answer] : cases) {
    sim::SimulatedRadio radio = sim::make_gen1_radio();
    change(radio);
    EXPECT_EQ(upd_info(object, radio), answer) << what;
    EXPECT_EQ(state_of(object), kept) << what;
  }
}

struct PickySource final : CPServices {
  PickySource() : CPServices(nullptr) {}
  HRESULT STDMETHODCALLTYPE GetBlockData(LONG id, VARIANT* data) override {
    return id == 3 ? E_FAIL : CPServices::GetBlockData(id, data);
  }
};

// Copy takes every block the source gives and skips the ones that fail.
TEST(Copy, TakesEveryBlockTheSourceGivesAndSkipsFailures) {
  PickySource source;
  sim::SimulatedRadio radio = sim::make_gen1_radio({.serial = "COPY1", .version = "0650", .mobile = true});
  ASSERT_EQ(read(source, radio), S_OK);
  CPServices object(nullptr);
  const BlockRecord block3 = object.radio_identity().block();
  EXPECT_EQ(guarded([&] { return copy_from(object, &source); }), S_OK);
  EXPECT_EQ(object.radio_identity().block(), block3);
  EXPECT_EQ(object.radio_info().block(), source.radio_info().block());
  EXPECT_EQ(object.codeplug().programming_record().block(), source.codeplug().programming_record().block());
  EXPECT_EQ(object.codeplug().flags().fields(), source.codeplug().flags().fields());
}

}  // namespace
}  // namespace cps
