// The codeplug version texts that some first-generation blocks treat apart: the two oldest
// layouts (major version texts "01" and "02"), which have no "Last Active" designated scan
// channel and leave the priority-sample time of a scan list at 0. Chosen once, here, for every
// block that asks whether a codeplug is of one of those layouts.
#pragma once

#include <string_view>

namespace cps {

inline constexpr std::string_view kFirstLegacyLayout = "01";
inline constexpr std::string_view kSecondLegacyLayout = "02";

// Whether a block base's version text is one of the two.
constexpr bool legacy_layout(std::string_view version) {
  return version == kFirstLegacyLayout || version == kSecondLegacyLayout;
}

}  // namespace cps
