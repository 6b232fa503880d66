// Speed of the radio transfers and of a full pass over every block, on a factory radio.
#include "interface/cp_services.h"
#include "platform/ole_util.h"
#include "sim/simulated_radio.h"
#include "engine/variant_codec.h"
#include "gen1/block_table.h"

#include <benchmark/benchmark.h>

#include <time.h>

namespace {

ICPServices* create() {
  void* factory = nullptr;
  DllGetClassObject(CLSID_CPServices, IID_IClassFactory, &factory);
  void* object = nullptr;
  static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_ICPServices, &object);
  static_cast<IClassFactory*>(factory)->Release();
  return static_cast<ICPServices*>(object);
}

// The first generation's blocks that answer GetBlockData, one ID per handler, from the registry.
std::vector<const cps::Gen1Block*> served_blocks() {
  std::vector<const cps::Gen1Block*> rows;
  for (const cps::Gen1Block& row : cps::gen1_blocks())
    if (row.regions[0].methods & cps::method::G) rows.push_back(&row);
  return rows;
}
const std::vector<const cps::Gen1Block*> kBlocks = served_blocks();

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

using Kind = cps::RecordKind;
Kind kind_of(LONG id) { return cps::gen1_block(id)->kind; }

size_t fields_in(const cps::FieldList& list) { return list.count(); }
size_t fields_in(const cps::BlockRecord& record) {
  size_t n = fields_in(record.header());
  for (size_t i = 0; i < record.entry_count(); ++i) n += fields_in(record.entry(i));
  return n;
}
size_t fields_in(const cps::ListBlockRecord& record) {
  size_t n = fields_in(record.header());
  for (size_t i = 0; i < record.list_count(); ++i) n += fields_in(record.list(i));
  return n;
}

// The fields of a record as GetBlockData encodes it, header fields included.
size_t fields_in(LONG id, const VARIANT& record) {
  switch (kind_of(id)) {
    case Kind::Fields: {
      cps::FieldList list;
      cps::decode_field_list(record, list);
      return fields_in(list);
    }
    case Kind::Block: {
      cps::BlockRecord block;
      cps::decode_block_record(record, block);
      return fields_in(block);
    }
    case Kind::Lists: {
      cps::ListBlockRecord lists;
      cps::decode_list_block_record(record, lists);
      return fields_in(lists);
    }
  }
  return 0;
}

// The CPU time this thread has used, in nanoseconds (a busy machine does not count).
double cpu_ns() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// GetBlockData then SetBlockData of the same record, for every block the object serves, on a
// factory radio of state.range(0) channels. ns_per_field: the CPU time of one pass divided by
// the fields of the records got, each field counted once, header fields included.
void block_pass(benchmark::State& state, const cps::sim::FactoryOptions& options) {
  cps::sim::SimulatedRadio radio = cps::sim::make_gen1_radio(options);
  ICPServices* services = create();
  if (FAILED(services->ReadDevice(radio.as_unknown(), 0, nullptr))) state.SkipWithError("ReadDevice failed");
  size_t fields = 0;
  for (const cps::Gen1Block* row : kBlocks) {
    const LONG id = row->regions[0].id;
    cps::ScopedVariant record;
    if (services->GetBlockData(id, record.get()) == S_OK) fields += fields_in(id, *record);
  }
  const double start = cpu_ns();
  for (auto _ : state) {
    for (const cps::Gen1Block* row : kBlocks) {
      const LONG id = row->regions[0].id;
      cps::ScopedVariant record;
      if (services->GetBlockData(id, record.get()) != S_OK) continue;
      if (FAILED(services->SetBlockData(id, record.get()))) state.SkipWithError("SetBlockData failed");
    }
  }
  const double elapsed = cpu_ns() - start;
  state.counters["fields"] = static_cast<double>(fields);
  const double field_visits = static_cast<double>(fields) * static_cast<double>(state.iterations());
  if (field_visits > 0) state.counters["ns_per_field"] = elapsed / field_visits;
  services->Release();
}
void BM_BlockPass(benchmark::State& state) { block_pass(state, {.channels = static_cast<int>(state.range(0))}); }
BENCHMARK(BM_BlockPass)->Arg(32)->Arg(255);

// The same pass over the largest codeplug (`radio create --full`: every list at its maximum).
void BM_BlockPassFull(benchmark::State& state) { block_pass(state, {.full = true}); }
BENCHMARK(BM_BlockPassFull);

}  // namespace

BENCHMARK_MAIN();
