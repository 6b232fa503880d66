// What the R9 object learns or takes in without writing a radio: whether a connected radio is
// the one the codeplug came from (GetUpdInfo), another object's codeplug (Copy) and an
// option-board file (ImportOBD).
#include "gen2/device/flows.h"
#include "gen2/device/radio_check.h"

#include "device/device_link.h"
#include "platform/errors.h"
#include "platform/ole_util.h"
#include "platform/whole_file.h"

#include <string>

namespace cps::gen2 {

namespace {

constexpr int32_t kOptionBoardBlock = 2023;
// An option-board file: 800 bytes the import skips, then a payload of 3 to 255 bytes.
constexpr size_t kSkippedBytes = 800;
constexpr size_t kShortestFile = kSkippedBytes + 3;
constexpr size_t kLongestFile = kSkippedBytes + 255;

}  // namespace

HRESULT r9_get_upd_info(R9Radio& radio, IUnknown* device, ULONG handle, BYTE* same_serial,
                        BYTE* same_model, VARIANT* versions) {
  if (!same_serial || !same_model || !versions) return E_POINTER;
  DeviceLink link(device, handle, nullptr);
  const R9Codeplug& codeplug = radio.codeplug;

  std::string serial;
  checked(link.text_command(L"QUERYRADIOSERIALNUMBER", serial));
  const BYTE serial_matches = serial == serial_text(codeplug.info().text(info::kSerial)) ? 1 : 0;

  std::string model;
  checked(link.text_command(L"QUERYRADIOMODELNUMBER", model));
  const BYTE model_matches = model == padded_model(codeplug.info().text(info::kModel)) ? 1 : 0;

  const std::string version = query_version(link);

  put_major_versions(versions, major_version(codeplug.info().text(info::kMajor)),
                     major_version(version));
  *same_serial = serial_matches;
  *same_model = model_matches;
  return S_OK;
}

HRESULT r9_import_obd(R9Radio& radio, const std::string& path) {
  const std::vector<uint8_t> file = read_whole_file(path, kShortestFile);  // 124, 127, 125, 126
  if (file.size() > kLongestFile) raise(err::kOptionBoardFile);
  const R9Block& row = *r9_block(kOptionBoardBlock);
  if (row.import == nullptr) raise(err::kBlockNotSupported);
  row.import(radio.codeplug.list(kOptionBoardBlock), file.data() + kSkippedBytes, file.size() - kSkippedBytes);
  return S_OK;
}

// Each block goes through the interface, as a host would move it. The result of each call is
// not looked at: a block that fails either way keeps its content and the copy goes on.
HRESULT r9_copy_from(ICPServices& target, R9Radio& radio, ICPServices* source, const R9Radio* source_radio) {
  if (!source) return E_POINTER;
  ScopedVariant data;
  auto move = [&](int32_t id) {
    source->GetBlockData(id, data.get());
    target.SetBlockData(id, data.get());
    VariantClear(data.get());
  };
  for (int32_t id : {kHeaderBlock, kPresenceBlock, kAddressBlock}) move(id);
  for (int32_t id : r9_read_order()) {
    if (!radio.codeplug.presence.present(id)) continue;
    R9Slot& slot = radio.codeplug.slot(id);
    if (!slot.handler) {
      if (source_radio && !source_radio->codeplug.slot(id).handler) slot.opaque = source_radio->codeplug.slot(id).opaque;
      continue;
    }
    move(id);
  }
  return S_OK;
}

}  // namespace cps::gen2
