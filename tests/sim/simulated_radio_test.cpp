// The simulated radio: command answers, transfers at the memory's edges, the radio file, and
// factory radios read by the component. (Injected failures are run by the device flow tests.)
#include "sim/simulated_radio.h"

#include "gen1/device/flows.h"
#include "interface/cp_services.h"
#include "interface/guard.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"
#include "engine/variant_codec.h"

#include <unistd.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>

namespace cps::sim {
namespace {


HRESULT command(SimulatedRadio& radio, const std::string& word, VARIANT* data) {
  ScopedBstr text(bstr_from_narrow(word));
  return radio.IoControl(0, text.get(), data);
}

// An answer as "type:value", a BSTR in Windows-1252.
std::string shown(const VARIANT& v) {
  switch (v.vt) {
    case VT_BSTR: return "BSTR:" + (v.bstrVal ? narrow_from_bstr(v.bstrVal) : "");
    case VT_BOOL: return "BOOL:" + std::to_string(v.boolVal);
    case VT_UI4: return "UI4:" + std::to_string(v.ulVal);
    case VT_I4: return "I4:" + std::to_string(v.lVal);
    default: return "vt " + std::to_string(v.vt);
  }
}

// Each command answers with its type; an unknown word (compared exactly) is refused untouched.
TEST(SimulatedRadio, CommandsAnswerWithTheirTypes) {
  SimulatedRadio radio;
  radio.identity = {.uuid = "b6467cc6902f11d6bfa600c04f6b8c5d", .codeplug_version = "0720",
                    .software_version = "R09.08.07", .serial_number = "7A0123",
                    .model_number = "H01\x80M  ",
                    .low_battery = true, .max_transfer = 0xFFFFFFF0};
  const std::tuple<const char*, VARTYPE, HRESULT, std::string> rows[] = {
      {"QUERYRADIOMODELNUMBER", VT_BSTR, S_OK, "BSTR:H01\x80M  "},
      {"QUERYRADIOLOWBATTERY", VT_BOOL, S_OK, "BOOL:-1"},
      {"QUERYMAXIMUMTRANSFERSIZE", VT_UI4, S_OK, "UI4:4294967280"},
      {"QUERYMAXIMUMTRANSFERSIZE", VT_I4, S_OK, "I4:2147483647"},
      {"queryradiouuid", VT_BSTR, E_INVALIDARG, "BSTR:"},
  };
  for (const auto& [word, preset, hr, want] : rows) {
    ScopedVariant data;
    data->vt = preset;
    EXPECT_EQ(command(radio, word, data.get()), hr) << word;
    EXPECT_EQ(shown(*data), want) << word;
  }
  EXPECT_EQ(command(radio, "QUERYRADIOSERIALNUMBER", nullptr), E_POINTER);
}

// A transfer reads or stores exactly its bytes, or, running past 0xFFFF, is refused untouched.
TEST(SimulatedRadio, TransfersStayInsideTheAddressSpace) {
  const std::tuple<Call, USHORT, USHORT, HRESULT> rows[] = {
      {Call::Read, 0x0001, 0xFFFF, S_OK}, {Call::Read, 0xFFFF, 2, E_INVALIDARG},
      {Call::Write, 0xFFFF, 1, S_OK},     {Call::Write, 0xFFF0, 0x11, E_INVALIDARG}};
  for (const auto& [call, address, length, hr] : rows) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(call) << " " << address << "+" << length);
    SimulatedRadio radio;
    for (size_t i = 0; i < radio.memory.size(); ++i) radio.memory[i] = static_cast<uint8_t>(i * 7 + 1);
    std::vector<uint8_t> expected = radio.memory, buffer(length, 0xA5);
    EXPECT_EQ(call == Call::Read ? radio.ReadDeviceVirtualAddress(0, length, address, buffer.data(), 0)
                                 : radio.WriteDeviceVirtualAddress(0, length, address, buffer.data()),
              hr);
    if (call == Call::Write && hr == S_OK) std::copy_n(buffer.begin(), length, expected.begin() + address);
    EXPECT_EQ(radio.memory, expected);
    EXPECT_TRUE(call == Call::Write || hr != S_OK || std::equal(buffer.begin(), buffer.end(), &expected[address]));
  }
}

// Both readers: a plain ASCII identity (the quick reader of save()'s own layout) and one beyond
// ASCII (the checked reader).
TEST(SimulatedRadio, SavedRadioLoadsIdentically) {
  const std::string path = testing::TempDir() + "sim_radio_round_trip_" + std::to_string(getpid()) + ".json";
  const Identity identities[] = {{"u", "0650", "R1", "S\xE9RIE\x80", "M", true, 0xFFFFFFFF},
                                 {"b6467cc6", "0720", "R09.08.07", "7A0123", "M1PORT00001     ", false, 4096}};
  for (const Identity& identity : identities) {
    SimulatedRadio radio = make_gen1_radio({.mobile = true, .band = "UHF"});
    radio.generation = 2;
    radio.identity = identity;
    radio.reset_count = 3;
    radio.memory.front() = radio.memory.back() = 0xFF;
    for (size_t i = 0; i < 200; ++i) radio.memory[0x8000 + i * 3] = static_cast<uint8_t>(i + 1);
    radio.save(path);
    // Laid out as the JSON library's own dump(2) lays it out.
    std::ifstream in(path);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text, nlohmann::ordered_json::parse(text).dump(2) + "\n");
    EXPECT_EQ(text, radio.file_text());  // what a host that writes the file itself puts there
    const SimulatedRadio loaded = SimulatedRadio::load(path);
    const auto fields = [](const SimulatedRadio& r, const Identity& i) {
      return std::tuple(r.generation, r.reset_count, r.memory, i.uuid, i.codeplug_version,
                        i.software_version, i.serial_number, i.model_number, i.low_battery, i.max_transfer);
    };
    EXPECT_EQ(fields(loaded, loaded.identity), fields(radio, radio.identity)) << identity.serial_number;
  }
  // A radio of blank memory has no runs.
  SimulatedRadio blank;
  blank.save(path);
  std::ifstream in(path);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_EQ(text, nlohmann::ordered_json::parse(text).dump(2) + "\n");
  EXPECT_EQ(SimulatedRadio::load(path).memory, std::vector<uint8_t>(0x10000, 0));
  std::filesystem::remove(path);
}

TEST(SimulatedRadio, MalformedRadioFilesAreRefusedWithTheirReason) {
  const std::string path = testing::TempDir() + "sim_radio_malformed.json";
  const auto file = [](const std::string& memory) {
    return R"({"generation": 1, "identity": {"uuid": "x"}, "memory": )" + memory + "}";
  };
  const std::pair<std::string, const char*> rows[] = {
      {R"({"generation": 3, "identity": {}, "memory": []})", "'generation' must be 1 or 2"},
      {R"({"generation": 1, "identity": {"serial": "1"}, "memory": []})", "unknown key 'identity.serial'"},
      {file(R"([{"address": 65535, "hex": "0102"}])"), "'memory[0]' runs past address 0xFFFF"},
      // save()'s own layout, which the quick reader leaves to the checked one when it is wrong
      {R"({"generation": 1, "identity": {"uuid": "u", "codeplug_version": "0720", "software_version": "R1",
          "serial_number": "1", "model_number": "M", "low_battery": false, "max_transfer": 0},
          "reset_count": 0, "memory": [{"address": 0, "hex": "0G"}]})",
       "'memory[0].hex' holds a character that is not a hex digit"},
      {R"({"generation": 1, "identity": {"uuid": "u", "codeplug_version": "0720", "software_version": "R1",
          "serial_number": "1", "model_number": "M", "low_battery": false, "max_transfer": 0},
          "reset_count": 0, "memory": [{"address": 0, "hex": "01"}]} trailing)",
       "not valid JSON"},
  };
  for (const auto& [text, reason] : rows) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    try {
      SimulatedRadio::load(path);
      ADD_FAILURE() << "loaded " << text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
    }
  }
  std::filesystem::remove(path);
  EXPECT_THROW(SimulatedRadio::load(path), std::runtime_error);
}

// A factory radio is read whole by the component; options its blocks cannot hold are refused.
TEST(FactoryRadio, IsReadByTheComponent) {
  const FactoryOptions rows[] = {
      {}, {.serial = "9ZZ0001", .model = "M1MOBILE0000001X", .version = "0610", .mobile = true, .band = "UHF"}};
  for (const FactoryOptions& o : rows) {
    SimulatedRadio radio = make_gen1_radio(o);
    CPServices object(nullptr);
    ASSERT_EQ(guarded([&] { return read_device(object.radio(), radio.as_unknown(), 0, nullptr); }), S_OK);
    const RadioIdentity& block3 = object.radio_identity();
    EXPECT_EQ(std::tuple(block3.text(83), block3.model_number(), block3.codeplug_version(), block3.band().band),
              std::tuple(o.serial, o.model, o.version.substr(0, 2) + "." + o.version.substr(2), o.band));
    EXPECT_EQ(object.radio_info().is_mobile(), o.mobile);
  }
  for (const FactoryOptions& o : {FactoryOptions{.serial = "12345678901"}, {.version = "0800"}, {.channels = 256}})
    EXPECT_THROW(make_gen1_radio(o), std::invalid_argument) << o.serial << o.version << o.band << o.channels;
}

// A model of the configured fixed-spacing list keeps 12.5 kHz in the radio whatever a host sets.
TEST(FactoryRadio, FixedSpacingModelsWrite12_5) {
  const std::filesystem::path models = std::filesystem::temp_directory_path() / ("cps-fixed-models-" + std::to_string(::getpid()) + ".json");
  std::ofstream(models) << R"({"gen1": {"fixed_spacing": ["M1FIXED"]}})";
  ::setenv("CPSERVICES_MODELS", models.c_str(), 1);
  SimulatedRadio radio = make_gen1_radio({.model = "M1FIXED"});
  CPServices object(nullptr);
  ASSERT_EQ(guarded([&] { return read_device(object.radio(), radio.as_unknown(), 0, nullptr); }), S_OK);
  ScopedVariant field;
  encode_field({386, "25", 1}, field.get());
  EXPECT_EQ(object.SetFieldAt(38, 0, *field), S_OK);
  ASSERT_EQ(guarded([&] { return write_device(object.radio(), radio.as_unknown(), 0, nullptr, nullptr); }), S_OK);
  ::unsetenv("CPSERVICES_MODELS");
  std::filesystem::remove(models);

  CPServices plain(nullptr);  // no fixed-spacing list: the bits show as they are
  ASSERT_EQ(guarded([&] { return read_device(plain.radio(), radio.as_unknown(), 0, nullptr); }), S_OK);
  EXPECT_EQ(plain.codeplug().handler(38)->block().entry(0).text(386), "12.5");
}

}  // namespace
}  // namespace cps::sim
