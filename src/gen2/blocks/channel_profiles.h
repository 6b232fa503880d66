// Block 2017, the channel profiles: the rules a channel borrows from its profile. Busy-channel
// and transmit-inhibit rules, carrier and squelch behaviour, the transmit timer, when the
// radio's identification is sent, and a row of flags, 18 bytes per profile; 0 to 100 profiles.
//
// What is special: a block that holds no profile is framed afresh when one is added (record size
// 26); a new profile's flag 2431 is clear on a radio of type 2 and set on every other; the timer
// 2455 is stored in tens.
//
// The service object holds the block twice, in the radio's form (the bytes a radio stores) and
// in the host's form (what the host edits). Both have the same field IDs and the same rules, so
// the codeplug makes the host form's record a copy of the radio form's after a read, and the
// radio form's a copy of the host form's before a pack.
#pragma once

#include "gen2/values/list_frame.h"

namespace cps::gen2 {

class ChannelProfiles : public FramedList {
 public:
  ChannelProfiles();

 protected:
  FieldList default_entry() const override;
};

}  // namespace cps::gen2
