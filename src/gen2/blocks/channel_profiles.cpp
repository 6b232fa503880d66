#include "gen2/blocks/channel_profiles.h"

#include "gen2/values/range_table.h"

namespace cps::gen2 {

namespace {

using layout::Codec;
using layout::FieldDesc;

constexpr Choice kBusyRule[] = {{0, "Disabled"}, {1, "Only if Channel Busy"}, {2, "Always"}, kChoiceEnd};
constexpr Choice kOverride[] = {
    {0, "None"}, {1, "Carrier Override"}, {2, "Carrier Independent"}, {3, "Manual Override"}, kChoiceEnd};
constexpr Choice kLevel[] = {{0, "Low"}, {1, "High"}, kChoiceEnd};
constexpr Choice kSendingMode[] = {{0, "Disabled"}, {1, "Every PTT"}, {2, "Once Only"}, {3, "Periodic"}, kChoiceEnd};
constexpr Choice kSquelchMode[] = {
    {0, "TXQ/DXQ & Tone"}, {1, "Tone"}, {2, "TXQ/DXQ"}, {3, "CSQ"}, kChoiceEnd};
constexpr Choice kSquelch[] = {{0, "CSQ"}, {1, "TXQ/DXQ"}, kChoiceEnd};
constexpr Choice kRxOrMonitor[] = {{0, "Rx"}, {1, "Monitor 1"}, kChoiceEnd};
constexpr Choice kAutoReset[] = {
    {0, "XQ squelch not affected by auto-reset"}, {1, "Override XQ squelch when auto-reset timer is active"},
    kChoiceEnd};
constexpr Choice kTransmitPermission[] = {
    {0, "Never Allowed"},
    {1, "Always Allowed"},
    {2, "Channel Free"},
    {3, "Past TXQ/DXQ Lockout"},
    {4, "TXQ/DXQ Lockout"},
    {5, "Carrier Gone Timer Expired"},
    {6, "TXQ/DXQ Not Detected"},
    {7, "No TXQ/DXQ or Past TXQ/DXQ"},
    {8, "Channel Free or No TXQ/DXQ but Past TXQ/DXQ"},
    kChoiceEnd,
};
constexpr Choice kTimerMode[] = {{0, "None"}, {1, "Non-Cumulative"}, {2, "Cumulative"}, kChoiceEnd};
constexpr Choice kTelegramOrAddress[] = {{0, "Telegram"}, {1, "Address Send"}, kChoiceEnd};
constexpr Choice kSending[] = {{0, "Disabled"}, {1, "Address Send"}, {2, "Telegram"}, kChoiceEnd};

// A flag or small number checked by its range row, and a choice.
constexpr FieldDesc num(int32_t id, uint16_t offset, uint8_t mask) {
  return {.id = id, .offset = offset, .mask = mask, .ranges = &kRanges};
}
constexpr FieldDesc pick(int32_t id, uint16_t offset, uint8_t mask, const Choice* choices, const char* dflt,
                         const char* name = nullptr) {
  return {.id = id, .offset = offset, .mask = mask, .codec = Codec::Choice, .dflt = {dflt}, .choices = choices,
          .name = name};
}

constexpr size_t kEntryBytes = 18;
constexpr uint16_t kFreshRecordSize = 26;

constexpr FieldDesc kRows[] = {
    {.id = 2424, .offset = 0, .mask = 0x80, .dflt = {"1"}, .ranges = &kRanges},
    num(2425, 0, 0x40), num(2426, 0, 0x20), num(2427, 0, 0x10),
    pick(2428, 0, 0x0C, kBusyRule, "Disabled", "busy_rule"),
    pick(2429, 0, 0x03, kOverride, "None", "carrier_override"),
    num(2430, 1, 0x80), num(2431, 1, 0x40), num(2432, 1, 0x20),
    pick(2433, 1, 0x10, kLevel, "Low", "level"),
    pick(2435, 1, 0x07, kSendingMode, "Disabled", "id_sending_mode"),
    pick(2436, 2, 0xC0, kSquelchMode, "CSQ", "squelch_mode"),
    pick(2437, 2, 0x20, kSquelch, "CSQ", "squelch"),
    pick(2438, 2, 0x10, kRxOrMonitor, "Rx", "rx_or_monitor"),
    num(2439, 2, 0x08), num(2440, 2, 0x04), num(2441, 2, 0x02), num(2442, 2, 0x01),
    num(2443, 3, 0x80), num(2444, 3, 0x40), num(2445, 3, 0x20), num(2446, 3, 0x10),
    num(2447, 3, 0x08), num(2448, 3, 0x04),
    pick(2449, 3, 0x02, kAutoReset, "XQ squelch not affected by auto-reset", "auto_reset_xq_override"),
    num(2450, 3, 0x01),
    pick(2451, 4, 0xF0, kTransmitPermission, "Always Allowed", "transmit_permission"),
    num(2452, 4, 0x08),
    pick(2453, 4, 0x06, kTimerMode, "None", "timer_mode"),
    {.id = 2455, .offset = 5, .codec = Codec::Scaled, .dflt = {"100"}, .ranges = &kRanges, .scale = 10,
     .name = "transmit_timer"},  // tens
    pick(2456, 6, 0xC0, kTelegramOrAddress, "Telegram", "telegram_or_address_send"),
    num(2458, 6, 0x1F),
    num(2459, 7, 0x80), num(2461, 7, 0x1F),
    pick(2462, 8, 0xC0, kSending, "Disabled", "sending_1"), num(2464, 8, 0x1F),
    pick(2465, 9, 0xC0, kSending, "Disabled", "sending_2"), num(2467, 9, 0x1F),
    pick(2468, 10, 0xC0, kSending, "Disabled", "sending_3"), num(2470, 10, 0x1F),
    pick(2471, 11, 0xC0, kSending, "Disabled", "sending_4"), num(2473, 11, 0x1F),
    num(2474, 12, 0x80), num(2476, 12, 0x1F),
    num(2477, 13, 0x80), num(2479, 13, 0x1F),
    num(2480, 14, 0x80), num(2481, 14, 0x40), num(2482, 14, 0x20), num(2483, 14, 0x10),
    num(2484, 14, 0x08), num(2485, 14, 0x04), num(2486, 14, 0x02), num(2487, 14, 0x01),
    num(2488, 15, 0x80), num(2489, 15, 0x40), num(2490, 15, 0x20), num(2491, 15, 0x10),
    num(2492, 15, 0x08), num(2493, 15, 0x04), num(2494, 15, 0x02), num(2495, 15, 0x01),
    num(2496, 16, 0xFF),
    pick(2497, 17, 0xC0, kSending, "Disabled", "sending_5"), num(2499, 17, 0x1F),
};
static_assert(layout::layout_ok(kRows, kEntryBytes));
static_assert(layout::choices_fit(kRows));

constexpr ListShape kShape{.rows = kRows, .min_count = 0, .max_count = 100, .record_size = kFreshRecordSize,
                           .reframe_when_empty = true};

constexpr int32_t kTypeDependentFlag = 2431;

}  // namespace

ChannelProfiles::ChannelProfiles() : FramedList(kShape) {}

FieldList ChannelProfiles::default_entry() const {
  FieldList entry = FramedList::default_entry();
  entry.set_text(kTypeDependentFlag, radio_type() == 2 ? "0" : "1");
  return entry;
}

}  // namespace cps::gen2
