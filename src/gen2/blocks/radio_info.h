// Block 2003, the radio information block: who the radio is and what its codeplug is. Serial
// number (2049), model number (2050), the codeplug's major and minor version (2051, 2052), who
// programmed it and when (2053, 2054, 2055), its region (2059) and a few further identity values
// the radio owns. It is always the first data block of an R9 codeplug (address 651), and the
// service object reads it itself: the serial and model checks of a write or clone, the codeplug
// version, the date and time of programming, field 2058 that survives a write, and field 2070,
// the radio's software version, which is not stored in the block at all.
//
// What is special: the block holds exactly one entry (add returns 0 and adds nothing, delete does
// nothing, a count other than 1 is refused); every pack stamps the moment of packing into 2054
// and 2055 and their bytes, whatever the fields held; the serial number shows as 20 hexadecimal
// digits, the two levels 2068 and 2069 as (byte / 25.9) squared.
#pragma once

#include "gen2/values/list_frame.h"
#include "platform/local_time.h"

#include <ctime>
#include <string>

namespace cps::gen2 {

class RadioInfo : public FramedList {
 public:
  static constexpr int32_t kSerialNumber = 2049;
  static constexpr int32_t kModelNumber = 2050;
  static constexpr int32_t kMajorVersion = 2051;
  static constexpr int32_t kMinorVersion = 2052;
  static constexpr int32_t kProgrammingDate = 2054;
  static constexpr int32_t kProgrammingTime = 2055;
  static constexpr int32_t kKeptOnWrite = 2058;
  static constexpr int32_t kSoftwareVersion = 2070;

  // What pack takes as "now": the host's local time unless a caller gives another clock.
  using Clock = std::tm (*)();

  RadioInfo();

  // 107 for an image whose count is not 1; otherwise as every framed list (13, 103, 107, 108).
  void unpack(const uint8_t* bytes, size_t length) override;
  // Stamps the clock's moment into 2054 and 2055, then packs (the stamp stays in the record).
  std::vector<uint8_t> pack() override;
  // The block has its one entry: adding returns 0 and adds nothing, deleting does nothing.
  size_t add_entry() override { return 0; }
  void delete_entry(size_t /*index*/) override {}

  // Writes `when` into 2054 ("07-04-2009") and 2055 ("09:05") of the entry: 105 when the block
  // has none.
  void stamp(const std::tm& when);
  void set_clock(Clock clock) { clock_ = clock; }

  // Field 2050 of the entry with trailing blanks removed; empty when the block has no entry.
  std::string model_number() const;

 private:
  Clock clock_;
};

}  // namespace cps::gen2
