#include "gen1/radio.h"

#include <algorithm>
#include <utility>

namespace cps {

namespace {

constexpr int32_t kRegionField = 99;  // of block 3

}  // namespace

Gen1Radio::Gen1Radio(std::vector<std::string> market_class_1_models, std::vector<std::string> fixed_spacing_models)
    : codeplug(Codeplug::Unreset{}), market_class_1_(std::move(market_class_1_models)) {
  // The codeplug is reset once, below, when its base has the version and radio kind.
  // Blocks 2 and 3 read the codeplug's context: one market class and one set of facts.
  block2.base.context = codeplug.context();
  block3.base.context = codeplug.context();
  const std::string version = version_text();
  block2.base.version = version;
  block2.build_default();
  const uint8_t mobile = mobile_flag();
  block3.base.mobile = mobile;
  block3.build_default();
  codeplug.base.version = version;
  codeplug.base.mobile = mobile;
  codeplug.fixed_spacing_models = std::move(fixed_spacing_models);
  refresh_facts();
  codeplug.reset();
}

uint8_t Gen1Radio::mobile_flag() const { return block2.is_mobile() ? 1 : 0; }

std::string Gen1Radio::version_text() const { return codeplug.programming_record().version_text(); }

void Gen1Radio::update_market_class(bool consult_region) {
  int32_t market_class = 0;
  if (consult_region && block3.text(kRegionField) == "Japan")
    market_class = 2;
  else if (std::find(market_class_1_.begin(), market_class_1_.end(), block3.model_number()) != market_class_1_.end())
    market_class = 1;
  codeplug.set_market_class(market_class);
}

}  // namespace cps
