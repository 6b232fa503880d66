// The simulated radio: the control commands with their answer types, memory transfers at the
// address space's edges, injected failures (which call, which command, how much of a write
// lands), the radio file both ways and every way it can be malformed, and factory radios read
// back through the component's own blocks.
#include "sim/simulated_radio.h"

#include "blocks/radio_identity.h"
#include "blocks/radio_info.h"
#include "codeplug/codeplug.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace cps::sim {
namespace {

namespace fs = std::filesystem;
constexpr HRESULT kLinkDown = static_cast<HRESULT>(0x80070015);

HRESULT command(SimulatedRadio& radio, const std::string& word, VARIANT* data) {
  ScopedBstr text(bstr_from_narrow(word));
  return radio.IoControl(0, text.get(), data);
}

// A directory of its own per test, removed afterwards.
class TempDir {
 public:
  TempDir()
      : path_(fs::temp_directory_path() /
              ("sim_radio_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name())) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  size_t entries() const {
    return static_cast<size_t>(
        std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
  }

 private:
  fs::path path_;
};

// ---- Control commands --------------------------------------------------------------------------

// An answer as "type:value"; a BSTR's characters beyond ASCII as <code point>.
std::string shown(const VARIANT& v) {
  switch (v.vt) {
    case VT_BSTR: {
      std::string text = "BSTR:";
      for (UINT i = 0; i < SysStringLen(v.bstrVal); ++i)
        text += v.bstrVal[i] < 0x80 ? std::string(1, static_cast<char>(v.bstrVal[i]))
                                    : "<" + std::to_string(v.bstrVal[i]) + ">";
      return text;
    }
    case VT_BOOL: return "BOOL:" + std::to_string(v.boolVal);
    case VT_UI4: return "UI4:" + std::to_string(v.ulVal);
    case VT_I4: return "I4:" + std::to_string(v.lVal);
    default: return "vt " + std::to_string(v.vt);
  }
}

TEST(SimulatedRadio, CommandsAnswerWithTheirTypes) {
  SimulatedRadio radio;
  radio.identity = {.uuid = "b6467cc6902f11d6bfa600c04f6b8c5d", .codeplug_version = "0720",
                    .software_version = "R09.08.07", .serial_number = "7A0123",
                    .model_number = "H01\x80M  ",  // 0x80: the euro sign, U+20AC
                    .low_battery = true, .max_transfer = 0xFFFFFFF0};
  const std::tuple<const char*, VARTYPE, std::string> rows[] = {
      {"QUERYRADIOUUID", VT_BSTR, "BSTR:b6467cc6902f11d6bfa600c04f6b8c5d"},
      {"QUERYRADIOCODEPLUGVERSION", VT_BSTR, "BSTR:0720"},
      {"QUERYRADIOSOFTWAREVERSION", VT_BSTR, "BSTR:R09.08.07"},
      {"QUERYRADIOSERIALNUMBER", VT_BSTR, "BSTR:7A0123"},
      {"QUERYRADIOMODELNUMBER", VT_BSTR, "BSTR:H01<8364>M  "},
      {"QUERYRADIOLOWBATTERY", VT_BOOL, "BOOL:-1"},
      {"QUERYMAXIMUMTRANSFERSIZE", VT_EMPTY, "UI4:4294967280"},
      {"QUERYMAXIMUMTRANSFERSIZE", VT_UI4, "UI4:4294967280"},
      {"QUERYMAXIMUMTRANSFERSIZE", VT_I4, "I4:2147483647"},
      {"RESETRADIO", VT_EMPTY, "vt 0"},
  };
  for (const auto& [word, preset, want] : rows) {
    ScopedVariant data;
    data->vt = preset;
    EXPECT_EQ(command(radio, word, data.get()), S_OK) << word;
    EXPECT_EQ(shown(*data), want) << word;
  }
  EXPECT_EQ(radio.reset_count, 1);

  radio.identity.low_battery = false;
  ScopedVariant battery;
  battery->vt = VT_BOOL;
  ASSERT_EQ(command(radio, "QUERYRADIOLOWBATTERY", battery.get()), S_OK);
  EXPECT_EQ(shown(*battery), "BOOL:0");
}

TEST(SimulatedRadio, CommandWordsAreComparedExactly) {
  SimulatedRadio radio;
  for (const char* word :
       {"queryradiouuid", "QUERYRADIOUUID ", " RESETRADIO", "RESET", "", "QUERYRADIOUUID\tX"}) {
    SCOPED_TRACE(word);
    ScopedVariant data;
    data->vt = VT_BSTR;
    EXPECT_EQ(command(radio, word, data.get()), E_INVALIDARG);
    EXPECT_EQ(data->vt, VT_BSTR);
    EXPECT_EQ(data->bstrVal, nullptr);
  }
  ScopedVariant data;
  EXPECT_EQ(radio.IoControl(0, nullptr, data.get()), E_INVALIDARG);
  EXPECT_EQ(command(radio, "QUERYRADIOSERIALNUMBER", nullptr), E_POINTER);
  EXPECT_EQ(command(radio, "RESETRADIO", nullptr), S_OK);  // nothing to answer
  EXPECT_EQ(radio.reset_count, 1);
  EXPECT_EQ(radio.calls.size(), 9u);
  EXPECT_EQ(radio.calls.front().command, "queryradiouuid");
}

// ---- Memory transfers --------------------------------------------------------------------------

TEST(SimulatedRadio, TransfersStayInsideTheAddressSpace) {
  struct Row {
    Call call;
    USHORT address, length;
    bool null_buffer;
    HRESULT hr;
  };
  const Row rows[] = {
      {Call::Read, 0x0000, 0xFFFF, false, S_OK},      {Call::Read, 0x0001, 0xFFFF, false, S_OK},
      {Call::Read, 0x0002, 0xFFFF, false, E_INVALIDARG}, {Call::Read, 0xFFFF, 1, false, S_OK},
      {Call::Read, 0xFFFF, 2, false, E_INVALIDARG},    {Call::Read, 0x0300, 0, false, S_OK},
      {Call::Read, 0x0300, 8, true, E_POINTER},        {Call::Write, 0x0000, 0xFFFF, false, S_OK},
      {Call::Write, 0xFFFF, 1, false, S_OK},           {Call::Write, 0xFFF0, 0x11, false, E_INVALIDARG},
      {Call::Write, 0x8000, 0xFFFF, false, E_INVALIDARG}, {Call::Write, 0x0300, 8, true, E_POINTER},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << (row.call == Call::Read ? "read " : "write ") << row.address
                                    << "+" << row.length);
    SimulatedRadio radio;
    for (size_t i = 0; i < radio.memory.size(); ++i) radio.memory[i] = static_cast<uint8_t>(i * 7 + 1);
    const std::vector<uint8_t> before = radio.memory;
    // One byte more than the transfer, so that data() is a real pointer even for 0 bytes.
    std::vector<uint8_t> buffer(row.length + size_t{1}, 0xA5);
    BYTE* bytes = row.null_buffer ? nullptr : buffer.data();
    const HRESULT hr = row.call == Call::Read
                           ? radio.ReadDeviceVirtualAddress(0, row.length, row.address, bytes, 0)
                           : radio.WriteDeviceVirtualAddress(0, row.length, row.address, bytes);
    EXPECT_EQ(hr, row.hr);
    ASSERT_EQ(radio.calls.size(), 1u);
    const CallRecord& call = radio.calls[0];
    EXPECT_EQ(std::tuple(call.address, call.length, call.result), std::tuple(row.address, row.length, row.hr));

    std::vector<uint8_t> expected = before;
    if (row.call == Call::Write && SUCCEEDED(row.hr))
      std::copy_n(buffer.begin(), row.length, expected.begin() + row.address);
    EXPECT_EQ(radio.memory, expected);  // a refused write stores nothing
    if (row.call == Call::Read && SUCCEEDED(row.hr)) {
      buffer.pop_back();
      EXPECT_EQ(buffer, std::vector<uint8_t>(before.begin() + row.address,
                                             before.begin() + row.address + row.length));
    }
    EXPECT_EQ(radio.writes(), row.call == Call::Write && row.hr == S_OK ? 1u : 0u);
  }
}

TEST(SimulatedRadio, DirectAccessClampsReadsAndRefusesWritesPastTheEnd) {
  SimulatedRadio radio;
  radio.write(0xFFFE, {1, 2});
  EXPECT_EQ(radio.read(0xFFFD, 10), (std::vector<uint8_t>{0, 1, 2}));
  EXPECT_THROW(radio.write(0xFFFE, {1, 2, 3}), std::out_of_range);
  EXPECT_TRUE(radio.calls.empty());
}

// ---- Injected failures -------------------------------------------------------------------------

TEST(SimulatedRadio, EachFailureFiresOnceOnItsCall) {
  struct Step {
    Call call;
    const char* word;  // IoControl
  };
  const Step uuid{Call::IoControl, "QUERYRADIOUUID"}, serial{Call::IoControl, "QUERYRADIOSERIALNUMBER"},
      bad{Call::IoControl, "NOSUCHCOMMAND"}, read{Call::Read, ""}, write{Call::Write, ""};
  const auto fail = [](Call call, int nth, HRESULT hr, std::string word = {}) {
    return Failure{.call = call, .command = std::move(word), .nth = nth, .hr = hr};
  };
  struct Row {
    const char* name;
    std::vector<Failure> failures;
    std::vector<Step> steps;
    std::vector<HRESULT> results;
  };
  const Row rows[] = {
      {"second read", {fail(Call::Read, 2, kLinkDown)},
       {read, write, read, read}, {S_OK, S_OK, kLinkDown, S_OK}},
      {"second control command of any word", {fail(Call::IoControl, 2, E_FAIL)},
       {uuid, read, serial, uuid}, {S_OK, S_OK, E_FAIL, S_OK}},
      {"first serial query only", {fail(Call::IoControl, 1, kLinkDown, serial.word)},
       {uuid, uuid, serial, serial}, {S_OK, S_OK, kLinkDown, S_OK}},
      {"second serial query, counted apart", {fail(Call::IoControl, 2, kLinkDown, serial.word)},
       {serial, uuid, uuid, serial, serial}, {S_OK, S_OK, S_OK, kLinkDown, S_OK}},
      {"two on one kind", {fail(Call::Write, 1, E_FAIL), fail(Call::Write, 3, kLinkDown)},
       {write, write, write, write}, {E_FAIL, S_OK, kLinkDown, S_OK}},
      {"a failure before the word is looked at", {fail(Call::IoControl, 1, kLinkDown, bad.word)},
       {bad, bad}, {kLinkDown, E_INVALIDARG}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SimulatedRadio radio = make_gen1_radio();
    radio.failures = row.failures;
    std::vector<HRESULT> results;
    for (const Step& step : row.steps) {
      std::vector<uint8_t> buffer(4, 0x11);
      ScopedVariant data;
      if (step.call == Call::Read)
        results.push_back(radio.ReadDeviceVirtualAddress(0, 4, 0x300, buffer.data(), 0));
      if (step.call == Call::Write)
        results.push_back(radio.WriteDeviceVirtualAddress(0, 4, 0x10, buffer.data()));
      if (step.call == Call::IoControl) results.push_back(command(radio, step.word, data.get()));
      if (FAILED(results.back()) && step.call == Call::IoControl) {
        EXPECT_EQ(data->vt, VT_EMPTY);
      }
    }
    EXPECT_EQ(results, row.results);
    EXPECT_TRUE(radio.failures.empty());
    ASSERT_EQ(radio.calls.size(), results.size());
    for (size_t i = 0; i < results.size(); ++i) EXPECT_EQ(radio.calls[i].result, results[i]);
  }
}

TEST(SimulatedRadio, FailingWriteStoresExactlyItsPart) {
  struct Row {
    USHORT address, length;
    size_t stored_bytes;
    size_t stored;
  };
  const Row rows[] = {
      {0x300, 10, 0, 0},    {0x300, 10, 4, 4},  {0x300, 10, 10, 10},
      {0x300, 10, 500, 10}, {0xFFFC, 10, 8, 4},  // a part running past the end stores what fits
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message()
                 << row.address << "+" << row.length << " storing " << row.stored_bytes);
    SimulatedRadio radio;
    std::fill(radio.memory.begin(), radio.memory.end(), 0xEE);
    radio.failures = {
        {.call = Call::Write, .command = {}, .nth = 1, .hr = kLinkDown, .stored_bytes = row.stored_bytes}};
    std::vector<uint8_t> data(row.length);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
    EXPECT_EQ(radio.WriteDeviceVirtualAddress(0, row.length, row.address, data.data()), kLinkDown);

    std::vector<uint8_t> expected(radio.memory.size(), 0xEE);
    std::copy_n(data.begin(), row.stored, expected.begin() + row.address);
    EXPECT_EQ(radio.memory, expected);
    EXPECT_EQ(radio.calls.back().stored, row.stored);
    EXPECT_EQ(radio.writes(), row.stored > 0 ? 1u : 0u);
  }
}

// ---- The radio file ----------------------------------------------------------------------------

TEST(SimulatedRadio, SavedRadioLoadsIdentically) {
  TempDir dir;
  SimulatedRadio radio = make_gen1_radio({.mobile = true, .band = "UHF"});
  radio.generation = 2;
  radio.identity.serial_number = "S\xE9RIE\x80";  // Windows-1252 text beyond ASCII
  radio.identity.low_battery = true;
  radio.identity.max_transfer = 0xFFFFFFFF;
  radio.reset_count = 3;
  radio.memory.front() = 0x01;
  radio.memory.back() = 0xFF;
  for (size_t i = 0; i < 200; ++i)
    radio.memory[0x8000 + i * 3] = static_cast<uint8_t>(i + 1);      // gaps of 2
  for (size_t i = 0; i < 100; ++i) radio.memory[0x9000 + i] = 0x5A;  // one long run
  radio.memory[0x9000 + 120] = 0x01;                                 // after a gap of 20

  const std::string path = dir.file("radio.json");
  radio.save(path);
  radio.save(path);  // over an existing file
  const SimulatedRadio loaded = SimulatedRadio::load(path);
  EXPECT_EQ(loaded.generation, 2);
  EXPECT_EQ(loaded.reset_count, 3);
  EXPECT_EQ(loaded.memory, radio.memory);
  const auto fields = [](const Identity& i) {
    return std::tuple(i.uuid, i.codeplug_version, i.software_version, i.serial_number,
                      i.model_number, i.low_battery, i.max_transfer);
  };
  EXPECT_EQ(fields(loaded.identity), fields(radio.identity));
  EXPECT_EQ(dir.entries(), 1u);  // no temporary file left behind

  EXPECT_THROW(radio.save(dir.file("no/such/dir/radio.json")), std::runtime_error);
  EXPECT_EQ(dir.entries(), 1u);
}

TEST(SimulatedRadio, MalformedRadioFilesAreRefusedWithTheirReason) {
  TempDir dir;
  const std::string good_identity = R"("identity": {"uuid": "x"})";
  const auto file = [&](const std::string& memory, const std::string& rest = "") {
    return R"({"generation": 1, )" + good_identity + R"(, "memory": )" + memory + rest + "}";
  };
  struct Row {
    std::string text;
    const char* reason;
  };
  const Row rows[] = {
      {"", "not valid JSON"},
      {"[1, 2]", "it must hold one JSON object"},
      {R"({"identity": {}, "memory": []})", "'generation' is missing"},
      {R"({"generation": 1.5, "identity": {}, "memory": []})", "'generation' must be 1 or 2"},
      {R"({"generation": 1, "memory": []})", "'identity' is missing"},
      {R"({"generation": 1, "identity": [], "memory": []})", "'identity' must be an object"},
      {R"({"generation": 1, "identity": {"serial_number": 123}, "memory": []})",
       "'identity.serial_number' must be a string"},
      {R"({"generation": 1, "identity": {"serial": "1"}, "memory": []})",
       "unknown key 'identity.serial'"},
      {R"({"generation": 1, "identity": {"low_battery": "yes"}, "memory": []})",
       "'identity.low_battery' must be true or false"},
      {R"({"generation": 1, "identity": {"max_transfer": 4294967296}, "memory": []})",
       "'identity.max_transfer' must be a whole number"},
      {R"({"generation": 1, "identity": {}})", "'memory' is missing"},
      {file("[]", R"(, "reset_count": -1)"), "'reset_count' must be a whole number"},
      {file("{}"), "'memory' must be an array"},
      {file("[5]"), "'memory[0]' must be an object"},
      {file(R"([{"hex": "00"}])"), "'memory[0].address' is missing"},
      {file(R"([{"address": "0x300", "hex": "00"}])"),
       "'memory[0].address' must be a whole number"},
      {file(R"([{"address": 65536, "hex": ""}])"),
       "'memory[0].address' must be a whole number from 0 to 65535"},
      {file(R"([{"address": 0, "hex": "00"}, {"address": 1, "hex": "ABC"}])"),
       "'memory[1].hex' has an odd number"},
      {file(R"([{"address": 0, "hex": "0G"}])"),
       "'memory[0].hex' holds a character that is not a hex digit"},
      {file(R"([{"address": 65535, "hex": "0102"}])"), "'memory[0]' runs past address 0xFFFF"},
      {file(R"([{"address": 0, "hex": "00", "size": 1}])"), "unknown key 'memory[0].size'"},
  };
  const std::string path = dir.file("radio.json");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << row.text;
    try {
      SimulatedRadio::load(path);
      ADD_FAILURE() << "loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(row.reason), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  for (const std::string& unreadable : {dir.file("missing.json"), dir.file("")})
    EXPECT_THROW(SimulatedRadio::load(unreadable), std::runtime_error) << unreadable;

  // The smallest good file: only the required keys, hex digits in either case.
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      << file(R"([{"address": 65534, "hex": "aBfF"}])");
  const SimulatedRadio radio = SimulatedRadio::load(path);
  EXPECT_EQ(radio.read(0xFFFE, 2), (std::vector<uint8_t>{0xAB, 0xFF}));
  EXPECT_EQ(radio.identity.uuid, "x");
  EXPECT_EQ(radio.reset_count, 0);
}

// ---- Factory radios ----------------------------------------------------------------------------

// What the component's read finds at a region: 3 header bytes, then 3 + size x count + 1 bytes.
std::vector<uint8_t> region(const SimulatedRadio& radio, uint16_t address) {
  const std::vector<uint8_t> header = radio.read(address, 3);
  return radio.read(address, size_t{3} + size_t{header[1]} * header[2] + 1);
}

std::string answer(SimulatedRadio& radio, const char* word) {
  ScopedVariant data;
  data->vt = VT_BSTR;
  EXPECT_EQ(command(radio, word, data.get()), S_OK) << word;
  return narrow_from_bstr(data->bstrVal);
}

TEST(FactoryRadio, ReadsBackThroughTheComponentsOwnBlocks) {
  struct Row {
    FactoryOptions options;
    const char* band[3];  // fields 90, 91, 92
    const char* kind;     // field 667
  };
  const Row rows[] = {
      {{.mobile = false, .band = "VHF"}, {"136.000000", "136.000000", "174.000000"}, "Tobin"},
      {{.mobile = true, .band = "VHF"}, {"136.000000", "136.000000", "174.000000"}, "Vesk"},
      {{.serial = "9ZZ0001", .model = "M1MOBILE0000001X", .version = "0610", .mobile = true,
        .band = "UHF"}, {"403.000000", "403.000000", "470.000000"}, "Vesk"},
      {{.version = "0305", .mobile = false, .band = "UHF"}, {"403.000000", "403.000000", "470.000000"},
       "Tobin"},
  };
  for (const Row& row : rows) {
    const FactoryOptions& o = row.options;
    SCOPED_TRACE(o.model + " " + o.version + " " + o.band + (o.mobile ? " mobile" : " portable"));
    SimulatedRadio radio = make_gen1_radio(o);
    const std::string major = o.version.substr(0, 2), minor = o.version.substr(2);

    const std::vector<uint8_t> block3_bytes = region(radio, 0x282),
                               block2_bytes = region(radio, 0x2D8);
    ASSERT_LE(0x282 + block3_bytes.size(), 0x2D8u);
    ASSERT_LE(0x2D8 + block2_bytes.size(), 0x300u);
    RadioIdentity block3;
    block3.base.mobile = o.mobile;
    ASSERT_EQ(test::error_of([&] { block3.unpack(3, block3_bytes.data(), block3_bytes.size()); }),
              0);
    RadioInfo block2;
    block2.base.version = major;
    block2.base.minor = minor;
    ASSERT_EQ(test::error_of([&] { block2.unpack(2, block2_bytes.data(), block2_bytes.size()); }),
              0);

    EXPECT_EQ(block3.text(83), o.serial);
    EXPECT_EQ(block3.model_number(), o.model);
    EXPECT_EQ(block3.codeplug_version(), major + "." + minor);
    EXPECT_EQ(block3.region(), "North America");
    const BandData band = block3.band();
    EXPECT_EQ(band.band, o.band);
    EXPECT_EQ(block3.text(90) + block3.text(91) + block3.text(92),
              std::string(row.band[0]) + row.band[1] + row.band[2]);
    EXPECT_EQ(block2.is_mobile(), o.mobile);
    EXPECT_EQ(block2.text(667), row.kind);

    // The answers agree with the blocks as the write flow compares them.
    EXPECT_EQ(answer(radio, "QUERYRADIOUUID"), "b2a70a04902f11d6bfa600c04f6b8c5d");
    EXPECT_EQ(answer(radio, "QUERYRADIOCODEPLUGVERSION"), o.version);
    EXPECT_EQ(answer(radio, "QUERYRADIOSERIALNUMBER"), block3.text(83));
    EXPECT_EQ(answer(radio, "QUERYRADIOMODELNUMBER"), block3.text(84));
    EXPECT_EQ(answer(radio, "QUERYRADIOMODELNUMBER").size(), 16u);

    Codeplug codeplug;
    codeplug.base.version = major;
    codeplug.base.minor = minor;
    codeplug.base.mobile = o.mobile;
    const std::vector<uint8_t> header = radio.read(Codeplug::kImageBase, Codeplug::kHeaderLength);
    const size_t length = size_t{header[2]} * 256 + header[3] + 1;
    const std::vector<uint8_t> image = radio.read(Codeplug::kImageBase, length);
    ASSERT_EQ(image.size(), length);
    ASSERT_EQ(
        test::error_of([&] { codeplug.unpack_image(image.data(), image.size(), block3, block2); }),
        0);
    EXPECT_EQ(codeplug.programming_record().block().entry(0).text(ProgrammingRecord::kVersionField),
              major + "." + minor);
    // Written back unchanged, the codeplug gives the same image: the radio is a fixed point.
    EXPECT_EQ(codeplug.pack_image(block3, block2, false), image);
  }
}

TEST(FactoryRadio, RefusesOptionsItsBlocksCannotHold) {
  const FactoryOptions rows[] = {
      {.version = "07A0"},       {.version = "0800"}, {.version = "720"},
      {.serial = "12345678901"}, {.serial = ""},      {.model = "M1PORT00001234567"},
      {.band = "800"},
  };
  for (const FactoryOptions& o : rows) {
    SCOPED_TRACE(o.serial + " " + o.model + " " + o.version + " " + o.band);
    EXPECT_THROW(make_gen1_radio(o), std::invalid_argument);
  }
}

}  // namespace
}  // namespace cps::sim
