// Second-generation factory radios as the R9 service object sees them: read whole with the
// identity they were made with, written back to the same bytes but for the programming stamp.
#include "sim/simulated_radio.h"

#include "gen2/block_table.h"
#include "gen2/device/flows.h"
#include "interface/r9_cp_services.h"

#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <tuple>

namespace cps::sim {
namespace {

class FactoryRadio2 : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(path_) << R"({"gen2": [{"model": ")" << kGen2PortableModel << R"(", "family": 0},
                                          {"model": ")" << kGen2MobileModel << R"(", "family": 1}]})";
    ::setenv("CPSERVICES_MODELS", path_.c_str(), 1);
  }
  void TearDown() override {
    ::unsetenv("CPSERVICES_MODELS");
    std::remove(path_.c_str());
  }
  std::string path_ = ::testing::TempDir() + "cps_factory2_models_" + std::to_string(::getpid()) + ".json";
};

// The codeplug's image as the radio holds it, with the bytes a write stamps (block 2003's date
// and time, entry bytes 29-40, and its checksum) cleared.
std::vector<uint8_t> unstamped(const SimulatedRadio& radio) {
  const std::vector<uint8_t> head = radio.read(gen2::kCodeplugAddress, 4);
  std::vector<uint8_t> image = radio.read(gen2::kCodeplugAddress, size_t{head[2]} << 8 | head[3]);
  constexpr size_t kEntry = 8 + 4;  // after the header and block 2003's frame
  for (size_t at = kEntry + 29; at <= kEntry + 40; ++at) image.at(at) = 0;
  image.at(kEntry + 67) = 0;
  return image;
}

TEST_F(FactoryRadio2, IsReadWholeAndWrittenBackUnchanged) {
  const Gen2FactoryOptions rows[] = {
      {}, {.serial = "9Z1", .model = kGen2MobileModel, .version = "03.07", .channels = kGen2MaxChannels}};
  for (const Gen2FactoryOptions& o : rows) {
    SCOPED_TRACE(o.model + " " + o.version);
    SimulatedRadio radio = make_gen2_radio(o);
    R9CPServices object(nullptr);
    ASSERT_EQ(object.ReadDevice(radio.as_unknown(), 0, nullptr), S_OK);

    // Every block with a handler came back, 2867 only under version 04; the others are absent.
    for (const gen2::R9Block& row : gen2::r9_blocks()) {
      if (row.shape != gen2::R9Shape::List) continue;
      const bool want = row.make_list && (row.id != gen2::kRetainedBlock || o.version.starts_with("04"));
      EXPECT_EQ(object.codeplug().presence.present(row.id), want) << row.id;
      if (want) {
        EXPECT_GT(object.codeplug().list(row.id).record().entry_count(), 0u) << row.id;
      }
    }
    const FieldList& info = object.codeplug().info();
    EXPECT_EQ(std::tuple(gen2::serial_text(info.text(2049)), info.text(2050), info.text(2051) + "." + info.text(2052),
                         info.text(2070)),
              std::tuple(o.serial, (o.model + "        ").substr(0, 16), std::to_string(std::stoi(o.version)) + "." +
                                                                             std::to_string(std::stoi(o.version.substr(3))),
                         radio.identity.software_version));
    // The channel list holds every kind of squelch, each with its code.
    const BlockRecord& channels = object.codeplug().list(2018).record();
    ASSERT_EQ(channels.entry_count(), static_cast<size_t>(o.channels));
    for (auto [i, type, code] : {std::tuple{0, "CSQ", ""}, {1, "TXQ", "88.500000"}, {2, "DXQ", "205"}})
      EXPECT_EQ(std::tuple(channels.entry(i).text(2515), channels.entry(i).text(2519)), std::tuple(type, code)) << i;

    const std::vector<uint8_t> before = unstamped(radio);
    ASSERT_EQ(object.WriteDevice(radio.as_unknown(), 0, nullptr, nullptr), S_OK);
    EXPECT_EQ(unstamped(radio), before);
  }
}

TEST_F(FactoryRadio2, RefusesWhatTheBlocksCannotHold) {
  const Gen2FactoryOptions rows[] = {{.serial = ""},          {.serial = "12345678901"},
                                     {.model = std::string(17, 'M')}, {.version = "05.00"},
                                     {.version = "4.10"},     {.version = "04,10"},
                                     {.channels = 0},         {.channels = kGen2MaxChannels + 1}};
  for (const Gen2FactoryOptions& o : rows)
    EXPECT_THROW(make_gen2_radio(o), std::invalid_argument) << o.serial << " " << o.version << " " << o.channels;
}

}  // namespace
}  // namespace cps::sim
