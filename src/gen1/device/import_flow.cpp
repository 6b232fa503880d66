// ImportOBD: an option-board data file (read whole, platform/whole_file.h) loaded into block 17.
// Only block 17 changes, and only when its import succeeded.
#include "gen1/blocks/option_board.h"
#include "gen1/device/flows.h"
#include "gen1/radio.h"
#include "platform/errors.h"
#include "platform/whole_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace cps {

namespace {

// The shortest file that can be an option-board file: its shape bytes start at 800.
constexpr size_t kMinimumFileLength = OptionBoard::kFileShapeOffset;

}  // namespace

HRESULT import_obd(Gen1Radio& radio, const std::string& path) {
  const std::vector<uint8_t> file = read_whole_file(path, kMinimumFileLength);
  auto* board = dynamic_cast<OptionBoard*>(radio.codeplug.handler(OptionBoard::kBlockId));
  if (board == nullptr) raise(err::kBlockNotSupported);
  board->import(file.data(), file.size());  // 128, 127
  return S_OK;
}

}  // namespace cps
