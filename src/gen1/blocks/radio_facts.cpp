#include "gen1/blocks/radio_facts.h"

#include "gen1/blocks/radio_identity.h"
#include "gen1/blocks/radio_info.h"

#include <algorithm>

namespace cps {

RadioFacts radio_facts(const RadioIdentity& block3, const RadioInfo& block2,
                       const std::vector<std::string>& fixed_spacing_models) {
  RadioFacts facts;
  facts.band = block3.text(89);
  facts.band_base = block3.text(90);
  facts.band_lower = block3.text(91);
  facts.band_upper = block3.text(92);
  const std::string model = block3.model_number();
  facts.fixed_spacing =
      std::find(fixed_spacing_models.begin(), fixed_spacing_models.end(), model) != fixed_spacing_models.end();
  facts.max_channels = block2.max_channel_count();
  facts.group_members = block2.group_member_limit();
  facts.trunking = block2.text(61) == "1";
  facts.max_trunking_systems = block2.block().entry(0).contains(743) ? block2.max_trunking_systems() : -1;
  facts.conventional = block2.text(62) == "1";
  facts.field_55 = block2.text(55) == "1";
  return facts;
}

}  // namespace cps
