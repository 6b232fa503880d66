// WriteDevice and CloneDevice of an R9 radio, and ResetDevice.
//
// Both writing flows check the radio (family, battery, version, serial and model number), put
// the codeplug under the radio's own version, take the radio's block 2003 (all but field 2058)
// and its own copies of the tables and (from a radio of major version 04) of block 2867, stamp
// the programming date and time, pack the image and write it in one piece, then reset the radio.
// The radio's header is read into the header block, as a read does; the pack patches its length
// and table addresses. Progress: one step after each
// device exchange up to the image write (the battery step is made without a query for a radio
// of type 2), so a write and a clone both make ten; a write makes an eleventh after its closing
// software version query. The reset is not stepped.
#include "gen2/device/flows.h"
#include "gen2/device/radio_check.h"

#include "device/device_link.h"
#include "platform/errors.h"
#include "platform/local_time.h"

#include <cstdio>
#include <string>

namespace cps::gen2 {

namespace {

constexpr size_t kInfoOffset = 8;   // block 2003 follows the 8-byte header

std::string stamp(const char* format, int a, int b, int c = 0) {
  char text[32] = {};
  std::snprintf(text, sizeof text, format, a, b, c);
  std::string out(text);
  for (char& ch : out)
    if (ch == ' ') ch = '0';
  return out;
}

// Step 13 of both flows: stamp, pack, write; the stamp goes back when the write fails.
HRESULT pack_and_write(DeviceLink& link, R9Codeplug& codeplug) {
  FieldList& info = codeplug.info();
  const FieldValue date = info.get(info::kDate);
  const FieldValue time = info.get(info::kTime);
  const auto [date_text, time_text] = stamp_texts(local_now());
  info.set_text(info::kDate, date_text);
  info.set_text(info::kTime, time_text);

  const std::vector<uint8_t> image = codeplug.pack_image();
  if (image.size() > kMaxCodeplugLength) raise(err::kCodeplugSize);
  const HRESULT hr = link.write(kCodeplugAddress, static_cast<uint16_t>(image.size()), image.data());
  if (FAILED(hr)) {
    FieldList& kept = codeplug.info();
    kept.set(date);
    kept.set(time);
    throw DeviceFailure{hr};
  }
  link.step();
  return hr;
}

}  // namespace

std::pair<std::string, std::string> stamp_texts(const std::tm& local) {
  return {stamp("%2d-%2d-%4d", local.tm_mon + 1, local.tm_mday, local.tm_year + 1900),
          stamp("%2d:%2d", local.tm_hour, local.tm_min)};
}

std::string serial_text(const std::string& hex_digits) {
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string text;
  for (size_t i = 0; i + 1 < hex_digits.size() && text.size() < 10; i += 2) {
    const int high = nibble(hex_digits[i]);
    const int low = nibble(hex_digits[i + 1]);
    const int byte = high < 0 || low < 0 ? 0xFF : high * 16 + low;
    if (byte == 0) break;
    text.push_back(static_cast<char>(byte));
  }
  return text;
}

HRESULT r9_write_device(R9Radio& radio, IUnknown* device, ULONG handle, IUnknown* progress, bool clone) {
  R9Codeplug& codeplug = radio.codeplug;
  DeviceLink link(device, handle, progress);
  link.start_progress(clone ? 10 : 11);
  check_family(link, radio);
  link.step();
  checked(link.transfer_size());
  link.step();
  if (radio.radio_type == 1) {
    bool low = false;
    checked(link.low_battery(low));
    if (low) raise(err::kBatteryLow);
  }
  link.step();

  // The codeplug goes out under the radio's own version.
  const std::string version = query_version(link);
  const std::string radio_major = major_of(version);
  codeplug.set_target_version(radio_major);
  codeplug.set_version_pair(static_cast<uint16_t>(major_version(codeplug.info().text(info::kMajor)) |
                                                  (major_version(radio_major) << 8)));
  codeplug.info().set({info::kMajor, radio_major, 1});
  codeplug.info().set({info::kMinor, version.substr(3, 2), 1});
  link.step();

  std::string text;
  checked(link.text_command(L"QUERYRADIOSERIALNUMBER", text));
  const bool same_serial = text == serial_text(codeplug.info().text(info::kSerial));
  if (clone && same_serial) raise(err::kSameSerial);
  if (!clone && !same_serial) raise(err::kSerialMismatch);
  link.step();

  checked(link.text_command(L"QUERYRADIOMODELNUMBER", text));
  if (text != padded_model(codeplug.info().text(info::kModel))) raise(err::kModelMismatch);
  link.step();

  checked(link.text_command(L"QUERYRADIOSOFTWAREVERSION", text));
  codeplug.info().put({info::kSoftware, text, 0});
  link.step();

  // The radio's block 2003 replaces the codeplug's, all but field 2058.
  const std::vector<uint8_t> image = read_codeplug(link, codeplug);
  const FieldValue kept = codeplug.info().get(info::kKept);
  if (image.size() <= kInfoOffset) raise(err::kInvalidData);
  codeplug.slot(kInfoBlock).unpack(image.data() + kInfoOffset, image.size() - kInfoOffset, nullptr);
  codeplug.info().set(kept);
  codeplug.unpack_destination(image, radio_major == "04");

  pack_and_write(link, codeplug);

  checked(link.text_command(L"QUERYRADIOSOFTWAREVERSION", text));
  codeplug.info().put({info::kSoftware, text, 0});
  if (!clone) link.step();
  codeplug.set_codeplug_version(radio_major);
  return checked(link.reset());
}

HRESULT r9_reset_device(IUnknown* device, ULONG handle) {
  DeviceLink link(device, handle, nullptr);
  return checked(link.reset());
}

}  // namespace cps::gen2
