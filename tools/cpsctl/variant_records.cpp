#include "variant_records.h"

#include <vector>

namespace cpsctl {

namespace {

// ---- Decoding VARIANTs ----------------------------------------------------------------------
//
// The records are read where they lie: each array's element storage is opened with
// SafeArrayAccessData and its VARIANTs are read in place, nested arrays included, so that no
// element is copied on the way to cpsctl's own records.

[[noreturn]] void bad_shape(const std::string& what) {
  throw Failure{kInvalidData, "", "the component answered " + what + " of an unexpected shape"};
}

int32_t integer_of(const VARIANT& v) {
  switch (v.vt) {
    case VT_I1: return v.cVal;
    case VT_UI1: return v.bVal;
    case VT_I2: return v.iVal;
    case VT_UI2: return v.uiVal;
    case VT_I4:
    case VT_INT: return v.lVal;
    case VT_UI4:
    case VT_UINT: return static_cast<int32_t>(v.ulVal);
    default: bad_shape("a field");
  }
}

// A field list: rows of [id, text, attribute].
Rows decode_rows(const VARIANT& v) {
  const RowsView view(v);
  Rows rows(view.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    Row& row = rows[r];
    row.id = view.id(r);
    const std::basic_string_view<OLECHAR> text = view.text(r);
    row.text = utf8_from_wide(text.data(), text.size());
    row.attribute = view.attribute(r);
  }
  return rows;
}

bool is_field_list(const VARIANT& v) { return (v.vt & VT_ARRAY) && v.parray && SafeArrayGetDim(v.parray) == 2; }

// A record's header and its entries (field lists) or lists (records), as `decode_item` reads them.
template <class Record, class Item>
Record decode_pair(const VARIANT& v, std::vector<Item> Record::*items, Item (*decode_item)(const VARIANT&)) {
  const RecordView view(v);
  Record record;
  record.header = decode_rows(view.header());
  (record.*items).reserve(view.size());
  for (size_t k = 0; k < view.size(); ++k) (record.*items).push_back(decode_item(view.item(k)));
  return record;
}

EntryRecord decode_entries(const VARIANT& v) { return decode_pair(v, &EntryRecord::entries, decode_rows); }

// ---- Building VARIANTs ----------------------------------------------------------------------
//
// Each array is created, its element storage opened, and every element built where it lies: the
// element VARIANTs own their strings and nested arrays from the start, none is copied in.

// A VARIANT array under construction, destroyed with what its elements hold unless handed to a
// VARIANT.
class ArrayBuilder {
 public:
  ArrayBuilder(UINT dims, SAFEARRAYBOUND* bounds) : array_(SafeArrayCreate(VT_VARIANT, dims, bounds)) {
    void* data = nullptr;
    if (!array_ || FAILED(SafeArrayAccessData(array_, &data))) {
      if (array_) SafeArrayDestroy(array_);
      throw Failure{E_OUTOFMEMORY, "out of memory"};
    }
    data_ = static_cast<VARIANT*>(data);
  }
  ~ArrayBuilder() {
    if (!array_) return;
    SafeArrayUnaccessData(array_);
    SafeArrayDestroy(array_);
  }
  ArrayBuilder(const ArrayBuilder&) = delete;
  ArrayBuilder& operator=(const ArrayBuilder&) = delete;

  // The element at a zero-based storage position: VT_EMPTY until it is given a value.
  VARIANT* cell(size_t position) { return &data_[position]; }
  void finish_into(VARIANT* out) {
    SafeArrayUnaccessData(array_);
    VariantClear(out);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array_;
    array_ = nullptr;
  }

 private:
  SAFEARRAY* array_;
  VARIANT* data_ = nullptr;
};

void encode_rows(const Rows& rows, VARIANT* out) {
  SAFEARRAYBOUND b[2] = {{static_cast<ULONG>(rows.size()), 0}, {3, 0}};
  ArrayBuilder array(2, b);
  const size_t count = rows.size();
  for (size_t r = 0; r < count; ++r) {
    VARIANT* id = array.cell(r);
    id->vt = VT_I4;
    id->lVal = rows[r].id;
    VARIANT* text = array.cell(count + r);
    text->bstrVal = bstr_from_utf8(rows[r].text);
    text->vt = VT_BSTR;
    VARIANT* attribute = array.cell(2 * count + r);
    attribute->vt = VT_UI1;
    attribute->bVal = rows[r].attribute;
  }
  array.finish_into(out);
}

template <class Items, class EncodeItem>
void encode_pair(const Rows& header, const Items& items, EncodeItem&& encode_item, VARIANT* out) {
  SAFEARRAYBOUND outer_bounds[1] = {{2, 0}};
  ArrayBuilder outer(1, outer_bounds);
  encode_rows(header, outer.cell(0));
  SAFEARRAYBOUND item_bounds[1] = {{static_cast<ULONG>(items.size()), 0}};
  ArrayBuilder vector(1, item_bounds);
  for (size_t k = 0; k < items.size(); ++k) encode_item(items[k], vector.cell(k));
  vector.finish_into(outer.cell(1));
  outer.finish_into(out);
}

void encode_entries(const EntryRecord& record, VARIANT* out) {
  encode_pair(record.header, record.entries, encode_rows, out);
}

}  // namespace

VariantElements::VariantElements(const VARIANT& v, UINT dims, const char* what) {
  VARTYPE type = VT_EMPTY;
  if (!(v.vt & VT_ARRAY) || (v.vt & VT_BYREF) || !v.parray || SafeArrayGetDim(v.parray) != dims ||
      SafeArrayGetElemsize(v.parray) != sizeof(VARIANT) || !(v.parray->fFeatures & FADF_VARIANT) ||
      FAILED(SafeArrayGetVartype(v.parray, &type)) || type != VT_VARIANT)
    bad_shape(what);
  for (UINT d = 0; d < dims; ++d) {
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(v.parray, d + 1, &lower)) || FAILED(SafeArrayGetUBound(v.parray, d + 1, &upper)))
      bad_shape(what);
    count_[d] = upper < lower ? 0 : static_cast<size_t>(int64_t{upper} - lower + 1);
  }
  void* data = nullptr;
  if (FAILED(SafeArrayAccessData(v.parray, &data))) bad_shape(what);
  if (!data && count_[0] > 0 && (dims == 1 || count_[1] > 0)) {
    SafeArrayUnaccessData(v.parray);
    bad_shape(what);
  }
  array_ = v.parray;
  data_ = static_cast<const VARIANT*>(data);
}

RowsView::RowsView(const VARIANT& data) : elements_(data, 2, "a field list") {
  if (elements_.count(2) != 3) bad_shape("a field list");
}

int32_t RowsView::other_integer(const VARIANT& v) { return integer_of(v); }

std::basic_string_view<OLECHAR> RowsView::other_text(const VARIANT& v) {
  if (v.vt == VT_BSTR || v.vt == VT_EMPTY) return {};  // a null BSTR reads as empty
  bad_shape("a field");
}

namespace {

const VARIANT& second_half(const VariantElements& halves) {
  if (halves.count(1) != 2) bad_shape("a record");
  return halves.at(1);
}

}  // namespace

RecordView::RecordView(const VARIANT& data) : halves_(data, 1, "a record"), items_(second_half(halves_), 1, "a record") {}

Kind record_kind(const VARIANT& data, Kind hint) {
  if (is_field_list(data)) return Kind::Fields;
  // Whether a record's items are field lists (entries) or records (lists) shows in the first
  // item; a record without items reads the same either way and takes the block's usual kind.
  const RecordView view(data);
  if (view.size() == 0) return hint == Kind::Lists ? Kind::Lists : Kind::Block;
  return is_field_list(view.item(0)) ? Kind::Block : Kind::Lists;
}

Block decode_block(int32_t id, const VARIANT& data, Kind hint) {
  Block block{id, Rows{}};
  switch (record_kind(data, hint)) {
    case Kind::Fields: block.record = decode_rows(data); break;
    case Kind::Block: block.record = decode_entries(data); break;
    case Kind::Lists: block.record = decode_pair(data, &ListRecord::lists, decode_entries); break;
  }
  return block;
}

Row decode_field(const VARIANT& data) {
  Rows rows = decode_rows(data);
  if (rows.size() != 1) bad_shape("a field");
  return rows.front();
}

void encode_field(const Row& row, VARIANT* out) { encode_rows(Rows{row}, out); }

void encode_block(const Block& block, VARIANT* out) {
  switch (block.kind()) {
    case Kind::Fields: encode_rows(std::get<Rows>(block.record), out); break;
    case Kind::Block: encode_entries(std::get<EntryRecord>(block.record), out); break;
    case Kind::Lists: {
      const auto& record = std::get<ListRecord>(block.record);
      encode_pair(record.header, record.lists, encode_entries, out);
      break;
    }
  }
}

}  // namespace cpsctl
