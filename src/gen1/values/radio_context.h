// The first generation's radio context: what the blocks of a codeplug read about the radio
// while they unpack, pack, check and extend their records. The codeplug owns one and keeps it
// current; blocks 2 and 3 share it.
#pragma once

#include "engine/block_base.h"

#include <memory>
#include <optional>
#include <string>

namespace cps {

// A band frequency of block 3 (MHz): its text, and the number the text reads as, read once on
// first use. Every frequency checked or packed is held against the band's limits.
class BandText {
 public:
  BandText(std::string text) : text_(std::move(text)) {}
  BandText(const char* text) : text_(text) {}

  const std::string& text() const { return text_; }
  // parse_number of the text: the same error where it is no number.
  double mhz() const {
    if (!mhz_) mhz_ = parse_number(text_);
    return *mhz_;
  }

 private:
  std::string text_;
  mutable std::optional<double> mhz_;
};

// Taken from blocks 3 and 2 (and block 5 where the codeplug has it) whenever one of them, or
// block 453, changes. Texts are the blocks' own field texts.
struct RadioFacts {
  std::string band = "VHF";            // block 3 field 89
  BandText band_base = "136.000000";   // field 90, MHz
  BandText band_lower = "136.000000";  // field 91
  BandText band_upper = "174.000000";  // field 92
  bool fixed_spacing = false;            // field 84 names a fixed-spacing (12.5 kHz) model
  int max_channels = 16;                 // block 2 field 81
  int group_members = 16;                // field 54: members per channel group
  int max_trunking_systems = -1;         // field 743; -1 where block 2 has none (below "03")
  bool trunking = false;                 // field 61: LS trunking channels allowed
  bool conventional = true;              // field 62: conventional channels allowed
  bool field_55 = false;                 // field 55 reads "1"
  bool kani = false;                     // block 5 field 754 reads "Kani"
  bool ippan = false;                    // block 5 field 754 reads "Ippan"
};

struct Gen1Context : RadioContext {
  static constexpr uint8_t kGeneration = 1;
  Gen1Context() { generation = kGeneration; }
  RadioFacts radio{};
};

// The radio a block belongs to.
inline const RadioFacts& radio_of(const BlockBase& base) { return base.context_as<Gen1Context>().radio; }

// The block's own context, made (with default facts) when it has none yet; for a block that
// stands alone, as the factory and the tests build them.
inline Gen1Context& own_context(BlockBase& base) {
  if (!base.context || base.context->generation != Gen1Context::kGeneration) {
    auto context = std::make_shared<Gen1Context>();
    if (base.context) {
      context->market_class = base.context->market_class;
      context->data_major = base.context->data_major;
      context->target_major = base.context->target_major;
    }
    base.context = context;
  }
  return static_cast<Gen1Context&>(*base.context);
}

}  // namespace cps
