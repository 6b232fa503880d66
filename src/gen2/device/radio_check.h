// The steps every R9 device flow shares: a device status that ends the flow, the product
// family, the transfer size and the radio's codeplug version, and the reads of the radio's
// header and whole codeplug.
#pragma once

#include "device/device_link.h"
#include "gen2/device/flows.h"

#include <string>
#include <vector>

namespace cps::gen2 {

// A negative status ends the flow with that status; any other is handed back.
HRESULT checked(HRESULT hr);

// "QUERYRADIOUUID": 112 (and radio type 0 in the object) unless the radio is an R9 radio.
HRESULT check_family(DeviceLink& link, R9Radio& radio);
// "QUERYRADIOCODEPLUGVERSION", checked (132, 133).
std::string query_version(DeviceLink& link);
// The radio's header (8 bytes at 643) into the header block, then `length` = field 2046 bytes
// from 643 as the radio's image; the link is stepped after each read.
std::vector<uint8_t> read_codeplug(DeviceLink& link, R9Codeplug& codeplug);

// The first two characters of a version text ("04.10" -> "04").
inline std::string major_of(const std::string& version) { return version.substr(0, 2); }

}  // namespace cps::gen2
