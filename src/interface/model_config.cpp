#include "interface/model_config.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace cps {

namespace {

std::string trim_right(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\0'))
    text.pop_back();
  return text;
}

bool listed(const std::vector<std::string>& models, const std::string& model) {
  const std::string wanted = trim_right(model);
  return std::find(models.begin(), models.end(), wanted) != models.end();
}

std::vector<std::string> model_list(const nlohmann::json& section, const char* key) {
  std::vector<std::string> models;
  if (!section.contains(key)) return models;
  for (const auto& item : section.at(key)) models.push_back(trim_right(item.get<std::string>()));
  return models;
}

}  // namespace

bool ModelConfig::is_market_class_1(const std::string& model) const {
  return listed(market_class_1, model);
}

bool ModelConfig::is_fixed_spacing(const std::string& model) const {
  return listed(fixed_spacing, model);
}

ModelConfig parse_model_config(const std::string& json_text) {
  ModelConfig config;
  try {
    const nlohmann::json root = nlohmann::json::parse(json_text);
    if (!root.is_object()) throw std::runtime_error("the model configuration is not a JSON object");
    if (root.contains("gen1")) {
      const auto& gen1 = root.at("gen1");
      if (!gen1.is_object()) throw std::runtime_error("\"gen1\" is not an object");
      config.market_class_1 = model_list(gen1, "market_class_1");
      config.fixed_spacing = model_list(gen1, "fixed_spacing");
    }
    if (root.contains("gen2")) {
      for (const auto& item : root.at("gen2")) {
        Gen2Model model;
        model.model = trim_right(item.at("model").get<std::string>());
        model.family = item.value("family", 0);
        model.lower_mhz = item.value("lower_mhz", 0.0);
        model.upper_mhz = item.value("upper_mhz", 0.0);
        model.fixed_spacing = item.value("fixed_spacing", false);
        config.gen2.push_back(model);
      }
    }
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(std::string("bad model configuration: ") + e.what());
  }
  return config;
}

ModelConfig load_model_config() {
  const char* path = std::getenv("CPSERVICES_MODELS");
  if (!path || !*path) return ModelConfig{};
  std::ifstream file(path, std::ios::binary);
  if (!file) throw std::runtime_error(std::string("cannot read the model configuration ") + path);
  std::ostringstream text;
  text << file.rdbuf();
  if (file.bad()) throw std::runtime_error(std::string("cannot read the model configuration ") + path);
  return parse_model_config(text.str());
}

}  // namespace cps
