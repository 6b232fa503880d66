// WriteDevice and CloneDevice against simulated radios: what reaches the radio byte for byte,
// the checks that stop a flow before the radio is read, every device call made to fail in turn,
// and what a clone does differently.
#include "device/flows.h"
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
  EXPECT_EQ(read_device(*object, radio.as_unknown(), 0, nullptr), S_OK);
  radio.calls.clear();
  return object;
}

HRESULT write(CPServices& object, SimulatedRadio& radio, ICPServices* destination,
              Progress* p = nullptr) {
  IUnknown* progress = p ? p->unknown() : nullptr;
  return guarded([&] { return write_device(object, radio.as_unknown(), 1, progress, destination); });
}
HRESULT clone(CPServices& object, SimulatedRadio& radio, Progress* p = nullptr) {
  IUnknown* progress = p ? p->unknown() : nullptr;
  return guarded([&] { return clone_device(object, radio.as_unknown(), 1, progress); });
}

// Everything of the object a flow may change.
std::vector<BlockRecord> snapshot(CPServices& o) {
  BlockRecord own;
  own.header() = o.codeplug().fields();
  own.add_entry(o.codeplug().flags().fields());
  own.add_entry(o.codeplug().addresses().fields());
  return {own, o.radio_info().block(), o.radio_identity().block(),
          o.codeplug().programming_record().block()};
}

size_t calls_of(const SimulatedRadio& radio, Call kind, const std::string& command = "") {
  return std::count_if(radio.calls.begin(), radio.calls.end(), [&](const sim::CallRecord& c) {
    return c.call == kind && c.command == command;
  });
}

// What the object holds, laid out again: after a write, the radio's image.
Bytes repacked(CPServices& object) {
  Codeplug codeplug = object.codeplug();
  RadioInfo block2 = object.radio_info();
  return codeplug.pack_image(object.radio_identity(), block2, true);
}

std::string block4_text(CPServices& o, int32_t id) {
  return o.codeplug().programming_record().block().entry(0).text(id);
}

TEST(WriteFlowTest, EditedCodeplugReachesTheRadioByteForByte) {
  SimulatedRadio radio = radio_with();
  auto object = read_from(radio);
  const Bytes before = image_of(radio);
  radio.identity.software_version = "R09.08.07";
  object->codeplug().programming_record().set_field(0, {104, "Tuner", 0});

  Progress progress;
  EXPECT_EQ(write(*object, radio, nullptr, &progress), S_OK);
  EXPECT_EQ(progress.range, 10);
  EXPECT_EQ(progress.steps, 10);
  EXPECT_EQ(calls_of(radio, Call::Write), 1u);
  EXPECT_EQ(radio.calls.back().command, "RESETRADIO");
  EXPECT_EQ(radio.reset_count, 1);

  // Only block 4's source, date and time (and its checksum) and the image checksum change.
  const Bytes after = image_of(radio);
  ASSERT_EQ(after.size(), before.size());
  const size_t b4 = object->codeplug().addresses().address_of(4) - kImage;
  for (size_t i = 0; i + 1 < after.size(); ++i)
    EXPECT_TRUE((i >= b4 + 5 && i <= b4 + 12) || after[i] == before[i]) << "image offset " << i;
  EXPECT_EQ(after[0], kRadioForm);
  EXPECT_EQ(after[b4 + 5], 4);  // "Tuner"
  EXPECT_EQ(repacked(*object), after);

  const std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  char today[48];
  std::snprintf(today, sizeof today, "%02d-%02d-%04d", local->tm_mon + 1, local->tm_mday,
                local->tm_year + 1900);
  EXPECT_EQ(block4_text(*object, 105), today);
  EXPECT_EQ(block4_text(*object, 461), "R09.08.07");
  EXPECT_EQ(read_from(radio)->codeplug().programming_record().block(),
            object->codeplug().programming_record().block());
}

TEST(WriteFlowTest, ChecksStopTheWriteBeforeTheRadioIsRead) {
  struct Setup {
    SimulatedRadio& radio;
    RadioIdentity& destination;
    sim::Identity& id() { return radio.identity; }
  };
  using Arrange = std::function<void(Setup&)>;
  auto no_version = [](const char* destination_version) -> Arrange {
    return [=](Setup& s) {
      s.id().codeplug_version = "07A0";
      s.destination.set_field(0, {85, destination_version, 0});
    };
  };
  const Arrange no_serial = [](Setup& s) {
    s.radio.failures.push_back({Call::IoControl, "QUERYRADIOSERIALNUMBER"});
  };
  struct Case { const char* what; Arrange arrange; int code; bool battery = true; bool dest = true; };
  const Case cases[] = {
      {"the radio read", [](Setup&) {}, 0},
      {"another model", [](Setup& s) { s.id().model_number[10] = '2'; }, 122},
      {"model unpadded", [](Setup& s) { s.id().model_number.resize(11); }, 122},
      {"low battery", [](Setup& s) { s.id().low_battery = true; }, 129},
      {"family 2 is not asked", [](Setup& s) {
         s.id().low_battery = true;
         s.id().uuid = "B6467CC6902F11D6BFA600C04F6B8C5D";
       }, 0, false},
      {"another serial is not compared", [](Setup& s) { s.id().serial_number = "X"; }, 0},
      {"no serial, same in destination", no_serial, 0},
      {"no serial, another in destination", [&](Setup& s) {
         no_serial(s);
         s.destination.set_field(0, {83, "100TAA0002", 0});
       }, 123},
      {"no version, destination's 07.20", no_version("07.20"), 0},
      {"no version, destination's 08.00", no_version("08.00"), 133},
      {"no version, no destination", no_version("07.20"), 111, true, false},
      {"version 08.00", [](Setup& s) { s.id().codeplug_version = "0800"; }, 133},
  };
  for (const Case& c : cases) {
    SimulatedRadio radio = radio_with();
    auto object = read_from(radio);
    auto destination = read_from(radio);
    Setup setup{radio, destination->radio_identity()};
    c.arrange(setup);
    const auto before = snapshot(*object);
    const Bytes memory = radio.memory;
    const HRESULT result = write(*object, radio, c.dest ? destination.get() : nullptr);
    EXPECT_EQ(result, c.code ? hresult_of(c.code) : S_OK) << c.what;
    EXPECT_EQ(calls_of(radio, Call::IoControl, "QUERYRADIOLOWBATTERY"), c.battery ? 1u : 0u) << c.what;
    if (c.code == 0) continue;
    EXPECT_EQ(calls_of(radio, Call::Read) + calls_of(radio, Call::Write), 0u) << c.what;
    EXPECT_EQ(radio.memory, memory) << c.what;
    EXPECT_EQ(snapshot(*object), before) << c.what;
  }
}

// Every device call of a good run fails in turn with a status of its own. A flow that stops
// leaves the object as it was and the radio untouched before the write, partly written at it;
// a write goes on without a serial or version answer or the radio's image header.
TEST(WriteFlowTest, EveryDeviceCallFailingInTurn) {
  constexpr size_t kStored = 64;
  for (const bool cloning : {false, true}) {
    SimulatedRadio radio;
    std::unique_ptr<CPServices> object, destination;
    auto setup = [&] {
      SimulatedRadio source = radio_with();
      object = read_from(source);
      radio = cloning ? radio_with({.serial = "100TAA0002"}) : source;
      destination = read_from(radio);
    };
    auto run = [&] {
      return cloning ? clone(*object, radio) : write(*object, radio, destination.get());
    };
    setup();
    ASSERT_EQ(run(), S_OK);
    const Bytes written = image_of(radio);
    const std::vector<sim::CallRecord> calls = radio.calls;

    for (size_t i = 0; i < calls.size(); ++i) {
      const sim::CallRecord& call = calls[i];
      const std::string what = std::to_string(cloning) + " " + std::to_string(i) + " " + call.command;
      setup();
      const auto hr = static_cast<HRESULT>(0x80041000u + i);
      const int nth = static_cast<int>(std::count_if(
          calls.begin(), calls.begin() + i + 1,
          [&](auto& c) { return c.call == call.call && c.command == call.command; }));
      radio.failures.push_back({call.call, call.command, nth, hr, kStored});
      const auto before = snapshot(*object);
      const Bytes memory = radio.memory;
      const bool header_read = call.call == Call::Read && call.address == kImage && call.length == 8;
      const bool goes_on = !cloning && (header_read || call.command == "QUERYRADIOSERIALNUMBER" ||
                                        call.command == "QUERYRADIOCODEPLUGVERSION");

      EXPECT_EQ(run(), goes_on ? S_OK : hr) << what;
      if (goes_on || call.command == "RESETRADIO") {  // written: the object holds the radio's image
        EXPECT_EQ(image_of(radio)[0], header_read ? 4 : kRadioForm) << what;
        EXPECT_TRUE(header_read || repacked(*object) == image_of(radio)) << what;
        continue;
      }
      EXPECT_EQ(snapshot(*object), before) << what;
      EXPECT_EQ(calls_of(radio, Call::Write), call.call == Call::Write ? 1u : 0u) << what;
      // The stored part is the good run's image (its date and time aside); the rest is as it was.
      const size_t b4 = object->codeplug().addresses().address_of(4) - kImage;
      const Bytes now = radio.read(kImage, written.size());
      const size_t stored = call.call == Call::Write ? kStored : 0;
      for (size_t k = 0; k < written.size(); ++k) {
        const bool stamp = k < stored && k >= b4 + 6 && k <= b4 + 12;
        EXPECT_TRUE(stamp || now[k] == (k < stored ? written[k] : memory[kImage + k])) << what << k;
      }
    }
  }
}

TEST(WriteFlowTest, CloneDiffersFromWrite) {
  struct Case { bool cloning; const char* field_103; int steps; size_t software; } cases[] = {
      {false, "06.50", 10, 1},
      {true, "07.20", 9, 0},
  };
  for (const Case& c : cases) {
    SimulatedRadio source = radio_with();
    auto object = read_from(source);
    SimulatedRadio target = radio_with({.serial = "100TAA0002", .version = "0650", .mobile = true});
    object->codeplug().flags().set_enabled(17, false);  // the codeplug's own flags win the radio's
    Progress progress;
    EXPECT_EQ(c.cloning ? clone(*object, target, &progress) : write(*object, target, nullptr, &progress),
              S_OK);
    EXPECT_EQ(progress.steps, c.steps);
    EXPECT_EQ(progress.range, c.steps);
    EXPECT_EQ(calls_of(target, Call::IoControl, "QUERYRADIOSOFTWAREVERSION"), c.software);
    EXPECT_EQ(block4_text(*object, 103), c.field_103);
    EXPECT_TRUE(object->radio_info().is_mobile());  // block 2 is the radio's
    EXPECT_FALSE(object->codeplug().enabled(17));
    EXPECT_EQ(image_of(target)[0], kRadioForm);
    auto read_back = read_from(target);
    EXPECT_EQ(block4_text(*read_back, 103), "06.50");  // the radio's own version either way
    EXPECT_EQ(block4_text(*read_back, 105), block4_text(*object, 105));
    EXPECT_FALSE(read_back->codeplug().enabled(17));

    // Back into the radio it came from: a clone refuses it, a write does not compare serials.
    const Bytes memory = source.memory;
    EXPECT_EQ(c.cloning ? clone(*object, source) : write(*object, source, nullptr),
              c.cloning ? hresult_of(121) : S_OK);
    EXPECT_EQ(source.memory == memory, c.cloning);
  }
}

}  // namespace
}  // namespace cps
