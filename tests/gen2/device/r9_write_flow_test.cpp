// WriteDevice, CloneDevice, ResetDevice and the pack of an R9 codeplug against simulated radios.
#include "gen2/device/r9_fixture.h"

#include "gen2/device/flows.h"
#include "engine/variant_codec.h"
#include "platform/ole_util.h"
#include "support/error_code.h"

#include <regex>

namespace cps::gen2::test {
namespace {

constexpr HRESULT kLinkDown = hr_of(0x8007001F);

Bytes written(const sim::SimulatedRadio& radio, size_t length) { return radio.read(643, length); }

class R9WriteTest : public R9Test {
 protected:
  Object read_object(sim::SimulatedRadio& radio) {
    Object object = make();
    EXPECT_EQ(read(*object, radio), S_OK);
    return object;
  }
};

TEST_F(R9WriteTest, WriteBackGivesTheSameImage) {
  const Bytes image = codeplug_image(usual_blocks());
  sim::SimulatedRadio radio = make_r9_radio(image);
  Object object = read_object(radio);
  radio.calls.clear();
  RecordingDialog dialog;
  ASSERT_EQ(write(*object, radio, &dialog), S_OK);
  EXPECT_EQ(dialog.log, "[0,11]/1...........");
  EXPECT_EQ(radio.writes(), 1u);
  EXPECT_EQ(radio.reset_count, 1);
  EXPECT_EQ(written(radio, image.size()), image);

  const FieldList& info = object->codeplug().info();
  EXPECT_TRUE(std::regex_match(info.text(info::kDate), std::regex(R"(\d\d-\d\d-\d\d\d\d)"))) << info.text(info::kDate);
  EXPECT_TRUE(std::regex_match(info.text(info::kTime), std::regex(R"(\d\d:\d\d)"))) << info.text(info::kTime);
  // The radio's own 2003 was taken after the version was set: its numbers as the block shows them.
  EXPECT_EQ(info.get(info::kMajor), (FieldValue{info::kMajor, "4", 1}));
  EXPECT_EQ(info.text(info::kKept), "4660");

  // The device exchanges, in order; a radio of type 1 is asked for its battery.
  std::vector<std::string> commands;
  for (const sim::CallRecord& call : radio.calls)
    commands.push_back(call.call == sim::Call::IoControl ? call.command : call.call == sim::Call::Read ? "read" : "write");
  EXPECT_EQ(commands, (std::vector<std::string>{"QUERYRADIOUUID", "QUERYMAXIMUMTRANSFERSIZE", "QUERYRADIOLOWBATTERY",
                                                "QUERYRADIOCODEPLUGVERSION", "QUERYRADIOSERIALNUMBER",
                                                "QUERYRADIOMODELNUMBER", "QUERYRADIOSOFTWAREVERSION", "read", "read",
                                                "write", "QUERYRADIOSOFTWAREVERSION", "RESETRADIO"}));
}

TEST_F(R9WriteTest, StampTexts) {
  std::tm t{};
  t.tm_year = 2009 - 1900;
  t.tm_mon = 6;
  t.tm_mday = 4;
  t.tm_hour = 9;
  t.tm_min = 5;
  EXPECT_EQ(stamp_texts(t), (std::pair<std::string, std::string>("07-04-2009", "09:05")));
  t.tm_mon = 11, t.tm_mday = 31, t.tm_hour = 23, t.tm_min = 59;
  EXPECT_EQ(stamp_texts(t), (std::pair<std::string, std::string>("12-31-2009", "23:59")));
}

TEST_F(R9WriteTest, SerialDigitsReadAsText) {
  EXPECT_EQ(serial_text("31303054414130303031"), "100TAA0001");
  EXPECT_EQ(serial_text("3132000000"), "12");      // as far as the first zero byte
  EXPECT_EQ(serial_text("31ZZ"), "1\xFF");        // not hexadecimal: a byte no radio answers
  EXPECT_EQ(serial_text("3"), "");
}

// The radio's block 2003 replaces the codeplug's, all but field 2058; the codeplug goes out
// under the radio's version, and the radio keeps its own block 2867.
TEST_F(R9WriteTest, WriteTakesTheRadiosOwnBlocks) {
  sim::SimulatedRadio source = make_r9_radio(codeplug_image(usual_blocks()));
  Object object = read_object(source);
  object->codeplug().info().set_text(info::kKept, "7");

  std::vector<Block> theirs = usual_blocks();
  theirs[0].bytes = info_block(kSerial, kModel, 4, 2);
  theirs[2].bytes = framed(4, {{1, 2, 3, 4}, {5, 6, 7, 8}});  // its own 2867
  sim::SimulatedRadio radio = make_r9_radio(codeplug_image(theirs));
  radio.identity.codeplug_version = "04.02";
  ASSERT_EQ(write(*object, radio), S_OK);

  std::vector<Block> expected = theirs;
  Bytes kept = info_block(kSerial, kModel, 4, 2);
  kept[4 + 53] = 0, kept[4 + 54] = 7;
  kept.back() = checksum(kept.data(), kept.size() - 1);
  expected[0].bytes = kept;
  const Bytes image = codeplug_image(expected);
  EXPECT_EQ(written(radio, image.size()), image);
  R9Codeplug& c = object->codeplug();
  EXPECT_EQ(c.slot(2867).opaque, theirs[2].bytes);
  EXPECT_EQ(c.info().text(info::kMinor), "2");
  EXPECT_EQ(c.list(2003).codeplug_version(), "04");
  EXPECT_EQ(c.list(2003).target_version(), "04");
  EXPECT_EQ(c.list(2003).version_pair(), 0x0404);

  // A radio without 2867, or of another major version, gets none, and the presence bit says so.
  std::vector<Block> without = usual_blocks();
  without.erase(without.begin() + 2);
  sim::SimulatedRadio bare = make_r9_radio(codeplug_image(without));
  sim::SimulatedRadio older = make_r9_radio(codeplug_image(usual_blocks()));
  older.identity.codeplug_version = "03.10";
  for (sim::SimulatedRadio* target : {&bare, &older}) {
    Object again = read_object(source);
    ASSERT_EQ(write(*again, *target), S_OK);
    Bytes sent = codeplug_image(without);
    EXPECT_EQ(written(*target, sent.size() - 67), Bytes(sent.begin(), sent.end() - 67));  // all but the addresses
    EXPECT_EQ(again->codeplug().presence.get_record().text(2867), "0");
  }
}

// Channels (2018) unpack into their radio form, the host edits the host form, and the write
// packs the radio form rebuilt from it.
TEST_F(R9WriteTest, RadioFormFollowsTheHostForm) {
  const std::vector<Block> blocks = {{2003, info_block()}, {2018, framed(1, {{4}, {5}})}};
  sim::SimulatedRadio radio = make_r9_radio(codeplug_image(blocks));
  Object object = make({2018});
  ASSERT_EQ(read(*object, radio), S_OK);
  R9Slot& channels = object->codeplug().slot(2018);
  ASSERT_NE(channels.radio_form, nullptr);
  EXPECT_EQ(channels.handler->get_record(), channels.radio_form->get_record());
  EXPECT_EQ(channels.handler->get_record().entry(1).text(2875), "5");

  ScopedVariant v;
  encode_field({2875, "6", 1}, v.get());
  ASSERT_EQ(object->SetFieldAt(2018, 1, *v), S_OK);
  ASSERT_EQ(write(*object, radio), S_OK);
  const Bytes image = codeplug_image({{2003, info_block()}, {2018, framed(1, {{4}, {6}})}});
  EXPECT_EQ(written(radio, image.size()), image);
  EXPECT_EQ(channels.radio_form->get_record().entry(1).text(2875), "6");
}

TEST_F(R9WriteTest, WriteChecksTheRadioFirst) {
  struct Case {
    const char* what;
    std::function<void(sim::SimulatedRadio&)> change;
    HRESULT hr;
  } cases[] = {
      {"low battery", [](auto& r) { r.identity.low_battery = true; }, hr_of(0x80040981)},
      {"another serial number", [](auto& r) { r.identity.serial_number = "100TAA0002"; }, hr_of(0x8004097B)},
      {"a model without padding", [](auto& r) { r.identity.model_number = kModel; }, hr_of(0x8004097A)},
      {"another model", [](auto& r) { r.identity.model_number = "R9PORT09        "; }, hr_of(0x8004097A)},
      {"another family", [](auto& r) { r.identity.uuid = "b2a70a04902f11d6bfa600c04f6b8c5d"; }, hr_of(0x80040970)},
      {"version 05.00", [](auto& r) { r.identity.codeplug_version = "05.00"; }, hr_of(0x80040985)},
  };
  for (const Case& c : cases) {
    sim::SimulatedRadio radio = make_r9_radio(codeplug_image(usual_blocks()));
    Object object = read_object(radio);
    c.change(radio);
    EXPECT_EQ(write(*object, radio), c.hr) << c.what;
    EXPECT_EQ(radio.writes(), 0u) << c.what;
    EXPECT_EQ(radio.reset_count, 0) << c.what;
  }

  // A radio of type 2 is not asked for its battery.
  sim::SimulatedRadio mobile = make_r9_radio(codeplug_image({{2003, info_block(kSerial, kModel2)}}), kSerial, kModel2);
  Object object = read_object(mobile);
  mobile.identity.low_battery = true;
  mobile.calls.clear();
  EXPECT_EQ(write(*object, mobile), S_OK);
  for (const sim::CallRecord& call : mobile.calls) EXPECT_NE(call.command, "QUERYRADIOLOWBATTERY");
}

// Each device call failing in turn: its status comes back, nothing is written or reset, and the
// stamp is not left behind: a failed image write puts back what 2054 and 2055 held before it,
// which is the radio's own block 2003 taken just before.
TEST_F(R9WriteTest, WriteStopsAtEachFailingCall) {
  const char* commands[] = {"QUERYRADIOUUID", "QUERYMAXIMUMTRANSFERSIZE", "QUERYRADIOLOWBATTERY",
                            "QUERYRADIOCODEPLUGVERSION", "QUERYRADIOSERIALNUMBER", "QUERYRADIOMODELNUMBER",
                            "QUERYRADIOSOFTWAREVERSION"};
  std::vector<sim::Failure> failures;
  for (const char* command : commands) failures.push_back({sim::Call::IoControl, command, 1, kLinkDown});
  failures.push_back({sim::Call::Read, "", 1, kLinkDown});
  failures.push_back({sim::Call::Read, "", 2, kLinkDown});
  failures.push_back({sim::Call::Write, "", 1, kLinkDown});
  for (const sim::Failure& failure : failures) {
    sim::SimulatedRadio radio = make_r9_radio(codeplug_image(usual_blocks()));
    Object object = read_object(radio);
    object->codeplug().info().set_text(info::kDate, "01-02-2003");
    object->codeplug().info().set_text(info::kTime, "04:05");
    radio.calls.clear();
    radio.failures = {failure};
    EXPECT_EQ(write(*object, radio), kLinkDown) << failure.command;
    EXPECT_EQ(radio.writes(), 0u);
    EXPECT_EQ(radio.reset_count, 0);
    const bool taken = failure.call == sim::Call::Write;
    EXPECT_EQ(object->codeplug().info().text(info::kDate), taken ? "" : "01-02-2003");
    EXPECT_EQ(object->codeplug().info().text(info::kTime), taken ? "" : "04:05");
  }
  // After the write, the closing software query and the reset still report their failures.
  const std::pair<const char*, int> late[] = {{"QUERYRADIOSOFTWAREVERSION", 2}, {"RESETRADIO", 1}};
  for (const auto& [command, nth] : late) {
    sim::SimulatedRadio radio = make_r9_radio(codeplug_image(usual_blocks()));
    Object object = read_object(radio);
    radio.calls.clear();
    radio.failures = {{sim::Call::IoControl, command, nth, kLinkDown}};
    EXPECT_EQ(write(*object, radio), kLinkDown) << command;
    EXPECT_EQ(radio.writes(), 1u);
    EXPECT_NE(object->codeplug().info().text(info::kDate), "");  // the stamp stays after a good write
  }
}

// 15741 bytes are written; one more gives 134 and nothing is written.
TEST_F(R9WriteTest, CodeplugSizeLimit) {
  for (uint16_t presence_length : {uint16_t{7}, uint16_t{8}}) {
    const std::vector<Block> blocks = {{2003, info_block()}, {2010, framed(106, std::vector<Bytes>(147, Bytes{1}))}};
    const Bytes image = codeplug_image(blocks, presence_length);
    ASSERT_EQ(image.size(), 15741u + presence_length - 7);
    sim::SimulatedRadio radio = make_r9_radio(image);
    Object object = read_object(radio);
    EXPECT_EQ(write(*object, radio), presence_length == 7 ? S_OK : hr_of(0x80040986));
    EXPECT_EQ(radio.writes(), presence_length == 7 ? 1u : 0u);
  }
}

TEST_F(R9WriteTest, CloneGoesToAnotherRadioOfTheModel) {
  sim::SimulatedRadio source = make_r9_radio(codeplug_image(usual_blocks()));
  Object object = read_object(source);

  RecordingDialog dialog;
  EXPECT_EQ(clone(*object, source, &dialog), hr_of(0x80040979));  // its own radio
  EXPECT_EQ(source.writes(), 0u);

  sim::SimulatedRadio other = make_r9_radio(codeplug_image(usual_blocks("200TAA0002")), "200TAA0002");
  dialog.log.clear();
  ASSERT_EQ(clone(*object, other, &dialog), S_OK);
  EXPECT_EQ(dialog.log, "[0,10]/1..........");
  EXPECT_EQ(serial_text(object->codeplug().info().text(info::kSerial)), "200TAA0002");
  EXPECT_EQ(other.reset_count, 1);

  sim::SimulatedRadio third = make_r9_radio(codeplug_image(usual_blocks("300TAA0003")), "300TAA0003", "R9PORT09");
  EXPECT_EQ(clone(*object, third), hr_of(0x8004097A));
}

TEST_F(R9WriteTest, ResetSendsTheCommandAlone) {
  sim::SimulatedRadio radio = make_r9_radio(codeplug_image(usual_blocks()));
  Object object = make();
  EXPECT_EQ(object->ResetDevice(radio.as_unknown(), 7), S_OK);
  EXPECT_EQ(radio.reset_count, 1);
  ASSERT_EQ(radio.calls.size(), 1u);
  radio.failures = {{sim::Call::IoControl, "RESETRADIO", 2, kLinkDown}};
  EXPECT_EQ(object->ResetDevice(radio.as_unknown(), 7), kLinkDown);
}

}  // namespace
}  // namespace cps::gen2::test
