// What the service object learns or takes over without writing a radio: whether a connected
// radio is the one the codeplug came from (GetUpdInfo), and another object's blocks (Copy).
#include "gen1/device/flows.h"

#include "device/device_link.h"
#include "gen1/radio.h"
#include "platform/errors.h"
#include "platform/ole_util.h"

#include <array>
#include <cstdint>
#include <string>

namespace cps {

namespace {

constexpr int32_t kSerialField = 83;  // of block 3
constexpr int32_t kModelField = 84;   // of block 3

// Every block a copy takes over, in order. Block 1 (the container's header) is not copied; the
// other IDs of a multi-ID handler are reached through the ones listed.
constexpr std::array<LONG, 43> kCopyOrder{
    4,  2,  3,  453, 454, 5,  8,  15, 19, 40,  41,  466, 42,  467, 38,
    39, 6,  13, 468, 12,  16, 17, 20, 22, 43,  657, 30,  29,  9,   10,
    11, 658, 24, 25, 26,  23, 37, 32, 34, 759, 760, 761, 762};

}  // namespace

// Every device failure here, including a radio version that is not a version text, is 111: the
// host learns only that the comparison could not be made. A radio version newer than this
// component knows stays 133.
HRESULT get_upd_info(Gen1Radio& radio, IUnknown* device, ULONG handle, BYTE* same_serial,
                     BYTE* same_model, VARIANT* versions) {
  if (!same_serial || !same_model || !versions) return E_POINTER;
  DeviceLink link(device, handle, nullptr);
  const RadioIdentity& block3 = radio.block3;

  std::string serial;
  if (FAILED(link.serial_number(serial))) raise(err::kUnexpected);
  const BYTE serial_matches = serial == block3.text(kSerialField) ? 1 : 0;

  std::string model;
  if (FAILED(link.model_number(model))) raise(err::kUnexpected);
  const BYTE model_matches = model == padded_model(block3.text(kModelField)) ? 1 : 0;

  std::string version;
  if (FAILED(link.codeplug_version(version))) raise(err::kUnexpected);

  put_major_versions(versions, major_version(radio.codeplug.programming_record().version_text()),
                     major_version(version));
  *same_serial = serial_matches;
  *same_model = model_matches;
  return S_OK;
}

// Each block goes through the interface, as a host would move it: the source's GetBlockData,
// then this object's SetBlockData, which prepares and checks it. A block that fails either way
// keeps its content (a failed get leaves the VARIANT empty, which no set accepts).
HRESULT copy_from(ICPServices& object, ICPServices* source) {
  if (!source) return E_POINTER;
  ScopedVariant data;
  for (LONG id : kCopyOrder) {
    source->GetBlockData(id, data.get());
    object.SetBlockData(id, data.get());
    VariantClear(data.get());
  }
  return S_OK;
}

}  // namespace cps
