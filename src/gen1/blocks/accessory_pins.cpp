#include "gen1/blocks/accessory_pins.h"

#include "platform/errors.h"
#include "gen1/values/rows.h"

#include <array>
#include <iterator>

namespace cps {

namespace {

using layout::FieldDesc;
using namespace rows;

constexpr size_t kPinCount = std::size(AccessoryPins::kPins);

// A row of the pin function table: the code, its label, and which pins may carry it ('1' per
// pin, in the order of kPins). Codes from 128 are outputs.
struct PinFunction {
  uint8_t code;
  const char* label;
  const char* pins;  // 3 4 6 8 9 12 14
};
constexpr uint8_t kFirstOutput = 128;

constexpr PinFunction kPinFunctions[] = {
    {0, "Unassigned", "1111111"},
    {1, "External Mic PTT", "1011011"},
    {2, "Data PTT", "1011011"},
    {3, "VOX On/Off", "0001011"},
    {4, "Tx XQ Inhibit", "0011011"},
    {5, "TOC Disable", "0011011"},
    {6, "Tx Audio Mute", "0011011"},
    {7, "Rx Audio Mute", "0011011"},
    {8, "Mic Off Hook", "0011011"},
    {9, "Special Off Hook", "0011011"},
    {10, "External Emergency Switch", "0000100"},
    {11, "Channel Select 1", "0011011"},
    {12, "Channel Select 2", "0011011"},
    {13, "Channel Select 3", "0011011"},
    {14, "Channel Select 4", "0011011"},
    {15, "PA Switch", "0011011"},
    {16, "Request to Send", "0011011"},
    {17, "External Call Button 1", "0011011"},
    {18, "External Call Button 2", "0011011"},
    {19, "Emergency Input", "0011011"},
    {20, "Ignition Sense", "0011011"},
    {21, "Option Board 1 (Input)", "0011011"},
    {22, "Option Board 2 (Input)", "0011011"},
    {23, "Option Board 3 (Input)", "0011011"},
    {24, "Option Board 4 (Input)", "0011011"},
    {25, "Data Revert", "0011011"},
    {128, "External Alarm", "0100000"},
    {129, "CSQ Detect", "0101011"},
    {130, "XQ/CSQ/Talkgroup Detect", "0101011"},
    {131, "Clear To Send", "0101011"},
    {133, "Auxiliary Control 1", "0101011"},
    {134, "Auxiliary Control 2", "0101011"},
    {135, "Option Board 1 (Output)", "0101011"},
    {136, "Option Board 2 (Output)", "0101011"},
    {137, "Option Board 3 (Output)", "0101011"},
    {138, "Option Board 4 (Output)", "0101011"},
};
constexpr size_t kFunctionCount = std::size(kPinFunctions);

constexpr bool permits(const PinFunction& f, size_t pin) { return f.pins[pin] == '1'; }

static_assert([] {
  for (const PinFunction& f : kPinFunctions)
    for (size_t pin = 0; pin <= kPinCount; ++pin)
      if (pin < kPinCount ? (f.pins[pin] != '0' && f.pins[pin] != '1') : f.pins[pin] != '\0') return false;
  return true;
}(), "one permission per pin");

// The choice table of one pin: the functions it may carry, in table order.
using PinTable = std::array<Choice, kFunctionCount + 1>;
constexpr std::array<PinTable, kPinCount> kPinTables = [] {
  std::array<PinTable, kPinCount> tables{};
  for (size_t pin = 0; pin < kPinCount; ++pin) {
    size_t n = 0;
    for (const PinFunction& f : kPinFunctions)
      if (permits(f, pin)) tables[pin][n++] = {f.code, f.label};
    tables[pin][n] = kChoiceEnd;
  }
  return tables;
}();

constexpr Choice kAudio[] = {{0, "Filtered Audio"}, {1, "Flat Audio"}, kChoiceEnd};
constexpr Choice kIgnition[] = {{0, "Disabled"}, {1, "Follow Ignition Only"}, {2, "On/Off and Ignition"},
                                {3, "PTT Disabled"}, kChoiceEnd};
constexpr Choice kLevels[] = {{0, "Low"}, {1, "High"}, kChoiceEnd};
// Code 12 has no label.
constexpr Choice kConfigurations[] = {
    {0, "Default"}, {1, "Phone Patch or Q880T"}, {2, "Public Address"}, {3, "Remote"}, {4, "Paging Encoder"},
    {5, "Tarvo or Q12T Tx"}, {6, "Tarvo or Q12T Rx"}, {7, "Tel Interconnect (VN620) Simplex"},
    {8, "Community RPTR (VN610) Tx"}, {9, "Community RPTR (VN610) Rx"}, {10, "Tel Interconnect (VN620) Tx"},
    {11, "Tel Interconnect (VN620) Rx"}, {13, "Channel Steering"}, {14, "Dorn Data Terminal"}, kChoiceEnd};

constexpr int32_t kFirstPinField = 217;
constexpr int32_t function_field(size_t pin) { return kFirstPinField + 3 * static_cast<int32_t>(pin); }
constexpr int32_t level_field(size_t pin) { return function_field(pin) + 2; }

// Pin k: its function in record byte 5 + 2k, its switch and level in the byte after it.
constexpr FieldDesc function_row(size_t pin, const char* name) {
  return named(choice(function_field(pin), static_cast<uint16_t>(5 + 2 * pin), 0xFF, kPinTables[pin].data(),
                      "Unassigned"),
               name);
}
constexpr FieldDesc switch_row(size_t pin, const char* name) {
  return named(flag(function_field(pin) + 1, static_cast<uint16_t>(6 + 2 * pin), 0x40), name);
}
constexpr FieldDesc level_row(size_t pin, const char* name) {
  return named(choice(level_field(pin), static_cast<uint16_t>(6 + 2 * pin), 0x80, kLevels, "Low"), name);
}

// In ID order, the order the entry holds its fields.
constexpr FieldDesc kRows[] = {
    with_attribute(named(flag(AccessoryPins::kActiveHighOutputs, 0, 0x7F), "active_high_outputs"), 2),
    scaled(207, 1, 0xFF, 100, "100"),
    number(208, 2, "1"),
    number(209, 3, "0"),
    flag(210, 4, 0x01),
    with_attribute(flag(211, 4, 0x02), 2),
    flag(212, 4, 0x04),
    flag(213, 4, 0x08),
    named(choice(214, 4, 0x10, kAudio, "Filtered Audio"), "accessory_audio"),
    flag(215, 4, 0x20),
    named(choice(216, 4, 0xC0, kIgnition, "Disabled"), "ignition_mode"),
    function_row(0, "pin_3_function"),  switch_row(0, "pin_3_switch"),  level_row(0, "pin_3_level"),
    function_row(1, "pin_4_function"),  switch_row(1, "pin_4_switch"),  level_row(1, "pin_4_level"),
    function_row(2, "pin_6_function"),  switch_row(2, "pin_6_switch"),  level_row(2, "pin_6_level"),
    function_row(3, "pin_8_function"),  switch_row(3, "pin_8_switch"),  level_row(3, "pin_8_level"),
    function_row(4, "pin_9_function"),  switch_row(4, "pin_9_switch"),  level_row(4, "pin_9_level"),
    function_row(5, "pin_12_function"), switch_row(5, "pin_12_switch"), level_row(5, "pin_12_level"),
    function_row(6, "pin_14_function"), switch_row(6, "pin_14_switch"), level_row(6, "pin_14_level"),
    named(choice(238, 19, 0xFF, kConfigurations, "Default"), "accessory_configuration"),
    scaled(239, 20, 0xFF, 25, "0"),
};
static_assert(std::size(kRows) == 34 && kRows[33].id == 239);
static_assert(layout::layout_ok(kRows, AccessoryPins::kRecordSize) && layout::choices_fit(kRows));

constexpr ListFrame kFrame{.rows = kRows, .record_size = AccessoryPins::kRecordSize, .min_count = 1,
                           .max_count = 1, .header_attribute = 2, .format = 128};

// Bit k set when pin k carries an output function with active level "High".
uint32_t active_high_outputs(const FieldList& entry) {
  uint32_t bits = 0;
  for (size_t pin = 0; pin < kPinCount; ++pin) {
    const std::string& function = entry.text(function_field(pin));
    bool output = false;
    for (const PinFunction& f : kPinFunctions)
      if (function == f.label) output = f.code >= kFirstOutput;
    if (output && entry.text(level_field(pin)) == "High") bits |= 1u << pin;
  }
  return bits;
}

}  // namespace

AccessoryPins::AccessoryPins() : Cloneable(kFrame) { build_default(); }

const char* AccessoryPins::pin_function(uint32_t code, int pin) {
  for (size_t k = 0; k < kPinCount; ++k)
    if (kPins[k] == pin) return label_of(code, kPinTables[k].data());
  raise(err::kChoiceNotFound);
}

std::vector<uint8_t> AccessoryPins::pack(int32_t) {
  BlockRecord record = record_;
  for (size_t i = 0; i < record.entry_count(); ++i)
    record.entry(i).set_text(kActiveHighOutputs, decimal_text(active_high_outputs(record.entry(i))));
  std::vector<uint8_t> image = pack_frame(*frame_, record, base);
  record_ = std::move(record);
  return image;
}

void AccessoryPins::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

}  // namespace cps
