// A second-generation radio for the flow tests: a codeplug image built here (directory blocks,
// block 2003, data blocks with valid framing) in a simulated radio, and stand-in handlers with
// the byte layout of the fields the flows use, for blocks whose handlers are not built yet.
#pragma once

#include "engine/block_base.h"
#include "gen2/codeplug.h"
#include "gen2/values/list_frame.h"
#include "interface/r9_cp_services.h"
#include "sim/simulated_radio.h"

#include <cstdio>
#include <string>
#include <vector>

namespace cps::gen2::test {

using Bytes = std::vector<uint8_t>;

inline constexpr const char* kR9Uuid = "C6C1ABE0CA6311D181B700A024DEBA0E";  // any letter case
inline constexpr const char* kModel = "R9PORT01";  // radio type 1 (family 0)
inline constexpr const char* kModel2 = "R9MOBILE02";  // radio type 2 (family 1)
inline constexpr const char* kSerial = "100TAA0001";

// ---- Stand-in handlers ----------------------------------------------------------------------

inline std::string hex_decode(const uint8_t* entry, const layout::FieldDesc& row, const BlockBase&) {
  std::string text;
  for (size_t i = 0; i < row.width; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02X", entry[row.offset + i]);
    text += pair;
  }
  return text;
}
inline void hex_encode(std::string_view text, uint8_t* entry, const layout::FieldDesc& row, const BlockBase&) {
  for (size_t i = 0; i < row.width && 2 * i + 1 < text.size(); ++i)
    entry[row.offset + i] = static_cast<uint8_t>(hex_digit_value(text[2 * i]) * 16 + hex_digit_value(text[2 * i + 1]));
}
inline constexpr layout::CustomCodec kHex{&hex_decode, &hex_encode, nullptr};

// Block 2003 as far as the flows read it: serial, model, version, kept field; the stamp and
// the software version are not stored.
inline constexpr layout::FieldDesc kInfoRows[] = {
    {.id = info::kSerial, .offset = 0, .width = 10, .codec = layout::Codec::Custom, .custom = &kHex},
    {.id = info::kModel, .offset = 10, .width = 16, .codec = layout::Codec::Text, .zero_fill = true},
    {.id = info::kMajor, .offset = 26},
    {.id = info::kMinor, .offset = 27},
    {.id = info::kDate, .codec = layout::Codec::Virtual, .dflt = {""}},
    {.id = info::kTime, .codec = layout::Codec::Virtual, .dflt = {""}},
    {.id = info::kKept, .offset = 53, .width = 2},
    {.id = info::kSoftware, .codec = layout::Codec::Virtual, .attribute = 0, .dflt = {""}},
};
inline const ListShape kInfoShape{.rows = kInfoRows, .min_count = 1, .max_count = 1, .record_size = 67};
class StandInInfo : public FramedList {
 public:
  StandInInfo() : FramedList(kInfoShape) {}
};

// Any other list block: one byte per entry, field 2875.
inline constexpr layout::FieldDesc kByteRows[] = {{.id = 2875, .offset = 0}};
inline const ListShape kByteShape{.rows = kByteRows, .min_count = 0, .max_count = 255, .record_size = 1,
                                  .reframe_when_empty = true};
class StandInList : public FramedList {
 public:
  StandInList() : FramedList(kByteShape) {}
};

// An object whose block 2003 (and any blocks named) have stand-in handlers and whose other
// data blocks are carried as bytes, whichever handlers the registry builds.
inline void install_stand_ins(R9CPServices& object, std::initializer_list<int32_t> lists = {}) {
  for (const R9Block& row : r9_blocks())
    if (row.shape == R9Shape::List) object.codeplug().install(row.id, nullptr);
  object.codeplug().install(2003, &make_list<StandInInfo>);
  for (int32_t id : lists) object.codeplug().install(id, &make_list<StandInList>);
}

// ---- Images ---------------------------------------------------------------------------------

// A framed list block: flags byte 0x80, record size, the entries, the checksum.
inline Bytes framed(uint16_t record_size, const std::vector<Bytes>& entries, uint8_t flags = 0x80) {
  Bytes image{flags, static_cast<uint8_t>(record_size >> 8), static_cast<uint8_t>(record_size & 0xFF),
              static_cast<uint8_t>(entries.size())};
  for (const Bytes& e : entries) {
    Bytes entry = e;
    entry.resize(record_size, 0);
    image.insert(image.end(), entry.begin(), entry.end());
  }
  image.push_back(checksum(image.data(), image.size()));
  return image;
}

// Block 2003: serial (10 bytes of text), model, version 04.01, field 2058 = 0x1234.
inline Bytes info_block(const std::string& serial = kSerial, const std::string& model = kModel,
                        uint8_t major = 4, uint8_t minor = 1) {
  Bytes entry(67, 0);
  for (size_t i = 0; i < serial.size() && i < 10; ++i) entry[i] = static_cast<uint8_t>(serial[i]);
  for (size_t i = 0; i < model.size() && i < 16; ++i) entry[10 + i] = static_cast<uint8_t>(model[i]);
  entry[26] = major;
  entry[27] = minor;
  entry[53] = 0x12;
  entry[54] = 0x34;
  return framed(67, {entry});
}

struct Block {
  int32_t id;
  Bytes bytes;
};

// A whole codeplug image from 643: header, the blocks in the order given (each marked present
// and its address recorded), presence table (`presence_length` bytes), address table.
inline Bytes codeplug_image(const std::vector<Block>& blocks, uint16_t presence_length = 7) {
  Bytes image(8, 0);
  image[0] = 0x5A;  // header value 5, flags 1 0 1 0
  image[1] = 0x30;
  Bytes presence(presence_length, 0);
  presence[0] = static_cast<uint8_t>(presence_length >> 8);
  presence[1] = static_cast<uint8_t>(presence_length & 0xFF);
  presence[5] = 0x02;  // a bit of a block this object does not serve, carried along
  Bytes addresses(67, 0);
  addresses[1] = 67;
  addresses[2 + 2 * (2854 - 2835) + 1] = 0x77;  // an address field without a block, carried along
  const int32_t bit_of[][3] = {  // block, byte, bit
      {2003, 2, 0}, {2004, 2, 1}, {2005, 2, 2}, {2006, 2, 3}, {2007, 2, 4}, {2008, 2, 5}, {2009, 2, 6},
      {2010, 2, 7}, {2011, 3, 0}, {2012, 3, 1}, {2013, 3, 2}, {2014, 3, 3}, {2015, 3, 4}, {2016, 3, 5},
      {2017, 3, 6}, {2018, 3, 7}, {2019, 4, 0}, {2020, 4, 1}, {2867, 4, 3}, {2021, 4, 4}, {2022, 4, 5},
      {2023, 4, 6}, {2024, 4, 7}, {2025, 5, 0}, {2026, 5, 7}};
  for (const Block& b : blocks) {
    for (const auto& bit : bit_of)
      if (bit[0] == b.id) presence[bit[1]] |= static_cast<uint8_t>(1 << bit[2]);
    const size_t at = 643 + image.size();
    const size_t field = static_cast<size_t>(address_field(b.id) - 2835);
    addresses[2 + 2 * field] = static_cast<uint8_t>(at >> 8);
    addresses[3 + 2 * field] = static_cast<uint8_t>(at & 0xFF);
    image.insert(image.end(), b.bytes.begin(), b.bytes.end());
  }
  presence[6] = checksum(presence.data(), 6);
  addresses[66] = checksum(addresses.data(), 66);
  const size_t presence_at = 643 + image.size();
  image.insert(image.end(), presence.begin(), presence.end());
  const size_t addresses_at = 643 + image.size();
  image.insert(image.end(), addresses.begin(), addresses.end());
  auto word = [&](size_t at, size_t value) {
    image[at] = static_cast<uint8_t>(value >> 8);
    image[at + 1] = static_cast<uint8_t>(value & 0xFF);
  };
  word(2, image.size());
  word(4, presence_at);
  word(6, addresses_at);
  return image;
}

// The usual codeplug: 2003, two opaque data blocks (2010 before, 2026 after the retained block)
// and the retained radio block 2867.
inline std::vector<Block> usual_blocks(const std::string& serial = kSerial) {
  return {{2003, info_block(serial)},
          {2010, framed(3, {{1, 2, 3}, {4, 5, 6}})},
          {2867, framed(4, {{0x80, 0, 0, 1}})},
          {2026, framed(2, {{0xAB, 0xCD}}, 0xC5)}};
}

inline sim::SimulatedRadio make_r9_radio(const Bytes& image, const std::string& serial = kSerial,
                                         const std::string& model = kModel) {
  sim::SimulatedRadio radio;
  radio.generation = 2;
  radio.identity.uuid = kR9Uuid;
  radio.identity.codeplug_version = "04.01";
  radio.identity.software_version = "R09.00.03";
  radio.identity.serial_number = serial;
  std::string padded = model;
  padded.resize(16, ' ');
  radio.identity.model_number = padded;
  radio.identity.max_transfer = 512;
  radio.write(643, image);
  return radio;
}

}  // namespace cps::gen2::test
