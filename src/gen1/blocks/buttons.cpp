#include "gen1/blocks/buttons.h"

#include "platform/errors.h"
#include "gen1/values/rows.h"

#include <array>
#include <initializer_list>
#include <string_view>

namespace cps {

namespace {

using layout::FieldDesc;

// The label every table gives a function code unless it names it otherwise; nullptr for the
// codes no table holds (19, 26, 46, 47, 50, 56).
constexpr const char* function_label(uint32_t code) {
  switch (code) {
    case 0: return "Unassigned";
    case 1: return "Emergency On";
    case 2: return "Emergency Off";
    case 3: return "Emergency Siren On";
    case 4: return "Emergency Siren Off";
    case 5: return "Monitor";
    case 6: return "Sticky Permanent Monitor";
    case 7: return "Volume Set";
    case 8: return "Battery Indicator";
    case 9: return "Toggle System Scan On/Off";
    case 10: return "Nuisance Delete";
    case 11: return "Toggle High/Low Power";
    case 12: return "Toggle Keypad Lock On/Off";
    case 13: return "Toggle Repeater/Talkaround";
    case 14: return "Toggle Tight/Normal Squelch";
    case 15: return "Toggle Option Board On/Off";
    case 16: return "Phone Mode";
    case 17: return "Phone Speed Dial";
    case 18: return "Radio Call";
    case 20: return "Voice Storage Playback Exit";
    case 21: return "Voice Storage Record";
    case 22: return "Voice Storage Playback";
    case 23: return "Voice Storage Delete";
    case 24: return "Toggle Light On/Off";
    case 25: return "Backlight Control";
    case 27: return "Channel Select 1";
    case 28: return "Channel Select 2";
    case 29: return "Channel Select 3";
    case 30: return "Channel Select 4";
    case 31: return "Auxiliary Control 1";
    case 32: return "Auxiliary Control 2";
    case 33: return "Priority Request to Talk";
    case 34: return "Status";
    case 35: return "Message";
    case 36: return "One Touch 1";
    case 37: return "One Touch 2";
    case 38: return "One Touch 3";
    case 39: return "One Touch 4";
    case 40: return "One Touch 5";
    case 41: return "One Touch 6";
    case 42: return "One Touch 7";
    case 43: return "One Touch 8";
    case 44: return "Menu Channel Up";
    case 45: return "Menu Channel Down";
    case 48: return "Select/Enter";
    case 49: return "Exit";
    case 51: return "Direct Channel";
    case 52: return "Revert Memory Channel 1";
    case 53: return "Zone";
    case 54: return "Open Squelch";
    case 55: return "External Alarm";
    case 57: return "Display Clock";
    case 58: return "Toggle VOX Operation";
    case 59: return "Call Stack";
    case 60: return "Toggle Answer Mode On/Off";
    case 61: return "Scan List Edit";
    case 62: return "Toggle Local/Distance";
    case 63: return "Store Memory Channel 1";
    case 64: return "Toneramp";
    case 65: return "Whisper Mode";
    case 66: return "Revert Memory Channel 2";
    case 67: return "Store Memory Channel 2";
    case 68: return "Menu Mode";
    case 69: return "Home Revert AutoKey 1";
    case 70: return "Home Revert AutoKey 2";
    default: return nullptr;
  }
}

// A choice table of the given codes in the given order, each with its common label unless
// `renamed` names it otherwise.
template <size_t N>
constexpr std::array<Choice, N + 1> functions(const uint8_t (&codes)[N], std::initializer_list<Choice> renamed = {}) {
  std::array<Choice, N + 1> table{};
  for (size_t i = 0; i < N; ++i) {
    const char* label = function_label(codes[i]);
    for (const Choice& r : renamed)
      if (r.code == codes[i]) label = r.label;
    if (label == nullptr) throw "a function code without a label";  // refused at compile time
    table[i] = {codes[i], label};
  }
  table[N] = kChoiceEnd;
  return table;
}

// The mobile's first position: its own labels for codes 1 to 5.
constexpr auto kK = functions({0, 1, 2, 3, 4, 5},
                              {{1, "Select Channel (Fixed)"}, {2, "Zone Selection (Continuous)"},
                               {3, "Zone Selection (Fixed)"}, {4, "Select Channel (Continuous)"},
                               {5, "Menu/Programmable/Numeric"}});
constexpr auto kM1 = functions({0, 1, 3, 5, 7, 8, 9, 11, 13, 14, 15, 16, 17, 18, 20, 22, 23, 24, 34, 35, 52,
                                58, 59, 60, 61});
constexpr auto kM2 = functions({0, 2, 4, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 23, 24, 34, 35,
                                52, 58, 59, 60, 61});
// The mobile tables that know the home revert keys call codes 62 and 69 by them.
constexpr std::initializer_list<Choice> kHomeRevert = {{62, "Home Revert AutoKey 1"}, {69, "Home Revert AutoKey 2"}};
constexpr auto kM3 = functions({0, 3, 5, 7, 8, 9, 11, 13, 14, 15, 16, 17, 18, 20, 22, 23, 24, 34, 35, 52, 58,
                                59, 60, 61, 62, 64, 65, 66, 69},
                               kHomeRevert);
constexpr auto kM4 = functions({0, 4, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 23, 24, 34, 35, 52,
                                58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 69},
                               kHomeRevert);
constexpr auto kM5 = functions({0, 3, 5, 7, 8, 9, 11, 13, 14, 15, 16, 17, 18, 20, 22, 23, 24, 34, 35, 52, 58,
                                59, 60, 61, 62, 64, 65, 66, 68, 69},
                               kHomeRevert);
constexpr auto kM6 = functions({0, 4, 6, 7, 8, 10, 11, 12, 13, 14, 15, 16, 17, 18, 20, 21, 23, 24, 34, 35, 52,
                                58, 59, 60, 61, 62, 63, 64, 65, 66, 67, 68, 69},
                               kHomeRevert);
// Code 52 stands twice in the first portable table.
constexpr auto kP1 = functions({0, 1, 5, 7, 9, 11, 13, 14, 15, 16, 17, 18, 20, 22, 23, 25, 31, 32, 33, 34,
                                35, 52, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 48, 49, 51, 52, 53, 55, 57,
                                58, 59, 60, 61, 62, 64, 66, 68, 69, 70});
constexpr auto kP2 = functions({0, 2, 7, 10, 11, 13, 14, 15, 16, 17, 18, 20, 21, 23, 25, 31, 32, 34, 35, 36,
                                37, 38, 39, 40, 41, 42, 43, 51, 52, 53, 54, 55, 57, 58, 59, 60, 61, 62, 63,
                                64, 66, 67, 68, 69, 70});
constexpr auto kP3 = functions({0, 5, 11, 13, 14, 15, 16, 17, 18, 20, 22, 23, 25, 27, 28, 29, 30, 31, 32, 36,
                                37, 38, 39, 40, 41, 42, 43, 44, 45, 48, 49, 51, 52, 53, 55, 57, 58, 59, 61,
                                62, 64, 66, 68, 69, 70});
constexpr auto kP4 = functions({0, 11, 13, 14, 15, 16, 17, 18, 20, 21, 23, 25, 31, 32, 36, 37, 38, 39, 40, 41,
                                42, 43, 51, 52, 53, 54, 55, 57, 58, 59, 61, 62, 63, 64, 66, 67, 68, 69, 70},
                               {{52, "Home Channel"}});
constexpr auto kP5 = functions({0, 5, 9, 11, 13, 14, 15, 16, 17, 18, 20, 22, 23, 25, 31, 32, 33, 36, 37, 38,
                                39, 40, 41, 42, 43, 44, 45, 48, 49, 51, 52, 53, 55, 57, 58, 59, 60, 61, 62,
                                64, 66, 69, 70});
constexpr auto kP6 = functions({0, 10, 11, 13, 14, 15, 16, 17, 18, 20, 21, 23, 25, 31, 32, 36, 37, 38, 39, 40,
                                41, 42, 43, 51, 52, 53, 54, 55, 57, 58, 59, 60, 61, 62, 63, 64, 66, 67, 69,
                                70});
constexpr auto kP7 = functions({0, 5, 11, 13, 14, 15, 16, 17, 18, 20, 22, 23, 25, 31, 32, 36, 37, 38, 39, 40,
                                41, 42, 43, 44, 45, 48, 49, 51, 52, 53, 55, 57, 58, 59, 61, 62, 64, 66, 69,
                                70});

// Rows per table (without the terminator).
static_assert(kK.size() == 7 && kM1.size() == 26 && kM2.size() == 27 && kM3.size() == 30 &&
              kM4.size() == 33 && kM5.size() == 31 && kM6.size() == 34);
static_assert(kP1.size() == 50 && kP2.size() == 46 && kP3.size() == 46 && kP4.size() == 40 &&
              kP5.size() == 44 && kP6.size() == 41 && kP7.size() == 41);

bool mobile_layout(const BlockBase& base) { return base.mobile != 0; }
bool portable_layout(const BlockBase& base) { return base.mobile == 0; }

constexpr int32_t kFirstMobile = 240, kFirstPortable = 255;

// Position `id` of a layout: one whole byte, at its place in the record.
constexpr FieldDesc button(int32_t id, const Choice* table, const char* name) {
  const bool mobile = id < kFirstPortable;
  return {.id = id, .offset = static_cast<uint16_t>(id - (mobile ? kFirstMobile : kFirstPortable)),
          .codec = layout::Codec::Choice, .dflt = {"Unassigned"}, .choices = table,
          .when = mobile ? mobile_layout : portable_layout, .name = name};
}

// In ID order, which is the order of the bytes.
constexpr FieldDesc kRows[] = {
    button(240, kK.data(), "mobile_button_1"),   button(241, kM1.data(), "mobile_button_2"),
    button(242, kM2.data(), "mobile_button_3"),  button(243, kM3.data(), "mobile_button_4"),
    button(244, kM4.data(), "mobile_button_5"),  button(245, kM3.data(), "mobile_button_6"),
    button(246, kM4.data(), "mobile_button_7"),  button(247, kM3.data(), "mobile_button_8"),
    button(248, kM4.data(), "mobile_button_9"),  button(249, kM5.data(), "mobile_button_10"),
    button(250, kM6.data(), "mobile_button_11"), button(251, kM5.data(), "mobile_button_12"),
    button(252, kM6.data(), "mobile_button_13"), button(253, kM5.data(), "mobile_button_14"),
    button(254, kM6.data(), "mobile_button_15"),

    button(255, kP1.data(), "portable_button_1"),  button(256, kP2.data(), "portable_button_2"),
    button(257, kP1.data(), "portable_button_3"),  button(258, kP2.data(), "portable_button_4"),
    button(259, kP1.data(), "portable_button_5"),  button(260, kP2.data(), "portable_button_6"),
    button(261, kP1.data(), "portable_button_7"),  button(262, kP2.data(), "portable_button_8"),
    button(263, kP3.data(), "portable_button_9"),  button(264, kP4.data(), "portable_button_10"),
    button(265, kP3.data(), "portable_button_11"), button(266, kP4.data(), "portable_button_12"),
    button(267, kP3.data(), "portable_button_13"), button(268, kP4.data(), "portable_button_14"),
    button(269, kP3.data(), "portable_button_15"), button(270, kP4.data(), "portable_button_16"),
    button(271, kP5.data(), "portable_button_17"), button(272, kP6.data(), "portable_button_18"),
    button(273, kP5.data(), "portable_button_19"), button(274, kP6.data(), "portable_button_20"),
    button(275, kP5.data(), "portable_button_21"), button(276, kP6.data(), "portable_button_22"),
    button(277, kP7.data(), "portable_button_23"), button(278, kP7.data(), "portable_button_24"),
    button(279, kP7.data(), "portable_button_25"), button(280, kP7.data(), "portable_button_26"),
    button(281, kP7.data(), "portable_button_27"), button(282, kP7.data(), "portable_button_28"),
    button(283, kP7.data(), "portable_button_29"), button(284, kP7.data(), "portable_button_30"),
};
static_assert(layout::layout_ok(kRows, Buttons::kPortableSize) && layout::choices_fit(kRows));

uint8_t record_size(const BlockBase& base) {
  return mobile_layout(base) ? Buttons::kMobileSize : Buttons::kPortableSize;
}

constexpr ListFrame kFrame{.rows = kRows, .record_size_for = record_size, .min_count = 1, .max_count = 1,
                           .header_attribute = 2, .format = 128};

constexpr std::string_view kUnassigned = "Unassigned";

// The functions a radio of an older major version lacks become "Unassigned": the tone ramp and
// menu mode before major version 2, the home revert keys before 3. A version pair with a 0 is
// no write in progress.
void downgrade(BlockRecord& record, const BlockBase& base) {
  const int data = base.data_major(), target = base.target_major();
  if (data == 0 || target == 0) return;
  const bool before_2 = data > 1 && target == 1, before_3 = data > 2 && target < 3;
  for (size_t i = 0; i < record.entry_count(); ++i) {
    FieldList& entry = record.entry(i);
    for (size_t k = 0; k < entry.count(); ++k) {
      const std::string& text = entry.text_at(k);
      const bool lacked = (before_2 && (text == "Toneramp" || text == "Menu Mode")) ||
                          (before_3 && (text == "Home Revert AutoKey 1" || text == "Home Revert AutoKey 2"));
      if (lacked) entry.set_text(entry.id_at(k), std::string(kUnassigned));
    }
  }
}

}  // namespace

Buttons::Buttons() : Cloneable(kFrame) { build_default(); }

void Buttons::unpack(int32_t id, const uint8_t* image, size_t length) {
  if (base.mobile > 1) raise(err::kRadioType);
  FramedBlock::unpack(id, image, length);
}

std::vector<uint8_t> Buttons::pack(int32_t) {
  BlockRecord record = record_;
  downgrade(record, base);
  std::vector<uint8_t> image = pack_frame(*frame_, record, base);
  record_ = std::move(record);
  return image;
}

void Buttons::set_block(const BlockRecord& given) {
  BlockRecord record = given;
  for (size_t i = 0; i < record.entry_count(); ++i) {
    FieldList& entry = record.entry(i);
    for (size_t k = 0; k < entry.count(); ++k)
      if (entry.text_at(k) == "LED Battery Indicator") entry.set_text(entry.id_at(k), "Battery Indicator");
  }
  FramedBlock::set_block(record);
}

void Buttons::check_field(const FieldValue& field) const {
  if (field.id == kFormatField || field.id == kRecordSizeField || field.id == kRecordCountField)
    check_frame_field(*frame_, field, base);
  else
    FramedBlock::check_field(field);
}

}  // namespace cps
