// The four VARIANT encodings in which field values cross the interface:
//   1. one field: a 1 x 3 array of VARIANT (ID as VT_I4, text as VT_BSTR, attribute as VT_UI1);
//   2. a field list: an n x 3 array, row i holding field i;
//   3. a block record: a vector of 2: the header (2), and a vector of entries (each 2);
//   4. a list block record: a vector of 2: the header (2), and a vector of lists (each 3).
// Every array is a SAFEARRAY of VARIANT with lower bound 0, carried as VT_ARRAY | VT_VARIANT.
#pragma once

#include "engine/field_values.h"

#include <cpservices/oleauto.h>

namespace cps {

// Encoders fill `out` (which they treat as uninitialised). 106 when an array cannot be built.
void encode_field(const FieldValue& field, VARIANT* out);
void encode_field_list(const FieldList& list, VARIANT* out);
void encode_block_record(const BlockRecord& record, VARIANT* out);
void encode_list_block_record(const ListBlockRecord& record, VARIANT* out);

// Decoders. 107 for a wrong number of dimensions (or a VARIANT that carries no array), 109 for a
// failed bound query, 106 for a failed element fetch. The target is cleared first, so a decode
// that fails part-way leaves it partly filled: decode into a scratch record.
FieldValue decode_field(const VARIANT& in);
void decode_field_list(const VARIANT& in, FieldList& out);
void decode_block_record(const VARIANT& in, BlockRecord& out);
void decode_list_block_record(const VARIANT& in, ListBlockRecord& out);

}  // namespace cps
