// Reading a first-generation radio into the service object, and restarting a radio.
//
// Each block is committed as the read unpacks it: block 3, the market class, block 2, block 3
// again, the container's header (block 1), blocks 453 and 454, then every enabled block in the
// container's order. A read that fails part-way leaves the blocks it had unpacked with the
// radio's content and the others with what they held before; each block on its own is replaced
// only when its whole region is good.
#include "gen1/device/flows.h"

#include "device/device_link.h"
#include "gen1/radio.h"
#include "platform/errors.h"

#include <algorithm>
#include <vector>

namespace cps {

namespace {

constexpr uint16_t kIdentityAddress = 0x282;  // block 3, read-only
constexpr uint16_t kInfoAddress = 0x2D8;      // block 2, read-only
constexpr size_t kRegionHeader = 3;           // fields 46, 47 (record size), 48 (record count)
constexpr int kReadSteps = 11;

void check(HRESULT hr) {
  if (FAILED(hr)) throw DeviceFailure{hr};
}

// One of the radio's read-only regions: its 3-byte header, then the whole region, whose length
// the header gives (header, record size x record count, checksum). The region is stepped twice.
// Any failing read is reported as 135: the radio's own data cannot be had.
std::vector<uint8_t> read_region(DeviceLink& link, uint16_t address) {
  uint8_t header[kRegionHeader] = {};
  if (FAILED(link.read(address, kRegionHeader, header))) raise(err::kRroData);
  link.step();
  const size_t length = kRegionHeader + size_t{header[1]} * header[2] + 1;  // at most 65029
  std::vector<uint8_t> region(length);
  if (FAILED(link.read(address, static_cast<uint16_t>(length), region.data())))
    raise(err::kRroData);
  link.step();
  return region;
}

// The codeplug image: its 8-byte header, parsed into the container, then the whole image of
// field 100 + 1 bytes. Each read is stepped.
std::vector<uint8_t> read_image(DeviceLink& link, Codeplug& codeplug) {
  uint8_t header[Codeplug::kHeaderLength] = {};
  check(link.read(Codeplug::kImageBase, Codeplug::kHeaderLength, header));
  link.step();
  codeplug.parse_header(header, sizeof header);
  const size_t length = codeplug.image_length();
  // The image must lie in the radio's 16-bit address space above its base.
  if (length > 0x10000 - Codeplug::kImageBase) raise(err::kCodeplugSize);
  std::vector<uint8_t> image(length);
  check(link.read(Codeplug::kImageBase, static_cast<uint16_t>(length), image.data()));
  link.step();
  return image;
}

// The version from block 3 when the radio gave none: field 85 without its dots.
std::string version_from_identity(const RadioIdentity& block3) {
  std::string digits = block3.codeplug_version();
  std::erase(digits, '.');
  return check_version_text(digits);
}

}  // namespace

HRESULT read_device(Gen1Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress) {
  DeviceLink link(device, handle, progress);
  link.start_progress(kReadSteps);

  check(link.identify(radio.product_family));
  link.step();
  link.step();

  // A version the radio cannot give is taken from block 3 later; 133 ends the read here.
  std::string version;  // "07.20"
  const bool radio_version_usable = SUCCEEDED(link.codeplug_version(version));

  RadioIdentity& block3 = radio.block3;
  RadioInfo& block2 = radio.block2;
  Codeplug& codeplug = radio.codeplug;

  const std::vector<uint8_t> identity = read_region(link, kIdentityAddress);
  block3.unpack(3, identity.data(), identity.size());

  // After a read the market class follows the model table only, never the region.
  radio.update_market_class(false);

  if (!radio_version_usable) version = version_from_identity(block3);
  const std::string major = version.substr(0, 2);
  const std::string minor = version.substr(3, 2);
  codeplug.base.version = major;
  codeplug.base.minor = minor;
  block2.base.version = major;
  block2.base.minor = minor;

  const std::vector<uint8_t> info = read_region(link, kInfoAddress);
  block2.unpack(2, info.data(), info.size());

  // Block 3 checks its power levels by radio kind, which only block 2 tells.
  const uint8_t mobile = block2.is_mobile() ? 1 : 0;
  block3.base.mobile = mobile;
  block3.unpack(3, identity.data(), identity.size());

  const std::vector<uint8_t> image = read_image(link, codeplug);
  codeplug.unpack_header_blocks(image.data(), image.size(), false);
  codeplug.base.mobile = mobile;
  codeplug.unpack_blocks(image.data(), image.size(), block3, block2);

  std::string software;
  const HRESULT status = link.software_version(software);
  check(status);
  link.step();
  codeplug.programming_record().set_field(
      0, FieldValue{ProgrammingRecord::kSoftwareVersionField, software, 0});
  return status;
}

HRESULT reset_device(IUnknown* device, ULONG handle) {
  DeviceLink link(device, handle, nullptr);
  return link.reset();  // the library's own result, whatever it is
}

}  // namespace cps
