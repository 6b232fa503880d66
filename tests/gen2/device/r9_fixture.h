// The fixture of the R9 flow and service-object tests: a model file with the second
// generation's rows (radio types 1 and 2, and a model of another family), objects made under it
// with stand-in handlers, and a progress dialog that writes down what it is told.
#pragma once

#include "gen2/device/r9_radio.h"
#include "interface/r9_cp_services.h"
#include "platform/errors.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

namespace cps::gen2::test {

constexpr HRESULT hr_of(uint32_t value) { return static_cast<HRESULT>(value); }

struct RecordingDialog final : ICPDProgressDlg {
  std::string log;
  void SetRange(int lower, int upper) override { log += "[" + std::to_string(lower) + "," + std::to_string(upper) + "]"; }
  void SetStep(int step) override { log += "/" + std::to_string(step); }
  void StepIt() override { log += "."; }
  IUnknown* as_unknown() { return reinterpret_cast<IUnknown*>(static_cast<ICPDProgressDlg*>(this)); }
};

struct Released {
  void operator()(R9CPServices* object) const { object->Release(); }
};
using Object = std::unique_ptr<R9CPServices, Released>;

class R9Test : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(path_) << R"({"gen2": [{"model": "R9PORT01", "family": 0, "lower_mhz": 136, "upper_mhz": 174},
                                         {"model": "R9MOBILE02", "family": 1}, {"model": "R9OTHER03", "family": 2}]})";
    setenv("CPSERVICES_MODELS", path_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("CPSERVICES_MODELS");
    std::remove(path_.c_str());
  }
  // An object with stand-ins for 2003 and the blocks named.
  Object make(std::initializer_list<int32_t> lists = {}) {
    Object object(new R9CPServices(nullptr));
    install_stand_ins(*object, lists);
    return object;
  }
  static HRESULT read(R9CPServices& object, sim::SimulatedRadio& radio, RecordingDialog* dialog = nullptr) {
    return object.ReadDevice(radio.as_unknown(), 7, dialog ? dialog->as_unknown() : nullptr);
  }
  static HRESULT write(R9CPServices& object, sim::SimulatedRadio& radio, RecordingDialog* dialog = nullptr) {
    return object.WriteDevice(radio.as_unknown(), 7, dialog ? dialog->as_unknown() : nullptr, nullptr);
  }
  static HRESULT clone(R9CPServices& object, sim::SimulatedRadio& radio, RecordingDialog* dialog = nullptr) {
    return object.CloneDevice(radio.as_unknown(), 7, dialog ? dialog->as_unknown() : nullptr);
  }

  // A name of this process's own: tests run side by side would replace each other's file.
  std::string path_ = ::testing::TempDir() + "cps_r9_models_" + std::to_string(getpid()) + ".json";
};

}  // namespace cps::gen2::test
