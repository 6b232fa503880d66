// Speed of the second generation's transfers and of a pass over every block it serves, on a
// factory second-generation radio.
#include "engine/variant_codec.h"
#include "gen2/block_table.h"
#include "interface/cp_services.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <time.h>
#include <unistd.h>

namespace {

// An R9 object that knows the factory radio's model (the model table comes from the file named
// by CPSERVICES_MODELS, written once for this process).
ICPServices* create_r9() {
  static const bool models = [] {
    const std::string path = "/tmp/cps_r9_bench_models_" + std::to_string(getpid()) + ".json";
    FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fprintf(file, R"({"gen2": [{"model": "%s", "family": 0, "lower_mhz": 136, "upper_mhz": 174}]})",
                 cps::sim::Gen2FactoryOptions{}.model.c_str());
    std::fclose(file);
    setenv("CPSERVICES_MODELS", path.c_str(), 1);
    return true;
  }();
  (void)models;
  void* factory = nullptr;
  DllGetClassObject(CLSID_R9CPServices, IID_IClassFactory, &factory);
  void* object = nullptr;
  static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_ICPServices, &object);
  static_cast<IClassFactory*>(factory)->Release();
  return static_cast<ICPServices*>(object);
}

void BM_R9ReadDevice(benchmark::State& state) {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen2_radio();
  ICPServices* services = create_r9();
  for (auto _ : state) {
    if (FAILED(services->ReadDevice(radio.as_unknown(), 0, nullptr))) state.SkipWithError("ReadDevice failed");
    radio.calls.clear();
  }
  services->Release();
}
BENCHMARK(BM_R9ReadDevice);

void BM_R9WriteDevice(benchmark::State& state) {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen2_radio();
  ICPServices* source = create_r9();
  ICPServices* destination = create_r9();
  source->ReadDevice(radio.as_unknown(), 0, nullptr);
  destination->ReadDevice(radio.as_unknown(), 0, nullptr);
  for (auto _ : state) {
    if (FAILED(source->WriteDevice(radio.as_unknown(), 0, nullptr, destination)))
      state.SkipWithError("WriteDevice failed");
    radio.calls.clear();
  }
  destination->Release();
  source->Release();
}
BENCHMARK(BM_R9WriteDevice);

double cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// GetBlockData then SetBlockData of the same record for every block the R9 object serves with
// a handler; ns_per_field: the CPU time of one pass divided by the fields of the records got.
void BM_R9BlockPass(benchmark::State& state) {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen2_radio();
  ICPServices* services = create_r9();
  if (FAILED(services->ReadDevice(radio.as_unknown(), 0, nullptr))) state.SkipWithError("ReadDevice failed");
  std::vector<LONG> ids;
  size_t fields = 0;
  for (const cps::gen2::R9Block& row : cps::gen2::r9_blocks()) {
    cps::ScopedVariant record;
    if (!(row.methods & cps::method::G) || services->GetBlockData(row.id, record.get()) != S_OK) continue;
    ids.push_back(row.id);
    if (row.shape == cps::gen2::R9Shape::Record) {
      cps::FieldList list;
      cps::decode_field_list(*record, list);
      fields += list.count();
    } else {
      cps::BlockRecord block;
      cps::decode_block_record(*record, block);
      fields += block.header().count();
      for (size_t i = 0; i < block.entry_count(); ++i) fields += block.entry(i).count();
    }
  }
  const double start = cpu_ns();
  for (auto _ : state) {
    for (LONG id : ids) {
      cps::ScopedVariant record;
      if (services->GetBlockData(id, record.get()) != S_OK) continue;
      if (FAILED(services->SetBlockData(id, record.get()))) state.SkipWithError("SetBlockData failed");
    }
  }
  const double elapsed = cpu_ns() - start;
  state.counters["fields"] = static_cast<double>(fields);
  const double visits = static_cast<double>(fields) * static_cast<double>(state.iterations());
  if (visits > 0) state.counters["ns_per_field"] = elapsed / visits;
  services->Release();
}
BENCHMARK(BM_R9BlockPass);

}  // namespace
