// The facts about a radio that the codeplug's blocks read while they unpack, pack, check and
// extend their records: the band from block 3, the switches and limits of block 2, and whether
// the model is one of the fixed-spacing models.
#pragma once

#include "gen1/values/radio_context.h"

#include <string>
#include <vector>

namespace cps {

class RadioIdentity;
class RadioInfo;

// `fixed_spacing_models` are compared with block 3's model number (field 84, trailing blanks
// removed).
RadioFacts radio_facts(const RadioIdentity& block3, const RadioInfo& block2,
                       const std::vector<std::string>& fixed_spacing_models);

}  // namespace cps
