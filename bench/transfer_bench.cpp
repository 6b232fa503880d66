// Speed of the radio transfers and of a full pass over every block, on a factory radio.
#include "interface/cp_services.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"

#include <benchmark/benchmark.h>

namespace {

ICPServices* create() {
  void* factory = nullptr;
  DllGetClassObject(CLSID_CPServices, IID_IClassFactory, &factory);
  void* object = nullptr;
  static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_ICPServices, &object);
  static_cast<IClassFactory*>(factory)->Release();
  return static_cast<ICPServices*>(object);
}

// The first generation's block IDs, one per handler.
constexpr LONG kBlocks[] = {1,  2,  3,  4,  5,  6,  8,  9,  11, 12, 15, 16, 17, 19, 20, 22, 23, 24,
                            25, 26, 29, 30, 32, 34, 36, 37, 38, 40, 41, 42, 43, 453, 454, 759, 761};

void BM_ReadDevice(benchmark::State& state) {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen1_radio();
  ICPServices* services = create();
  for (auto _ : state) {
    const HRESULT hr = services->ReadDevice(radio.as_unknown(), 0, nullptr);
    if (FAILED(hr)) state.SkipWithError("ReadDevice failed");
  }
  services->Release();
}
BENCHMARK(BM_ReadDevice);

void BM_WriteDevice(benchmark::State& state) {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen1_radio();
  ICPServices* source = create();
  ICPServices* destination = create();
  source->ReadDevice(radio.as_unknown(), 0, nullptr);
  destination->ReadDevice(radio.as_unknown(), 0, nullptr);
  for (auto _ : state) {
    const HRESULT hr = source->WriteDevice(radio.as_unknown(), 0, nullptr, destination);
    if (FAILED(hr)) state.SkipWithError("WriteDevice failed");
    radio.calls.clear();
  }
  destination->Release();
  source->Release();
}
BENCHMARK(BM_WriteDevice);

// GetBlockData then SetBlockData of the same record, for every block the object serves.
void BM_BlockPass(benchmark::State& state) {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen1_radio();
  ICPServices* services = create();
  services->ReadDevice(radio.as_unknown(), 0, nullptr);
  for (auto _ : state) {
    for (LONG id : kBlocks) {
      cps::ScopedVariant record;
      if (services->GetBlockData(id, record.get()) != S_OK) continue;
      if (FAILED(services->SetBlockData(id, record.get()))) state.SkipWithError("SetBlockData failed");
    }
  }
  services->Release();
}
BENCHMARK(BM_BlockPass);

}  // namespace

BENCHMARK_MAIN();
