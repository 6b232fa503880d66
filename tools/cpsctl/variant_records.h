// Crossing the interface: the VARIANTs that GetBlockData, GetFieldAt and their kin answer, decoded
// into cpsctl's records, and the VARIANTs that SetBlockData and SetFieldAt take, built from them.
// A VARIANT of an unexpected shape fails with Invalid data.
#pragma once

#include "codeplug.h"
#include "host.h"

#include <cstdint>

namespace cpsctl {

// Decodes what GetBlockData answered; `hint` settles the kind of a record with no entries.
Block decode_block(int32_t id, const VARIANT& data, Kind hint);
Row decode_field(const VARIANT& data);  // a 1 x 3 array
void encode_block(const Block& block, VARIANT* out);
void encode_field(const Row& row, VARIANT* out);

}  // namespace cpsctl
