// The model tables that change how radios are treated, as data: the first generation's
// market-class-1 models and fixed-spacing models, and the second generation's model table.
// They come from the JSON file named by CPSERVICES_MODELS, read when a service object is
// created; without the variable every table is empty.
#pragma once

#include <string>
#include <vector>

namespace cps {

struct Gen2Model {
  std::string model;
  int family = 0;
  double lower_mhz = 0;
  double upper_mhz = 0;
  bool fixed_spacing = false;  // every channel of the model is 12.5 kHz, whatever its bits hold
};

struct ModelConfig {
  std::vector<std::string> market_class_1;  // compared with field 84 of block 3, blanks trimmed
  std::vector<std::string> fixed_spacing;   // likewise
  std::vector<Gen2Model> gen2;              // compared with field 2050

  bool is_market_class_1(const std::string& model) const;
  bool is_fixed_spacing(const std::string& model) const;
};

// Parses a configuration text; throws std::runtime_error with the reason when it is not one.
ModelConfig parse_model_config(const std::string& json_text);

// The configuration named by CPSERVICES_MODELS (empty tables without it). A file that cannot be
// read or parsed throws std::runtime_error, which makes object creation fail with E_FAIL.
ModelConfig load_model_config();

}  // namespace cps
