#include "engine/variant_codec.h"

#include "platform/errors.h"
#include "platform/codepage.h"
#include "platform/ole_util.h"

#include <string>

namespace cps {

namespace {

// ---- Building arrays -------------------------------------------------------------------------

// Writes VARIANTs straight into an array's storage, taking ownership of each value, so that a
// record is encoded without copying the arrays it is made of.
class VariantArrayWriter {
 public:
  VariantArrayWriter(UINT dims, SAFEARRAYBOUND* bounds) : array_(SafeArrayCreate(VT_VARIANT, dims, bounds)) {
    if (!array_.get()) raise(err::kNoStorage);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array_.get(), &data))) raise(err::kNoStorage);
    data_ = static_cast<VARIANT*>(data);
  }
  ~VariantArrayWriter() {
    if (array_.get()) SafeArrayUnaccessData(array_.get());
  }

  // The cell at a storage position (dimension 1 varies fastest).
  VARIANT* cell(size_t position) { return data_ + position; }

  void finish_into(VARIANT* out) {
    SafeArrayUnaccessData(array_.get());
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array_.release();
  }

 private:
  ScopedArray array_;
  VARIANT* data_ = nullptr;
};

void put_field(VariantArrayWriter& writer, size_t rows, size_t row, int32_t field_id, std::string_view value,
               uint8_t field_attribute) {
  // Cell (row, column) of an n x 3 array lives at row + column * n.
  VARIANT* id = writer.cell(row);
  id->vt = VT_I4;
  id->lVal = field_id;
  VARIANT* text = writer.cell(row + rows);
  BSTR bstr = bstr_from_narrow(value);
  if (!bstr) raise(err::kNoStorage);
  text->vt = VT_BSTR;
  text->bstrVal = bstr;
  VARIANT* attribute = writer.cell(row + 2 * rows);
  attribute->vt = VT_UI1;
  attribute->bVal = field_attribute;
}

// ---- Reading arrays --------------------------------------------------------------------------

// The array that a VARIANT carries. The element type in the type word is not looked at, but a
// VARIANT that carries no array at all (or an array of something other than VARIANTs) is invalid
// data rather than a pointer to follow.
SAFEARRAY* array_of(const VARIANT& in) {
  const VARIANT* v = &in;
  if (v->vt == (VT_BYREF | VT_VARIANT)) {
    if (!v->pvarVal) raise(err::kInvalidData);
    v = v->pvarVal;
  }
  if (!(v->vt & VT_ARRAY)) raise(err::kInvalidData);
  SAFEARRAY* array = (v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
  if (!array) raise(err::kInvalidData);
  VARTYPE element = VT_EMPTY;
  if (FAILED(SafeArrayGetVartype(array, &element)) || element != VT_VARIANT)
    raise(err::kInvalidData);
  return array;
}

SAFEARRAY* array_with_dims(const VARIANT& in, UINT dims) {
  SAFEARRAY* array = array_of(in);
  if (SafeArrayGetDim(array) != dims) raise(err::kInvalidData);
  return array;
}

void bounds_of(SAFEARRAY* array, LONG& lower, LONG& upper) {
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
    raise(err::kOutOfBounds);
}

void fetch(SAFEARRAY* array, LONG* indices, ScopedVariant& out) {
  if (FAILED(SafeArrayGetElement(array, indices, out.get()))) raise(err::kNoStorage);
}

const VARIANT& unwrap(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal) return *v.pvarVal;
  return v;
}

// The 32-bit integer payload. A host that sends a narrower integer type (a script's literal
// arrives as VT_I2) gets its value read at its own width.
int32_t integer_payload(const VARIANT& in) {
  const VARIANT& v = unwrap(in);
  switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_BOOL: return v.boolVal;
    default: return v.lVal;
  }
}

std::string text_payload(const VARIANT& in) {
  const VARIANT& v = unwrap(in);
  switch (v.vt) {
    case VT_BSTR: return narrow_from_bstr(v.bstrVal);
    case VT_BSTR | VT_BYREF: return v.pbstrVal ? narrow_from_bstr(*v.pbstrVal) : std::string();
    case VT_EMPTY:
    case VT_NULL: return std::string();
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_INT: return std::to_string(integer_payload(v));
    case VT_UI4:
    case VT_UINT: return std::to_string(v.ulVal);
    default: raise(err::kInvalidData);  // no text to be had from this element
  }
}

FieldValue fetch_field(SAFEARRAY* array, LONG row) {
  FieldValue field;
  {
    ScopedVariant id;
    LONG at[2] = {row, 0};
    fetch(array, at, id);
    field.id = integer_payload(*id);
  }
  {
    ScopedVariant text;
    LONG at[2] = {row, 1};
    fetch(array, at, text);
    field.value = text_payload(*text);
  }
  {
    ScopedVariant attribute;
    LONG at[2] = {row, 2};
    fetch(array, at, attribute);
    field.attribute = static_cast<uint8_t>(integer_payload(*attribute) & 0xFF);
  }
  return field;
}

// Runs `each(k, element)` for every element of the one-dimensional array in `in`.
template <class Each>
void for_each_element(const VARIANT& in, Each&& each) {
  SAFEARRAY* array = array_with_dims(in, 1);
  LONG lower = 0, upper = -1;
  bounds_of(array, lower, upper);
  for (LONG k = lower; k <= upper; ++k) {
    ScopedVariant element;
    fetch(array, &k, element);
    each(*element);
  }
}

// The two-element outer vector of encodings 3 and 4.
void fetch_pair(SAFEARRAY* outer, ScopedVariant& header, ScopedVariant& items) {
  LONG first = 0, second = 1;
  fetch(outer, &first, header);
  fetch(outer, &second, items);
}

// ---- Reading arrays in place ---------------------------------------------------------------
//
// A record as this component encodes it, and as hosts usually build it, is read where it lies:
// every array an array of VARIANTs by value, every ID and attribute an integer, every text a
// BSTR, an integer or empty. Reading such a record through SafeArrayGetElement would copy each
// nested array whole and every BSTR once more, only to read it and free it again. Anything else
// (a reference to a text, a cell of an invalid type, an index outside its dimension, an array
// that cannot be locked) makes the in-place reader give up, and the copying reader above reads
// the VARIANT from the start, with its own results and error codes: the in-place reader only
// accepts what the copying reader reads to the same values without an error.

// The cells of a plain array of VARIANTs, locked while the reader lives.
class PlainArray {
 public:
  PlainArray() = default;
  PlainArray(const PlainArray&) = delete;
  PlainArray& operator=(const PlainArray&) = delete;
  ~PlainArray() {
    if (array_) SafeArrayUnaccessData(array_);
  }

  // False when `in` does not carry a plain array of `dims` dimensions.
  bool open(const VARIANT& in, UINT dims) {
    const VARIANT* v = &in;
    if (v->vt == (VT_BYREF | VT_VARIANT)) {
      if (!v->pvarVal) return false;
      v = v->pvarVal;
    }
    if (v->vt != (VT_ARRAY | VT_VARIANT) || !v->parray || dims > 2) return false;
    SAFEARRAY* array = v->parray;
    VARTYPE element = VT_EMPTY;
    if (SafeArrayGetDim(array) != dims || SafeArrayGetElemsize(array) != sizeof(VARIANT) ||
        !(array->fFeatures & FADF_VARIANT) || FAILED(SafeArrayGetVartype(array, &element)) ||
        element != VT_VARIANT)
      return false;
    for (UINT d = 0; d < dims; ++d)
      if (FAILED(SafeArrayGetLBound(array, d + 1, &lower_[d])) || FAILED(SafeArrayGetUBound(array, d + 1, &upper_[d])))
        return false;
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return false;
    array_ = array;
    data_ = static_cast<const VARIANT*>(data);
    return data_ != nullptr;
  }

  LONG lower(UINT d) const { return lower_[d]; }
  LONG upper(UINT d) const { return upper_[d]; }
  bool holds(UINT d, LONG index) const { return index >= lower_[d] && index <= upper_[d]; }

  // The cell at `index` of a one-dimensional array, or at (row, column) of a two-dimensional one
  // (dimension 1 varies fastest); nullptr outside the bounds.
  const VARIANT* cell(LONG index) const { return holds(0, index) ? data_ + (index - lower_[0]) : nullptr; }
  const VARIANT* cell(LONG row, LONG column) const {
    if (!holds(0, row) || !holds(1, column)) return nullptr;
    const size_t rows = static_cast<size_t>(int64_t{upper_[0]} - lower_[0] + 1);
    return data_ + static_cast<size_t>(row - lower_[0]) + static_cast<size_t>(column - lower_[1]) * rows;
  }

 private:
  SAFEARRAY* array_ = nullptr;
  const VARIANT* data_ = nullptr;
  LONG lower_[2] = {0, 0};
  LONG upper_[2] = {-1, -1};
};

// An ID or attribute cell that integer_payload reads as the copying reader would.
bool plain_integer(const VARIANT* v) {
  if (!v) return false;
  switch (v->vt) {
    case VT_EMPTY:
    case VT_NULL:
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT: return true;
    default: return false;
  }
}

// A text cell that text_payload reads without an error and as the copying reader would.
bool plain_text(const VARIANT* v) { return v && ((v->vt == VT_BSTR && v->bstrVal) || plain_integer(v)); }

bool read_rows_in_place(const VARIANT& in, FieldList& out) {
  PlainArray array;
  if (!array.open(in, 2)) return false;
  const LONG lower = array.lower(0), upper = array.upper(0);
  out.clear();
  if (upper < lower) return true;
  out.reserve(static_cast<size_t>(int64_t{upper} - lower + 1));
  for (LONG row = lower; row <= upper; ++row) {
    const VARIANT *id = array.cell(row, 0), *text = array.cell(row, 1), *attribute = array.cell(row, 2);
    if (!plain_integer(id) || !plain_text(text) || !plain_integer(attribute)) return false;
    const int32_t field_id = integer_payload(*id);
    const auto field_attribute = static_cast<uint8_t>(integer_payload(*attribute) & 0xFF);
    if (text->vt == VT_BSTR)  // nearly every text: narrowed straight into the field
      narrow_into(out.add_text(field_id, field_attribute), text->bstrVal, SysStringLen(text->bstrVal));
    else
      out.add(field_id, text_payload(*text), field_attribute);
  }
  return true;
}

// The header and items cells of encodings 3 and 4, and the items array opened.
bool open_pair(const PlainArray& outer, FieldList& header, PlainArray& items) {
  const VARIANT* header_cell = outer.cell(0);
  const VARIANT* items_cell = outer.cell(1);
  return header_cell && items_cell && read_rows_in_place(*header_cell, header) && items.open(*items_cell, 1);
}

bool read_block_in_place(const VARIANT& in, BlockRecord& out) {
  PlainArray outer, entries;
  if (!outer.open(in, 1)) return false;
  out.clear();
  if (!open_pair(outer, out.header(), entries)) return false;
  for (LONG k = entries.lower(0); k <= entries.upper(0); ++k)
    if (!read_rows_in_place(*entries.cell(k), out.entry(out.add_entry()))) return false;
  return true;
}

bool read_lists_in_place(const VARIANT& in, ListBlockRecord& out) {
  PlainArray outer, lists;
  if (!outer.open(in, 1)) return false;
  out.clear();
  if (!open_pair(outer, out.header(), lists)) return false;
  for (LONG k = lists.lower(0); k <= lists.upper(0); ++k)
    if (!read_block_in_place(*lists.cell(k), out.list(out.add_list()))) return false;
  return true;
}

}  // namespace

// ---- Encoding --------------------------------------------------------------------------------

void encode_field(const FieldValue& field, VARIANT* out) {
  SAFEARRAYBOUND bounds[2] = {{1, 0}, {3, 0}};
  VariantArrayWriter writer(2, bounds);
  put_field(writer, 1, 0, field.id, field.value, field.attribute);
  writer.finish_into(out);
}

void encode_field_list(const FieldList& list, VARIANT* out) {
  const size_t rows = list.count();
  SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(rows), 0}, {3, 0}};
  VariantArrayWriter writer(2, bounds);
  for (size_t i = 0; i < rows; ++i) put_field(writer, rows, i, list.id_at(i), list.text_at(i), list.attribute_at(i));
  writer.finish_into(out);
}

namespace {

template <class Items, class EncodeItem>
void encode_pair(const FieldList& header, size_t count, const Items& item_at, EncodeItem&& encode_item,
                 VARIANT* out) {
  SAFEARRAYBOUND item_bounds[1] = {{static_cast<ULONG>(count), 0}};
  VariantArrayWriter items(1, item_bounds);
  for (size_t k = 0; k < count; ++k) encode_item(item_at(k), items.cell(k));

  SAFEARRAYBOUND outer_bounds[1] = {{2, 0}};
  VariantArrayWriter outer(1, outer_bounds);
  encode_field_list(header, outer.cell(0));
  items.finish_into(outer.cell(1));
  outer.finish_into(out);
}

}  // namespace

void encode_block_record(const BlockRecord& record, VARIANT* out) {
  encode_pair(
      record.header(), record.entry_count(),
      [&](size_t k) -> const FieldList& { return record.entry(k); },
      [](const FieldList& entry, VARIANT* cell) { encode_field_list(entry, cell); }, out);
}

void encode_list_block_record(const ListBlockRecord& record, VARIANT* out) {
  encode_pair(
      record.header(), record.list_count(),
      [&](size_t k) -> const BlockRecord& { return record.list(k); },
      [](const BlockRecord& list, VARIANT* cell) { encode_block_record(list, cell); }, out);
}

// ---- Decoding --------------------------------------------------------------------------------

FieldValue decode_field(const VARIANT& in) {
  SAFEARRAY* array = array_with_dims(in, 2);
  return fetch_field(array, 0);
}

void decode_field_list(const VARIANT& in, FieldList& out) {
  if (read_rows_in_place(in, out)) return;
  SAFEARRAY* array = array_with_dims(in, 2);
  LONG lower = 0, upper = -1;
  bounds_of(array, lower, upper);
  out.clear();
  for (LONG row = lower; row <= upper; ++row) out.add(fetch_field(array, row));
}

void decode_block_record(const VARIANT& in, BlockRecord& out) {
  if (read_block_in_place(in, out)) return;
  SAFEARRAY* outer = array_with_dims(in, 1);
  out.clear();
  ScopedVariant header, entries;
  fetch_pair(outer, header, entries);
  decode_field_list(*header, out.header());
  for_each_element(*entries, [&](const VARIANT& element) {
    size_t k = out.add_entry();
    decode_field_list(element, out.entry(k));
  });
}

void decode_list_block_record(const VARIANT& in, ListBlockRecord& out) {
  if (read_lists_in_place(in, out)) return;
  SAFEARRAY* outer = array_with_dims(in, 1);
  out.clear();
  ScopedVariant header, lists;
  fetch_pair(outer, header, lists);
  decode_field_list(*header, out.header());
  for_each_element(*lists, [&](const VARIANT& element) {
    size_t k = out.add_list();
    decode_block_record(element, out.list(k));
  });
}

}  // namespace cps
