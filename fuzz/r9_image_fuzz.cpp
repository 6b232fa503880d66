// Feeds arbitrary bytes to an R9 object as a whole codeplug image (SetBlockData(2029) hands its
// bytes to the same load), as a stored file or a radio might hand them over. Anything may fail
// with an error code; nothing may crash or overrun. A load that fails keeps the blocks as far as
// it brought them, and whatever the codeplug then holds packs again or fails with an error code.
#include "gen2/device/flows.h"
#include "platform/errors.h"

#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the radio type the model table answers and the codeplug version the
  // blocks unpack under; the bytes after it are the image, starting at address 643.
  static constexpr const char* kVersions[] = {"01", "02", "03", "04"};
  cps::gen2::R9Radio radio;
  const uint8_t type = static_cast<uint8_t>(1 + (data[0] & 1));
  radio.radio_type_of = [type](const std::string&) { return type; };
  radio.codeplug.set_radio_type(type);
  radio.codeplug.set_codeplug_version(kVersions[(data[0] >> 1) & 3]);
  const std::vector<uint8_t> image(data + 1, data + size);
  try {
    cps::gen2::r9_load_image(radio, image);
  } catch (const cps::ErrorCode&) {
  }
  for (const cps::gen2::R9Block& row : cps::gen2::r9_blocks()) {
    if (row.shape != cps::gen2::R9Shape::List || row.make_list == nullptr) continue;
    (void)radio.codeplug.list(row.id).get_record();
  }
  try {
    (void)radio.codeplug.pack_image();
  } catch (const cps::ErrorCode&) {
  }
  return 0;
}
