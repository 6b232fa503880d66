// Block 40, the alert and revert settings: one record of three alert-tone selections, a
// four-way mode ("Disabled", "Standard", "Silent", "Silent w/Voice", field 301) with its timer,
// switches and counters, and one system reference: field 314 says whether field 313 names a
// conventional channel or a trunking system, 255 naming none.
//
// What is special: the reference is declared on field 313, so deleting a trunking system or a
// channel rewrites it through the registry's partners (a reference to the deleted entry becomes
// "Conventional" 255, one above it moves down). Header fields 47 (16) and 48 (1) are checked
// like entry fields.
#pragma once

#include "gen1/blocks/framed_block.h"

namespace cps {

class AlertSettings final : public Cloneable<AlertSettings, FramedBlock> {
 public:
  static constexpr int32_t kBlockId = 40;
  static constexpr int32_t kModeField = 301;
  static constexpr int32_t kSystemIndexField = 313;
  static constexpr int32_t kSystemTypeField = 314;

  // One record of defaults, format 128: standard alerts, mode "Disabled", no system.
  AlertSettings();

  // For a radio without trunking: an entry whose system is a trunking system has its mode
  // switched off ("Disabled"). The reference itself goes when the systems are deleted.
  void disable_trunking_mode();

 protected:
  // 47 must be 16 and 48 must be 1 (107), 46 passes; then the entry's rows.
  void check_field(const FieldValue& field) const override;
};

}  // namespace cps
