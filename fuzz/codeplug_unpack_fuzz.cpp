// Feeds arbitrary bytes to the unpacking of a first-generation codeplug image, as a radio might
// hand them over. Anything may fail with an error code; nothing may crash or overrun. An unpack
// that fails keeps what it had unpacked, and whatever the codeplug then holds packs again or
// fails with an error code.
#include "gen1/blocks/radio_identity.h"
#include "gen1/blocks/radio_info.h"
#include "gen1/codeplug/codeplug.h"
#include "platform/errors.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const cps::RadioInfo block2 = [] {
    cps::RadioInfo info;
    info.build_default();
    return info;
  }();
  static const cps::RadioIdentity block3 = [] {
    cps::RadioIdentity identity;
    identity.build_default();
    return identity;
  }();

  // The first byte picks the form (market class, version text, radio kind) the codeplug is read
  // with; the bytes after it are the image.
  static constexpr const char* kVersions[] = {"01", "02", "03", "07"};
  cps::Codeplug codeplug;
  codeplug.set_market_class(data[0] % 3);
  codeplug.base.version = kVersions[(data[0] >> 2) & 3];
  codeplug.base.mobile = (data[0] >> 4) & 1;
  try {
    codeplug.unpack_image(data + 1, size - 1, block3, block2);
  } catch (const cps::ErrorCode&) {
  }
  try {
    cps::RadioInfo info = block2;
    codeplug.pack_image(block3, info, false);
  } catch (const cps::ErrorCode&) {
  }
  return 0;
}
