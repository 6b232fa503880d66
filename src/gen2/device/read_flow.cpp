// ReadDevice of an R9 radio, the checks every R9 flow shares, and SetBlockData(2029), which
// unpacks a stored image exactly as a read unpacks the radio's.
#include "gen2/device/flows.h"
#include "gen2/device/radio_check.h"

#include "engine/block_base.h"
#include "platform/errors.h"

#include <algorithm>
#include <new>
#include <string_view>

namespace cps::gen2 {

namespace {

constexpr std::string_view kR9Uuid = "c6c1abe0ca6311d181b700a024deba0e";
constexpr std::string_view kNewestVersion = "04.99";
constexpr size_t kVersionLength = 5;
constexpr int32_t kLengthField = 2046;

constexpr char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string trim_right(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

HRESULT checked(HRESULT hr) {
  if (FAILED(hr)) throw DeviceFailure{hr};
  return hr;
}

HRESULT check_family(DeviceLink& link, R9Radio& radio) {
  std::string uuid;
  const HRESULT hr = checked(link.text_command(L"QUERYRADIOUUID", uuid));
  if (!same_ignoring_case(uuid, kR9Uuid)) {
    radio.radio_type = 0;
    raise(err::kProductFamily);
  }
  return hr;
}

void check_r9_version(const std::string& version) {
  if (version.size() != kVersionLength) raise(err::kCodeplugVersion);
  for (char c : version)
    if ((c < '0' || c > '9') && c != '.') raise(err::kCodeplugVersion);
  if (version > kNewestVersion) raise(err::kVersionNotSupported);
}

std::string query_version(DeviceLink& link) {
  std::string version;
  checked(link.text_command(L"QUERYRADIOCODEPLUGVERSION", version));
  check_r9_version(version);
  return version;
}

std::vector<uint8_t> read_codeplug(DeviceLink& link, R9Codeplug& codeplug) {
  uint8_t head[CodeplugHeader::kLength] = {};
  checked(link.read(kCodeplugAddress, CodeplugHeader::kLength, head));
  codeplug.header.unpack(head, sizeof head);
  link.step();

  const int64_t length = parse_decimal(codeplug.header.get_record().text(kLengthField));
  // A codeplug shorter than its own header cannot hold the tables it points at.
  if (length < static_cast<int64_t>(CodeplugHeader::kLength) || length > 0xFFFF) raise(err::kInvalidData);
  std::vector<uint8_t> image;
  try {
    image.assign(static_cast<size_t>(length), 0);
  } catch (const std::bad_alloc&) {
    raise(err::kNoStorage);
  }
  checked(link.read(kCodeplugAddress, static_cast<uint16_t>(length), image.data()));
  link.step();
  return image;
}

void R9Radio::take_model(const std::string& model) {
  const std::string trimmed = trim_right(model);
  radio_type = radio_type_of ? radio_type_of(trimmed) : 0;
  if (radio_type == 0) raise(err::kProductFamily);
  codeplug.set_radio_type(radio_type);
}

// Seven steps of eleven: after the family, the transfer size, the serial number, the version,
// the header, the image and the software version.
HRESULT r9_read_device(R9Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress) {
  DeviceLink link(device, handle, progress);
  link.start_progress(11);
  check_family(link, radio);
  link.step();
  checked(link.transfer_size());
  link.step();
  std::string text;
  checked(link.text_command(L"QUERYRADIOSERIALNUMBER", text));  // asked, not kept
  link.step();

  checked(link.text_command(L"QUERYRADIOMODELNUMBER", text));
  radio.take_model(text);
  const std::string version = query_version(link);
  radio.codeplug.set_codeplug_version(major_of(version));
  link.step();

  const std::vector<uint8_t> image = read_codeplug(link, radio.codeplug);
  radio.codeplug.unpack_image(image);

  std::string software;
  const HRESULT hr = checked(link.text_command(L"QUERYRADIOSOFTWAREVERSION", software));
  // While block 2003 is carried as bytes there is no field to hold the answer.
  if (radio.codeplug.slot(kInfoBlock).handler) radio.codeplug.info().put({info::kSoftware, software, 0});
  link.step();
  return hr;
}

void r9_load_image(R9Radio& radio, const std::vector<uint8_t>& image) {
  R9Codeplug& codeplug = radio.codeplug;
  codeplug.header.unpack(image.data(), image.size());
  codeplug.unpack_image(image);
  radio.take_model(codeplug.info().text(info::kModel));
}

}  // namespace cps::gen2
