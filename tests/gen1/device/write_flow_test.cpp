// WriteDevice and CloneDevice against simulated radios.
#include "gen1/block_directory.h"
#include "gen1/device/flows.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "sim/simulated_radio.h"

#include <gtest/gtest.h>

#include <ctime>
#include <functional>

namespace cps {
namespace {

using Bytes = std::vector<uint8_t>;
using sim::Call;
using sim::SimulatedRadio;
constexpr uint16_t kImage = 0x300;
constexpr uint8_t kRadioForm = 9;  // field 45 of the radios' images, so that a kept header shows

struct Progress final : ICPDProgressDlg {
  void SetRange(int lower, int upper) override { range = upper - lower; }
  void SetStep(int) override {}
  void StepIt() override { ++steps; }
  IUnknown* unknown() { return reinterpret_cast<IUnknown*>(static_cast<ICPDProgressDlg*>(this)); }
  int range = 0, steps = 0;
};

Bytes image_of(const SimulatedRadio& radio) {
  return radio.read(kImage, read_be(radio.memory.data() + kImage + 2, 2) + size_t{1});
}

SimulatedRadio radio_with(const sim::FactoryOptions& options = {}) {
  SimulatedRadio radio = sim::make_gen1_radio(options);
  const size_t length = image_of(radio).size();
  radio.memory[kImage] = kRadioForm;
  radio.memory[kImage + length - 1] = checksum(radio.memory.data() + kImage, length - 1);
  return radio;
}

std::unique_ptr<CPServices> read_from(SimulatedRadio& radio) {
  auto object = std::make_unique<CPServices>(nullptr);
  EXPECT_EQ(read_device(object->radio(), radio.as_unknown(), 0, nullptr), S_OK);
  radio.calls.clear();
  return object;
}

HRESULT run(bool cloning, CPServices& object, SimulatedRadio& radio, ICPServices* to = nullptr, Progress* p = nullptr) {
  IUnknown *device = radio.as_unknown(), *progress = p ? p->unknown() : nullptr;
  return guarded([&] { return cloning ? clone_device(object.radio(), device, 1, progress) : write_device(object.radio(), device, 1, progress, to); });
}

auto snapshot(CPServices& o) {
  Codeplug& c = o.codeplug();
  return std::tuple(c.fields(), c.flags().fields(), c.addresses().fields(), o.radio_info().block(),
                    o.radio_identity().block(), c.programming_record().block());
}

size_t calls_of(const SimulatedRadio& radio, Call kind, const std::string& command = "") {
  return std::count_if(radio.calls.begin(), radio.calls.end(), [&](auto& c) { return c.call == kind && c.command == command; });
}

Bytes repacked(CPServices& object) {
  Codeplug codeplug = object.codeplug();
  RadioInfo block2 = object.radio_info();
  return codeplug.pack_image(object.radio_identity(), block2, true);
}

std::string block4_text(CPServices& o, int32_t id) { return o.codeplug().programming_record().block().entry(0).text(id); }

// A write refused before the radio is read touches nothing; only family 1 is asked its battery.
TEST(WriteFlowTest, ChecksStopTheWriteBeforeTheRadioIsRead) {
  using Arrange = std::function<void(SimulatedRadio&, RadioIdentity&)>;
  const auto version = [](const char* v) -> Arrange {
    return [=](SimulatedRadio& r, RadioIdentity& dest) { r.identity.codeplug_version = "07A0", dest.set_field(0, {85, v, 0}); };
  };
  const auto serial = [](const char* v) -> Arrange {
    return [=](SimulatedRadio& r, RadioIdentity& dest) { r.failures.push_back({Call::IoControl, "QUERYRADIOSERIALNUMBER"}), dest.set_field(0, {83, v, 0}); };
  };
  const std::tuple<const char*, Arrange, int, bool, bool> cases[] = {  // battery asked, destination
      {"another model", [](auto& r, auto&) { r.identity.model_number[10] = '2'; }, 122, true, true},
      {"model unpadded", [](auto& r, auto&) { r.identity.model_number.resize(11); }, 122, true, true},
      {"low battery", [](auto& r, auto&) { r.identity.low_battery = true; }, 129, true, true},
      {"family 2", [](auto& r, auto&) { r.identity.low_battery = true, r.identity.uuid = "B6467CC6902F11D6BFA600C04F6B8C5D"; }, 0, false, true},
      {"no serial, same in destination", serial("100TAA0001"), 0, true, true},
      {"no serial, another in destination", serial("100TAA0002"), 123, true, true},
      {"no version, destination's 07.20", version("07.20"), 0, true, true},
      {"no version, destination's 08.00", version("08.00"), 133, true, true},
      {"no version, no destination", version("07.20"), 111, true, false},
  };
  for (const auto& [what, arrange, code, battery, with_destination] : cases) {
    SimulatedRadio radio = radio_with();
    auto object = read_from(radio), destination = read_from(radio);
    arrange(radio, destination->radio_identity());
    const auto before = std::tuple(snapshot(*object), radio.memory);
    EXPECT_EQ(run(false, *object, radio, with_destination ? destination.get() : nullptr), code ? hresult_of(code) : S_OK) << what;
    EXPECT_EQ(calls_of(radio, Call::IoControl, "QUERYRADIOLOWBATTERY"), battery ? 1u : 0u) << what;
    if (code == 0) continue;
    EXPECT_EQ(calls_of(radio, Call::Read) + calls_of(radio, Call::Write), 0u) << what;
    EXPECT_TRUE(std::tuple(snapshot(*object), radio.memory) == before) << what;
  }
}

// Into an older mobile: block 2 is the radio's, the codeplug's flags win, a write takes the
// radio's versions (103, 461), a clone keeps its own and refuses its source radio. Written back,
// only block 4's source and stamp change. Then each call fails in turn: a stopped flow keeps the
// object, and the radio but for a partial write; a write goes on past the serial, version and
// image header queries.
TEST(WriteFlowTest, GoodRunsAndEveryDeviceCallFailingInTurn) {
  constexpr size_t kStored = 64;
  for (const auto& [cloning, field_103, steps] : {std::tuple(false, "06.50", 10), std::tuple(true, "07.20", 9)}) {
    SimulatedRadio source, radio;
    std::unique_ptr<CPServices> object, destination;
    auto setup = [&](int other) {  // 0: back into the source; 1: another radio; 2: an older mobile
      source = radio_with();
      object = read_from(source);
      object->codeplug().programming_record().set_field(0, {104, "Tuner", 0});
      radio = other ? radio_with({.serial = "100TAA0002", .version = other == 2 ? "0650" : "0720", .mobile = other == 2}) : source;
      destination = read_from(radio);
    };
    setup(2);
    object->codeplug().flags().set_enabled(17, false);
    // The portable's buttons have no place in a mobile (sharing a model only in this simulation).
    object->codeplug().flags().set_enabled(15, false);
    radio.identity.software_version = "R09.08.07";
    Progress progress;
    ASSERT_EQ(run(cloning, *object, radio, destination.get(), &progress), S_OK);
    EXPECT_EQ(std::tuple(progress.range, progress.steps, calls_of(radio, Call::IoControl, "QUERYRADIOSOFTWAREVERSION")),
              std::tuple(steps, steps, cloning ? 0u : 1u));
    EXPECT_EQ(std::tuple(block4_text(*object, 103), block4_text(*object, 461) == "R09.08.07"), std::tuple(field_103, !cloning));
    EXPECT_TRUE(object->radio_info().is_mobile());
    auto read_back = read_from(radio);
    EXPECT_EQ(block4_text(*read_back, 103), "06.50");  // the radio's own version either way
    EXPECT_FALSE(read_back->codeplug().enabled(17));
    const Bytes kept = source.memory;
    EXPECT_EQ(run(cloning, *object, source), cloning ? hresult_of(121) : S_OK);
    EXPECT_EQ(source.memory == kept, cloning);

    setup(cloning);
    const Bytes unwritten = image_of(radio);
    ASSERT_EQ(run(cloning, *object, radio, destination.get()), S_OK);
    const Bytes written = image_of(radio);
    const size_t b4 = object->codeplug().addresses().address_of(4) - kImage;
    for (size_t i = 0; !cloning && i + 1 < written.size(); ++i)
      EXPECT_TRUE((i >= b4 + 5 && i <= b4 + 12) || written[i] == unwritten[i]) << "image offset " << i;
    EXPECT_EQ(written[b4 + 5], 4);  // "Tuner"
    EXPECT_EQ(repacked(*object), written);
    const std::time_t time = std::time(nullptr);
    char today[16];
    std::strftime(today, sizeof today, "%m-%d-%Y", std::localtime(&time));
    EXPECT_EQ(block4_text(*object, 105), today);
    const std::vector<sim::CallRecord> calls = radio.calls;
    for (size_t i = 0; i < calls.size(); ++i) {
      const sim::CallRecord& call = calls[i];
      const std::string what = std::to_string(cloning) + " " + std::to_string(i) + " " + call.command;
      setup(cloning);
      const auto hr = static_cast<HRESULT>(0x80041000u + i);
      const auto same = [&](auto& c) { return c.call == call.call && c.command == call.command; };
      radio.failures.push_back({call.call, call.command, static_cast<int>(std::count_if(calls.begin(), calls.begin() + i + 1, same)), hr, kStored});
      const auto before = snapshot(*object);
      const Bytes memory = radio.memory;
      const bool header_read = call.call == Call::Read && call.address == kImage && call.length == 8;
      const bool goes_on = !cloning && (header_read || call.command == "QUERYRADIOSERIALNUMBER" ||
                                        call.command == "QUERYRADIOCODEPLUGVERSION");
      EXPECT_EQ(run(cloning, *object, radio, destination.get()), goes_on ? S_OK : hr) << what;
      if (goes_on || call.command == "RESETRADIO") {  // written: the object holds the radio's image
        EXPECT_EQ(image_of(radio)[0], header_read ? 4 : kRadioForm) << what;
        EXPECT_TRUE(header_read || repacked(*object) == image_of(radio)) << what;
        continue;
      }
      EXPECT_EQ(snapshot(*object), before) << what;
      EXPECT_EQ(calls_of(radio, Call::Write), call.call == Call::Write ? 1u : 0u) << what;
      const size_t stored = call.call == Call::Write ? kStored : 0;
      const Bytes now = radio.read(kImage, written.size());
      for (size_t k = 0; k < written.size(); ++k)
        EXPECT_TRUE((k < stored && k >= b4 + 6 && k <= b4 + 12) ||
                    now[k] == (k < stored ? written[k] : memory[kImage + k])) << what << " " << k;
    }
  }
}

// A failed image write keeps what the flow brought in; only the stamp (105, 106) comes back, and
// a clone gives 103 back however it ends.
TEST(WriteFlowTest, AFailedImageWriteRestoresOnlyTheStamp) {
  constexpr auto kRefused = static_cast<HRESULT>(0x80041234u);
  for (const bool cloning : {false, true}) {
    SCOPED_TRACE(cloning ? "clone" : "write");
    SimulatedRadio source = radio_with();
    auto object = read_from(source);
    object->codeplug().programming_record().set_field(0, {105, "01-02-2003", 0});
    object->codeplug().programming_record().set_field(0, {106, "04:05", 0});
    object->codeplug().programming_record().set_field(0, {461, "R00.00.01", 0});
    SimulatedRadio radio = radio_with({.serial = "100TAA0002", .version = "0650", .mobile = true});
    radio.identity.software_version = "R09.08.07";
    const size_t length = image_of(radio).size();
    radio.memory[kImage] = 0x33;
    radio.memory[kImage + length - 1] = checksum(radio.memory.data() + kImage, length - 1);
    auto destination = read_from(radio);
    radio.failures.push_back({Call::Write, "", 1, kRefused});

    EXPECT_EQ(run(cloning, *object, radio, destination.get()), kRefused);
    EXPECT_EQ(std::tuple(block4_text(*object, 105), block4_text(*object, 106)), std::tuple("01-02-2003", "04:05"));
    EXPECT_EQ(block4_text(*object, 103), cloning ? "07.20" : "06.50");
    EXPECT_EQ(block4_text(*object, 461), cloning ? "R00.00.01" : "R09.08.07");
    EXPECT_TRUE(object->radio_info().is_mobile());
    EXPECT_EQ(object->codeplug().fields().text(45), "51");
  }
  // A clone stopped by a check after 103 was set gives it back too.
  SimulatedRadio source = radio_with();
  auto object = read_from(source);
  SimulatedRadio radio = radio_with({.serial = "100TAA0002", .version = "0650"});
  radio.identity.model_number[10] = '2';
  EXPECT_EQ(run(true, *object, radio), hresult_of(122));
  EXPECT_EQ(block4_text(*object, 103), "07.20");
}

// Written across major versions, the channel list takes the target's layout (27/8 from version 1
// to 2, 24/14 back), the channels unchanged.
TEST(WriteFlowTest, ChannelListsFollowTheTargetsMajorVersion) {
  struct Case { const char* from; const char* to; uint8_t length; const char* alias_length; };
  for (const Case& c : {Case{"0120", "0220", 27, "8"}, Case{"0220", "0110", 24, "14"}}) {
    SimulatedRadio source = radio_with({.version = c.from}), target = radio_with({.version = c.to});
    std::unique_ptr<CPServices> object = read_from(source);
    const BlockRecord before = object->codeplug().handler(38)->block();
    ASSERT_EQ(run(false, *object, target), S_OK) << c.from;
    std::unique_ptr<CPServices> again = read_from(target);
    const BlockRecord after = again->codeplug().handler(38)->block();
    EXPECT_EQ(after.header().text(47), std::to_string(c.length));
    EXPECT_EQ(after.header().text(464), c.alias_length);
    ASSERT_EQ(after.entry_count(), before.entry_count());
    for (int32_t id : {455, 456, 386, 396, 391, 397, 392, 424})
      EXPECT_EQ(after.entry(7).text(id), before.entry(7).text(id)) << id;
  }
}

// Trunking and every reference to it are dropped for a radio older than trunking, kept otherwise;
// block 40's mode goes off with it.
TEST(WriteFlowTest, TrunkingIsDroppedForAnOlderRadio) {
  SimulatedRadio source = radio_with({.version = "0720"}), older = radio_with({.version = "0220"}),
                 newer = radio_with({.version = "0320"});
  auto trunked = [&] {
    std::unique_ptr<CPServices> object = read_from(source);
    Gen1Directory blocks(object->radio());
    blocks.find(32)->add_list();
    blocks.find(38)->set_field(2, {744, "LS Trunking", 1});
    blocks.find(38)->set_field(2, {745, "1", 1});
    blocks.find(12)->set_member_field(0, 1, {443, "LS Trunking", 1}, blocks);
    BlockHandler& alerts = *blocks.find(40);
    alerts.set_field(0, {314, "LS Trunking", 1});
    alerts.set_field(0, {313, "0", 1});
    alerts.set_field(0, {301, "Silent", 1});
    return object;
  };
  std::unique_ptr<CPServices> kept = trunked();
  ASSERT_EQ(run(false, *kept, newer), S_OK);
  EXPECT_EQ(read_from(newer)->codeplug().handler(32)->block().entry_count(), 2u);

  std::unique_ptr<CPServices> object = trunked();
  ASSERT_EQ(run(false, *object, older), S_OK);
  EXPECT_EQ(object->codeplug().handler(32)->block().entry_count(), 0u);
  const FieldList channel = object->codeplug().handler(38)->block().entry(2);
  EXPECT_FALSE(channel.contains(744) && channel.text(744) == "LS Trunking");
  std::unique_ptr<CPServices> again = read_from(older);
  for (int32_t id : {37, 32, 34}) EXPECT_FALSE(again->codeplug().enabled(id)) << id;
  const ListBlockRecord scan = again->codeplug().handler(12)->lists();
  EXPECT_EQ(scan.member_count(0), 4u);  // channels 0, 2, 3 and the selected channel
  const FieldList alerts = again->codeplug().handler(40)->block().entry(0);
  EXPECT_EQ(alerts.text(301) + " " + alerts.text(314) + " " + alerts.text(313), "Disabled Conventional 255");
}

}  // namespace
}  // namespace cps
