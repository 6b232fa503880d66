// ReadDevice against simulated radios (content, progress, versions, every device call failing in
// turn, damaged radio data, market class), and ResetDevice, GetUpdInfo and Copy.
#include "device/flows.h"

#include "interface/cp_services.h"
#include "interface/guard.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace cps {
namespace {

constexpr HRESULT hr(uint32_t value) { return static_cast<HRESULT>(value); }
constexpr HRESULT kLinkDown = hr(0x8007001F);
constexpr HRESULT kRroData = hr(0x80040987);
constexpr HRESULT kUnexpected = hr(0x8004096F);
constexpr uint16_t kIdentityAddress = 0x282, kInfoAddress = 0x2D8, kImageAddress = 0x300;

sim::Failure fails(sim::Call call, const char* command, int nth, HRESULT status) {
  return {.call = call, .command = command, .nth = nth, .hr = status, .stored_bytes = 0};
}
sim::Failure command_fails(const char* command, HRESULT status) {
  return fails(sim::Call::IoControl, command, 1, status);
}

// A progress dialog that writes down "[lower,upper]", "/step" and "." for each step.
class RecordingDialog final : public ICPDProgressDlg {
 public:
  std::string log;
  void SetRange(int lower, int upper) override {
    log += "[" + std::to_string(lower) + "," + std::to_string(upper) + "]";
  }
  void SetStep(int step) override { log += "/" + std::to_string(step); }
  void StepIt() override { log += "."; }
  IUnknown* as_unknown() {
    return reinterpret_cast<IUnknown*>(static_cast<ICPDProgressDlg*>(this));
  }
};

HRESULT read(CPServices& object, sim::SimulatedRadio& radio, RecordingDialog* dialog = nullptr) {
  return guarded([&] {
    return read_device(object, radio.as_unknown(), 7, dialog ? dialog->as_unknown() : nullptr);
  });
}

// Everything a read may replace.
struct State {
  FieldList header, flags, addresses;
  BlockRecord block2, block3, block4;
  std::string version, minor;
  uint8_t mobile3, mobile;
  int32_t market_class;
  bool operator==(const State&) const = default;
};
State state_of(CPServices& o) {
  Codeplug& c = o.codeplug();
  return {c.fields(),
          c.flags().fields(),
          c.addresses().fields(),
          o.radio_info().block(),
          o.radio_identity().block(),
          c.programming_record().block(),
          c.base.version,
          c.base.minor,
          o.radio_identity().base.mobile,
          c.base.mobile,
          o.market_class()};
}

// An object that has read another radio already, so that a failed read has something to keep.
struct ReadObject {
  sim::SimulatedRadio first =
      sim::make_gen1_radio({.serial = "OLD1", .model = "M1OLD", .version = "0650", .mobile = true});
  CPServices object{nullptr};
  ReadObject() { EXPECT_EQ(read(object, first), S_OK); }
};

TEST(ReadDevice, TakesEveryBlockFromTheRadio) {
  const sim::FactoryOptions radios[] = {{},
                                        {.serial = "200XYZ0042",
                                         .model = "M1MOBILE00000016",
                                         .version = "0650",
                                         .mobile = true,
                                         .band = "UHF"}};
  for (const sim::FactoryOptions& options : radios) {
    SCOPED_TRACE(options.serial);
    sim::SimulatedRadio radio = sim::make_gen1_radio(options);
    ReadObject earlier;
    RecordingDialog dialog;
    ASSERT_EQ(read(earlier.object, radio, &dialog), S_OK);
    CPServices& object = earlier.object;
    EXPECT_EQ(dialog.log, "[0,11]/1.........");
    EXPECT_EQ(object.product_family, 1);
    const FieldList block3 = object.radio_identity().block().entry(0);
    std::string model = options.model;
    model.resize(16, ' ');
    EXPECT_EQ(block3.text(83), options.serial);
    EXPECT_EQ(block3.text(84), model);
    EXPECT_EQ(object.radio_info().block().entry(0).text(66),
              options.mobile ? "Mobile" : "Portable");
    EXPECT_EQ(object.codeplug().programming_record().block().get_entry_field(0, 461),
              (FieldValue{461, "R01.02.03", 0}));
    EXPECT_EQ(object.radio_identity().base.mobile, options.mobile);
    EXPECT_EQ(object.codeplug().base.mobile, options.mobile);

    // What the object holds packs back into what the radio holds, and each region is read whole
    // after its header.
    const std::vector<uint8_t> identity = object.radio_identity().pack(3),
                               info = object.radio_info().pack(2);
    Codeplug codeplug = object.codeplug();
    RadioInfo block2 = object.radio_info();
    const std::vector<uint8_t> image = codeplug.pack_image(object.radio_identity(), block2, false);
    EXPECT_EQ(identity, radio.read(kIdentityAddress, identity.size()));
    EXPECT_EQ(info, radio.read(kInfoAddress, info.size()));
    EXPECT_EQ(image, radio.read(kImageAddress, image.size()));
    std::vector<std::pair<uint16_t, size_t>> reads;
    for (const sim::CallRecord& call : radio.calls)
      if (call.call == sim::Call::Read) reads.emplace_back(call.address, call.length);
    EXPECT_EQ(reads, (std::vector<std::pair<uint16_t, size_t>>{{kIdentityAddress, 3},
                                                               {kIdentityAddress, identity.size()},
                                                               {kInfoAddress, 3},
                                                               {kInfoAddress, info.size()},
                                                               {kImageAddress, 8},
                                                               {kImageAddress, image.size()}}));

    // Without a dialog the read is the same.
    CPServices quiet(nullptr);
    EXPECT_EQ(read(quiet, radio), S_OK);
    EXPECT_EQ(state_of(quiet), state_of(object));
  }
}

TEST(ReadDevice, VersionFromTheRadioElseFromBlock3) {
  const std::pair<const char*, const char*> cases[] = {// the answer; field 85 of block 3 says 06.50
                                                       {"0650", "0650"},
                                                       {"0651", "0651"},
                                                       {"07A0", "0650"},
                                                       {"", "0650"},
                                                       {nullptr, "0650"}};
  for (const auto& [answer, version] : cases) {
    SCOPED_TRACE(answer ? answer : "query fails");
    sim::SimulatedRadio radio = sim::make_gen1_radio({.version = "0650"});
    radio.identity.codeplug_version = answer ? answer : "0650";
    if (!answer) radio.failures.push_back(command_fails("QUERYRADIOCODEPLUGVERSION", kLinkDown));
    CPServices object(nullptr);
    EXPECT_EQ(read(object, radio), S_OK);
    EXPECT_EQ(object.codeplug().base.version + object.codeplug().base.minor, version);
    EXPECT_EQ(object.radio_info().base.version + object.radio_info().base.minor, version);
  }
}

using Change = std::function<void(sim::SimulatedRadio&)>;
Change failing(sim::Failure failure) {
  return [failure](sim::SimulatedRadio& radio) { radio.failures.push_back(failure); };
}
Change storing(uint16_t address, std::vector<uint8_t> bytes) {
  return [=](sim::SimulatedRadio& radio) { radio.write(address, bytes); };
}
Change read_fails(int nth) { return failing(fails(sim::Call::Read, "", nth, kLinkDown)); }

// Each device call failing in turn, and radio data that cannot be used: the result, the calls
// made, the steps shown, and that the object keeps every block (and its product family when the
// identity query failed). A succeeding status other than S_OK of the last query is the result.
// A portable whose block 3 holds a power level of 0 W (only a mobile may) passes the first
// unpack of block 3, made with the object's old mobile flag, and fails the second.
TEST(ReadDevice, FailingCallsAndBadDataChangeNothing) {
  struct Case {
    const char* what;
    Change change;
    HRESULT result;
    size_t calls, steps;
  } cases[] = {
      {"identity", failing(command_fails("QUERYRADIOUUID", kLinkDown)), kLinkDown, 1, 0},
      {"unknown radio type", [](sim::SimulatedRadio& r) { r.identity.uuid = "0"; }, hr(0x80040970),
       1, 0},
      {"version 0800", [](sim::SimulatedRadio& r) { r.identity.codeplug_version = "0800"; },
       hr(0x80040985), 2, 2},
      {"block 3 header", read_fails(1), kRroData, 3, 2},
      {"block 3", read_fails(2), kRroData, 4, 3},
      {"block 2 header", read_fails(3), kRroData, 5, 4},
      {"block 2", read_fails(4), kRroData, 6, 5},
      {"image header", read_fails(5), kLinkDown, 7, 6},
      {"image", failing(fails(sim::Call::Read, "", 6, hr(0x80070015))), hr(0x80070015), 8, 7},
      {"software version", failing(command_fails("QUERYRADIOSOFTWAREVERSION", kLinkDown)),
       kLinkDown, 9, 8},
      {"software version S_FALSE", failing(command_fails("QUERYRADIOSOFTWAREVERSION", S_FALSE)),
       S_FALSE, 9, 9},
      {"block 3 checksum", storing(kIdentityAddress + 3, {'#'}), kRroData, 4, 4},
      {"block 3 past memory", storing(kIdentityAddress + 1, {0xFF, 0xFF}), kRroData, 4, 3},
      {"block 2 checksum", storing(kInfoAddress + 3, {0xA5}), kRroData, 6, 6},
      {"image checksum", storing(kImageAddress + 9, {0xA5}), hr(0x80040967), 8, 8},
      {"image past memory", storing(kImageAddress + 2, {0xFF, 0xFF}), hr(0x80040986), 7, 7},
      {"image of one byte", storing(kImageAddress + 2, {0x00, 0x00}), hr(0x80040967), 8, 8},
      {"portable at 0 W",
       [](sim::SimulatedRadio& r) {  // field 96 at 74; the checksum kept
         uint8_t* block3 = &r.memory[kIdentityAddress];
         block3[3 + block3[1]] += std::exchange(block3[3 + 74], 0);
       },
       kRroData, 6, 6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimulatedRadio radio = sim::make_gen1_radio({.serial = "NEW0000001"});
    c.change(radio);
    ReadObject before;
    before.object.product_family = 2;
    const State kept = state_of(before.object);
    RecordingDialog dialog;
    EXPECT_EQ(read(before.object, radio, &dialog), c.result);
    EXPECT_EQ(radio.calls.size(), c.calls);
    EXPECT_EQ(dialog.log, "[0,11]/1" + std::string(c.steps, '.'));
    EXPECT_EQ(state_of(before.object) == kept, FAILED(c.result));
    EXPECT_EQ(before.object.product_family, c.calls > 1 ? 1 : c.result == kLinkDown ? 2 : 0);
  }
}

// After a read the market class follows the model table only: a radio of the "Japan" region
// does not give 2.
TEST(ReadDevice, MarketClassFromTheModelTableOnly) {
  const std::string path = testing::TempDir() + "read_flow_models.json";
  std::ofstream(path) << R"({"gen1": {"market_class_1": ["M1LISTED"]}})";
  setenv("CPSERVICES_MODELS", path.c_str(), 1);
  CPServices object(nullptr);
  unsetenv("CPSERVICES_MODELS");
  std::remove(path.c_str());
  const std::tuple<const char*, const char*, int32_t> cases[] = {{"M1LISTED", "North America", 1},
                                                                 {"M1OTHER", "Japan", 0},
                                                                 {"M1LISTED", "Japan", 1},
                                                                 {"M1OTHER", "North America", 0}};
  for (const auto& [model, region, market_class] : cases) {
    SCOPED_TRACE(std::string(model) + "/" + region);
    // A factory radio changed to the region, its codeplug laid out for the class.
    sim::SimulatedRadio radio = sim::make_gen1_radio({.model = model});
    CPServices reader(nullptr);
    ASSERT_EQ(read(reader, radio), S_OK);
    BlockRecord identity = reader.radio_identity().block();
    identity.entry(0).set_text(99, region);
    reader.radio_identity().set_block(identity);
    radio.write(kIdentityAddress, reader.radio_identity().pack(3));
    reader.codeplug().set_market_class(market_class);
    radio.write(kImageAddress,
                reader.codeplug().pack_image(reader.radio_identity(), reader.radio_info(), false));

    ASSERT_EQ(read(object, radio), S_OK);
    EXPECT_EQ(object.radio_identity().block().entry(0).text(99), region);
    for (int32_t held :
         {object.market_class(), object.radio_identity().base.market_class,
          object.radio_info().base.market_class, object.codeplug().flags().base.market_class})
      EXPECT_EQ(held, market_class);
  }
}

TEST(ResetDevice, RestartsTheRadioAndReturnsItsStatus) {
  sim::SimulatedRadio radio;
  radio.failures = {fails(sim::Call::IoControl, "RESETRADIO", 2, kLinkDown),
                    fails(sim::Call::IoControl, "RESETRADIO", 3, S_FALSE)};
  for (HRESULT status : {S_OK, kLinkDown, S_FALSE})
    EXPECT_EQ(guarded([&] { return reset_device(radio.as_unknown(), 1); }), status);
  EXPECT_EQ(radio.reset_count, 1);
  EXPECT_EQ(radio.calls.size(), 3u);
  EXPECT_EQ(guarded([&] { return reset_device(nullptr, 1); }), E_POINTER);
}

// GetUpdInfo's answer: the flags (0xEE where untouched) and the 1 x 2 array of VT_UI1 (-1 for an
// element of another type).
using Answer = std::tuple<HRESULT, BYTE, BYTE, std::vector<int>>;
Answer upd_info(CPServices& object, sim::SimulatedRadio& radio) {
  BYTE serial = 0xEE, model = 0xEE;
  ScopedVariant versions;
  const HRESULT result = guarded(
      [&] { return get_upd_info(object, radio.as_unknown(), 3, &serial, &model, versions.get()); });
  std::vector<int> majors;
  LONG rows = -1, columns = -1;
  if (versions->vt == (VT_ARRAY | VT_VARIANT) &&
      SUCCEEDED(SafeArrayGetUBound(versions->parray, 1, &rows)) &&
      SUCCEEDED(SafeArrayGetUBound(versions->parray, 2, &columns)) && rows == 0)
    for (LONG at[2] = {0, 0}; at[1] <= columns; ++at[1]) {
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
  const auto version = [](const char* v) {
    return [=](sim::SimulatedRadio& r) { r.identity.codeplug_version = v; };
  };
  struct Case {
    const char* what;
    sim::FactoryOptions radio;
    Change change;
    Answer answer;
  } cases[] = {
      {"the radio read", {.serial = "S1"}, [](sim::SimulatedRadio&) {}, {S_OK, 1, 1, {7, 7}}},
      {"same model", {.serial = "S2"}, [](sim::SimulatedRadio&) {}, {S_OK, 0, 1, {7, 7}}},
      {"other model",
       {.serial = "S1", .model = "M1PORT00002"},
       [](sim::SimulatedRadio&) {},
       {S_OK, 1, 0, {7, 7}}},
      {"model not padded",
       {.serial = "S1"},
       [](sim::SimulatedRadio& r) { r.identity.model_number = "M1PORT00001"; },
       {S_OK, 1, 0, {7, 7}}},
      {"older radio",
       {.serial = "S1", .version = "0650"},
       [](sim::SimulatedRadio&) {},
       {S_OK, 1, 1, {7, 6}}},
      {"serial fails",
       {},
       failing(command_fails("QUERYRADIOSERIALNUMBER", kLinkDown)),
       {kUnexpected, 0xEE, 0xEE, {}}},
      {"model fails",
       {},
       failing(command_fails("QUERYRADIOMODELNUMBER", kLinkDown)),
       {kUnexpected, 0xEE, 0xEE, {}}},
      {"version fails",
       {},
       failing(command_fails("QUERYRADIOCODEPLUGVERSION", kLinkDown)),
       {kUnexpected, 0xEE, 0xEE, {}}},
      {"version not digits", {}, version("07A0"), {kUnexpected, 0xEE, 0xEE, {}}},
      {"version too new", {}, version("0800"), {hr(0x80040985), 0xEE, 0xEE, {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimulatedRadio radio = sim::make_gen1_radio(c.radio);
    c.change(radio);
    EXPECT_EQ(upd_info(object, radio), c.answer);
    EXPECT_EQ(state_of(object), kept);
  }
  BYTE flag = 0;
  EXPECT_EQ(guarded([&] {
              return get_upd_info(object, source.as_unknown(), 1, nullptr, &flag, nullptr);
            }),
            E_POINTER);
}

// A source that refuses some blocks and notes which it was asked for.
class PickySource final : public CPServices {
 public:
  PickySource() : CPServices(nullptr) {}
  std::vector<LONG> refused, asked;
  HRESULT STDMETHODCALLTYPE GetBlockData(LONG lBlockID, VARIANT* pvarBlockData) override {
    asked.push_back(lBlockID);
    if (std::count(refused.begin(), refused.end(), lBlockID)) return E_FAIL;
    return CPServices::GetBlockData(lBlockID, pvarBlockData);
  }
};

// Copy takes every block the source gives and skips the ones that fail. Block 4 comes first (its
// version lays the others out), then block 2 (the radio kind), then 3; the container's header
// and the IDs reached through another ID are never asked, and no ID twice.
TEST(Copy, TakesEveryBlockTheSourceGivesAndSkipsFailures) {
  PickySource source;
  sim::SimulatedRadio radio =
      sim::make_gen1_radio({.serial = "COPY1", .version = "0650", .mobile = true});
  ASSERT_EQ(read(source, radio), S_OK);
  source.refused = {3};
  CPServices object(nullptr);
  const BlockRecord block3 = object.radio_identity().block();
  EXPECT_EQ(guarded([&] { return copy_from(object, &source); }), S_OK);
  EXPECT_EQ(object.radio_identity().block(), block3);
  EXPECT_EQ(object.radio_info().block(), source.radio_info().block());
  EXPECT_EQ(object.codeplug().programming_record().block(),
            source.codeplug().programming_record().block());
  EXPECT_EQ(object.codeplug().flags().fields(), source.codeplug().flags().fields());
  EXPECT_EQ(object.codeplug().addresses().fields(), source.codeplug().addresses().fields());

  std::vector<LONG> asked = source.asked;
  ASSERT_GE(asked.size(), 3u);
  EXPECT_EQ(std::vector<LONG>(asked.begin(), asked.begin() + 3), (std::vector<LONG>{4, 2, 3}));
  for (LONG never : {1, 33, 35, 36, 741, 742})
    EXPECT_EQ(std::count(asked.begin(), asked.end(), never), 0);
  std::sort(asked.begin(), asked.end());
  EXPECT_EQ(std::adjacent_find(asked.begin(), asked.end()), asked.end());

  EXPECT_EQ(guarded([&] { return copy_from(object, nullptr); }), E_POINTER);
  const State before = state_of(object);
  EXPECT_EQ(guarded([&] { return copy_from(object, &object); }), S_OK);
  EXPECT_EQ(state_of(object), before);
}

}  // namespace
}  // namespace cps
