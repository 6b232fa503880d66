// ReadDevice against simulated radios (content, progress, version fallback, every device call
// failing in turn, damaged radio data, market class), and ResetDevice, GetUpdInfo and Copy.
#include "device/flows.h"

#include "interface/cp_services.h"
#include "interface/guard.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"

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
  return guarded([&] { return read_device(object, radio.as_unknown(), 7, dialog ? dialog->as_unknown() : nullptr); });
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
      {"0651", "0651"}, {"07A0", "0650"}, {"", "0650"}, {nullptr, "0650"}};
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

// A good read, each device call failing in turn, and radio data that cannot be used: the result,
// the calls made, the steps shown, and that a failed read keeps every block (and the product
// family when the identity query failed) while a good one takes the radio's, packing back into
// its bytes. A succeeding status other than S_OK of the last query is the result.
TEST(ReadDevice, FailingCallsAndBadDataChangeNothing) {
  const std::tuple<const char*, Change, HRESULT, size_t, size_t> cases[] = {  // calls, steps
      {"good read", [](sim::SimulatedRadio&) {}, S_OK, 9, 9},
      {"identity", failing(command_fails("QUERYRADIOUUID", kLinkDown)), kLinkDown, 1, 0},
      {"unknown radio type", [](sim::SimulatedRadio& r) { r.identity.uuid = "0"; }, hr(0x80040970), 1, 0},
      {"version 0800", [](sim::SimulatedRadio& r) { r.identity.codeplug_version = "0800"; }, hr(0x80040985), 2, 2},
      {"block 3 header", read_fails(1), kRroData, 3, 2},
      {"block 3", read_fails(2), kRroData, 4, 3},
      {"block 2 header", read_fails(3), kRroData, 5, 4},
      {"block 2", read_fails(4), kRroData, 6, 5},
      {"image header", read_fails(5), kLinkDown, 7, 6},
      {"image", read_fails(6, hr(0x80070015)), hr(0x80070015), 8, 7},
      {"software version", failing(command_fails("QUERYRADIOSOFTWAREVERSION", kLinkDown)), kLinkDown, 9, 8},
      {"software version S_FALSE", failing(command_fails("QUERYRADIOSOFTWAREVERSION", S_FALSE)), S_FALSE, 9, 9},
      {"block 3 checksum", storing(kIdentityAddress + 3, {'#'}), kRroData, 4, 4},
      {"image checksum", storing(kImageAddress + 9, {0xA5}), hr(0x80040967), 8, 8},
      {"image past memory", storing(kImageAddress + 2, {0xFF, 0xFF}), hr(0x80040986), 7, 7},
  };
  for (const auto& [what, change, result, calls, steps] : cases) {
    SCOPED_TRACE(what);
    sim::SimulatedRadio radio = sim::make_gen1_radio({.serial = "NEW0000001"});
    change(radio);
    ReadObject before;
    before.object.product_family = 2;
    const State kept = state_of(before.object);
    RecordingDialog dialog;
    EXPECT_EQ(read(before.object, radio, &dialog), result);
    EXPECT_EQ(radio.calls.size(), calls);
    EXPECT_EQ(dialog.log, "[0,11]/1" + std::string(steps, '.'));
    EXPECT_EQ(state_of(before.object) == kept, FAILED(result));
    EXPECT_EQ(before.object.product_family, calls > 1 ? 1 : result == kLinkDown ? 2 : 0);
    if (FAILED(result)) continue;
    CPServices& object = before.object;
    EXPECT_EQ(object.radio_identity().pack(3), radio.read(kIdentityAddress, object.radio_identity().pack(3).size()));
    EXPECT_EQ(object.radio_info().pack(2), radio.read(kInfoAddress, object.radio_info().pack(2).size()));
    Codeplug codeplug = object.codeplug();
    RadioInfo block2 = object.radio_info();
    const std::vector<uint8_t> image = codeplug.pack_image(object.radio_identity(), block2, false);
    EXPECT_EQ(image, radio.read(kImageAddress, image.size()));
    EXPECT_FALSE(object.radio_identity().base.mobile || object.codeplug().base.mobile);  // was mobile
    EXPECT_EQ(object.codeplug().programming_record().block().entry(0).text(461), result == S_OK ? "R01.02.03" : "");
  }
}

// After a read the market class follows the model table only: the "Japan" region does not give 2.
TEST(ReadDevice, MarketClassFromTheModelTableOnly) {
  sim::SimulatedRadio radio = sim::make_gen1_radio();
  CPServices object(nullptr);
  ASSERT_EQ(read(object, radio), S_OK);
  BlockRecord identity = object.radio_identity().block();
  identity.entry(0).set_text(99, "Japan");
  object.radio_identity().set_block(identity);
  radio.write(kIdentityAddress, object.radio_identity().pack(3));
  ASSERT_EQ(read(object, radio), S_OK);
  for (int32_t held : {object.market_class(), object.radio_identity().base.market_class,
                       object.radio_info().base.market_class, object.codeplug().flags().base.market_class})
    EXPECT_EQ(held, 0);
}

TEST(ResetDevice, RestartsTheRadioAndReturnsItsStatus) {
  sim::SimulatedRadio radio;
  radio.failures = {{sim::Call::IoControl, "RESETRADIO", 2, kLinkDown}};
  for (HRESULT status : {S_OK, kLinkDown})
    EXPECT_EQ(guarded([&] { return reset_device(radio.as_unknown(), 1); }), status);
  EXPECT_EQ(radio.reset_count, 1);
}

// GetUpdInfo's answer: the flags (0xEE where untouched) and the array's two VT_UI1 elements.
using Answer = std::tuple<HRESULT, BYTE, BYTE, std::vector<int>>;
Answer upd_info(CPServices& object, sim::SimulatedRadio& radio) {
  BYTE serial = 0xEE, model = 0xEE;
  ScopedVariant versions;
  const HRESULT result = guarded([&] { return get_upd_info(object, radio.as_unknown(), 3, &serial, &model, versions.get()); });
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
      {"same model", answers("S2", "M1PORT00001     ", "0720"), {S_OK, 0, 1, {7, 7}}},
      {"model not padded", answers("S1", "M1PORT00001", "0720"), {S_OK, 1, 0, {7, 7}}},
      {"older radio", answers("S1", "M1PORT00001     ", "0650"), {S_OK, 1, 1, {7, 6}}},
      {"serial fails", failing(command_fails("QUERYRADIOSERIALNUMBER", kLinkDown)), {kUnexpected, 0xEE, 0xEE, {}}},
      {"version too new", answers("S1", "M1PORT00001     ", "0800"), {hr(0x80040985), 0xEE, 0xEE, {}}},
  };
  for (const auto& [what, change, answer] : cases) {
    sim::SimulatedRadio radio = sim::make_gen1_radio();
    change(radio);
    EXPECT_EQ(upd_info(object, radio), answer) << what;
    EXPECT_EQ(state_of(object), kept) << what;
  }
}

// A source that refuses block 3.
struct PickySource final : CPServices {
  PickySource() : CPServices(nullptr) {}
  HRESULT STDMETHODCALLTYPE GetBlockData(LONG id, VARIANT* data) override {
    return id == 3 ? E_FAIL : CPServices::GetBlockData(id, data);
  }
};

// Copy takes every block the source gives (laid out by the source's version and radio kind) and
// skips the ones that fail.
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
