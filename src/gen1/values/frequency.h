// Channel frequencies and squelch codes, the values of a channel that take the most care.
//
// A frequency is not stored in hertz but as a 2-bit step code and a 16-bit step count above the
// radio's band base frequency (block 3 field 90); packing has to find a step that represents
// the frequency exactly. A squelch code is one 16-bit word whose meaning depends on a squelch
// type stored elsewhere in the channel: a tone in tenths of a hertz, or a digital code with bit
// 11 set and its octal digits below. Both channel lists (block 38 and the personality members
// of block 36) use these, each with its own byte positions.
#pragma once

#include "gen1/values/radio_context.h"
#include "engine/field_layout.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace cps {

// Step codes, labels in kHz. (Each unit has its own copy of these tables, so that block tables
// can name them in constant expressions.)
constexpr Choice kStepCodes[] = {{0, "2.500"}, {1, "3.125"}, {2, "5.000"}, {3, "6.250"}, kChoiceEnd};
// Channel spacing in kHz, and the deviation in kHz that the same two bits give.
constexpr Choice kSpacings[] = {{0, "6.25"}, {1, "12.5"}, {2, "20"}, {3, "25"}, kChoiceEnd};
constexpr Choice kDeviations[] = {{0, "1.25"}, {1, "2.5"}, {2, "4.0"}, {3, "5.0"}, kChoiceEnd};
constexpr Choice kSquelchTypes[] = {{0, "CSQ"}, {1, "TXQ"}, {2, "DXQ"}, kChoiceEnd};
constexpr const char* kFixedSpacing = "12.5";  // what a fixed-spacing model always shows

// The channel-spacing field of both channel lists, two bits of its entry: a fixed-spacing model
// shows and stores 12.5 kHz whatever the bits or the record hold.
std::string spacing_decode(const uint8_t* entry, const layout::FieldDesc& row, const BlockBase& base);
void spacing_encode(std::string_view text, uint8_t* entry, const layout::FieldDesc& row, const BlockBase& base);
void spacing_check(std::string_view text, const layout::FieldDesc& row, const BlockBase& base);
constexpr layout::CustomCodec kSpacingCodec{spacing_decode, spacing_encode, spacing_check};

// ---- Frequencies ------------------------------------------------------------------------------

// base + count x step / 1000 MHz as "%.6f" prints it (base in MHz, step in kHz).
std::string channel_frequency_text(double base_mhz, double step_khz, uint32_t count);

// The text of a stored frequency: base + count x step / 1000 MHz with "%.6f"; a count equal to
// the list's `unprogrammed` value shows the band lower limit instead. 107 when the frequency
// lies outside the band.
std::string frequency_text(uint32_t step_code, uint32_t count, uint32_t unprogrammed, const RadioFacts& radio);

// 107 unless the text is a number within the band, field 91 <= f <= field 92.
void check_frequency(std::string_view text, const RadioFacts& radio);

struct StoredFrequency {
  uint32_t step_code = 0;
  uint32_t count = 0;
};

// The step code and count of a frequency text: the largest step of 6.25, 5, 3.125 and 2.5 kHz
// that divides its distance from the band base exactly. 120 when none does, or when the
// frequency lies below the base or more steps above it than 16 bits count.
StoredFrequency store_frequency(std::string_view text, const RadioFacts& radio);

// A frequency field of a channel entry, as a table row's codec: its step code in the bits
// StepMask of byte 0 and its count, big-endian, in the two bytes at CountOffset; a count of
// Unprogrammed shows the band's lower limit.
template <uint8_t StepMask, uint16_t CountOffset, uint32_t Unprogrammed>
struct EntryFrequency {
  static std::string decode(const uint8_t* entry, const layout::FieldDesc&, const BlockBase& base) {
    return frequency_text(get_bits(StepMask, entry[0]), read_be(entry + CountOffset, 2), Unprogrammed, radio_of(base));
  }
  static void store(std::string_view text, uint8_t* entry, const RadioFacts& radio) {
    const StoredFrequency stored = store_frequency(text, radio);
    set_bits(StepMask, stored.step_code, entry[0]);
    write_be(stored.count, entry + CountOffset, 2);
  }
  static void encode(std::string_view text, uint8_t* entry, const layout::FieldDesc&, const BlockBase& base) {
    store(text, entry, radio_of(base));
  }
  static void check(std::string_view text, const layout::FieldDesc&, const BlockBase& base) {
    check_frequency(text, radio_of(base));
  }
};

// ---- Squelch codes ----------------------------------------------------------------------------

// The text of a code word under a squelch type: "0" for "CSQ", the tone in hertz ("%.1f",
// checked against `tone_row`) for "TXQ", three octal digits (checked against `digital_row`) for
// "DXQ". 107 for a value outside its row, 108 for an unknown type.
std::string squelch_text(std::string_view type, uint32_t word, int32_t tone_row, int32_t digital_row);

// The check a code text gets under its type: "TXQ" its range row, "DXQ" no digit 8 or 9 and its
// range row, "CSQ" none.
void check_squelch(std::string_view type, std::string_view text, int32_t tone_row, int32_t digital_row);

// The word a code text packs to: 0 for "CSQ", tenths of a hertz for "TXQ", 2048 + the octal
// value for "DXQ". 107 for a text that is not a value of its type.
uint32_t squelch_word(std::string_view type, std::string_view text);

}  // namespace cps
