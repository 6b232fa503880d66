// Reset values of first-generation references that come from the codeplug rather than from a
// constant: what a reference to a deleted trunking system falls back to.
#pragma once

#include "engine/references.h"

namespace cps {

// The type (field 425) and index (field 427) of the first member of the first channel group
// (block 6), the radio's fallback channel. Without a channel group to read (block 6 not held,
// not enabled, or its first group empty) or with a first member that names no channel or
// trunking system ("Unassigned", "Selected"), the fallback is the first conventional channel:
// ("Conventional", "0").
std::pair<std::string, std::string> first_channel_group_member(BlockDirectory& blocks,
                                                               const std::pair<std::string, std::string>& current);

}  // namespace cps
