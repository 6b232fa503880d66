// A first-generation radio as the service object holds it: the codeplug container with its
// blocks, blocks 2 and 3 from the radio's own regions outside the image, the product family
// the last identity query found, and the model lists that decide the market class and the
// fixed channel spacing. The device flows work on this object; the service object adds the
// interface around it.
#pragma once

#include "gen1/blocks/radio_identity.h"
#include "gen1/blocks/radio_info.h"
#include "gen1/codeplug/codeplug.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cps {

class Gen1Radio {
 public:
  // Model numbers as block 3 field 84 shows them, trailing blanks removed. The blocks start
  // with their default content, laid out for the default version and radio kind.
  Gen1Radio(std::vector<std::string> market_class_1_models, std::vector<std::string> fixed_spacing_models);

  Codeplug codeplug;
  RadioInfo block2;
  RadioIdentity block3;
  uint8_t product_family = 0;  // set by the identity query of every read, write and clone

  // 1 when field 66 of block 2 is "Mobile".
  uint8_t mobile_flag() const;
  // The first two characters of field 103 of block 4.
  std::string version_text() const;
  int32_t market_class() const { return codeplug.base.market_class(); }

  // The market class: 2 for a radio of the "Japan" region (only when asked to consult it), 1 for
  // a model of the market-class-1 list, else 0; stored in the context the codeplug's handlers
  // and blocks 2 and 3 share.
  void update_market_class(bool consult_region);

  // The facts of blocks 3 and 2 (and block 5) that the codeplug's blocks check against, worked
  // out afresh and stored where every block reads them. Whoever changes one of those blocks
  // (or block 453, which says whether block 5 is held) calls it.
  void refresh_facts() { codeplug.set_radio(codeplug.radio_facts(block3, block2)); }

 private:
  std::vector<std::string> market_class_1_;
};

}  // namespace cps
