// Block 4, the programming record: how the codeplug was last programmed. It holds the codeplug
// version the image is laid out for (field 103), who programmed it (104), the date and time
// (105, 106) and, not stored in the radio, the radio's software version (461). It is the first
// block the container unpacks; reading a radio fills in 461, and writing or cloning stamps 103,
// 105 and 106 through set_field. The service object takes the first two characters of 103 as
// the version text it hands to the other blocks.
//
// What is special: versions, dates and times are BCD digits shown through patterns (the date
// is stored year, month, day but shown month-day-year), and a codeplug version above 07.99 is
// refused wherever it appears (133).
#pragma once

#include "gen1/blocks/framed_block.h"

#include <cstdint>
#include <string>

namespace cps {

class ProgrammingRecord final : public Cloneable<ProgrammingRecord, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 4;
  static constexpr int32_t kVersionField = 103;
  static constexpr int32_t kSourceField = 104;
  static constexpr int32_t kDateField = 105;          // "MM-DD-YYYY"
  static constexpr int32_t kTimeField = 106;          // "HH:MM"
  static constexpr int32_t kSoftwareVersionField = 461;

  // Default content: format 128, one record of version 07.20 programmed by "CPS".
  ProgrammingRecord();

  // As the frame does; once stored, the first two characters of 103 become the block's major
  // version text.
  void set_block(const BlockRecord& given) override;

  // The first two characters of field 103.
  std::string version_text() const;

 protected:
  // The block's field check covers its header too: 47 must be 9 and 48 must be 1 (107). A
  // header field that passes is still not an entry field, so setting it gives 104.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
