#include "variant_records.h"

#include <vector>

namespace cpsctl {

namespace {

// ---- Decoding VARIANTs ----------------------------------------------------------------------

[[noreturn]] void bad_shape(const std::string& what) {
  throw Failure{kInvalidData, "", "the component answered " + what + " of an unexpected shape"};
}

SAFEARRAY* array_of(const VARIANT& v, UINT dims, const char* what) {
  if (!(v.vt & VT_ARRAY) || (v.vt & VT_BYREF) || !v.parray || SafeArrayGetDim(v.parray) != dims)
    bad_shape(what);
  return v.parray;
}

void bounds(SAFEARRAY* array, UINT dim, LONG& lower, LONG& upper) {
  if (FAILED(SafeArrayGetLBound(array, dim, &lower)) || FAILED(SafeArrayGetUBound(array, dim, &upper)))
    bad_shape("an array");
}

void element(SAFEARRAY* array, LONG* at, Variant& out) {
  if (FAILED(SafeArrayGetElement(array, at, out.get()))) bad_shape("an array");
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

std::string text_of(const VARIANT& v) {
  if (v.vt == VT_BSTR) return utf8_from_bstr(v.bstrVal);
  if (v.vt == VT_EMPTY) return {};
  bad_shape("a field");
}

Rows decode_rows(const VARIANT& v) {
  SAFEARRAY* array = array_of(v, 2, "a field list");
  LONG first = 0, last = -1, column0 = 0, column2 = -1;
  bounds(array, 1, first, last);
  bounds(array, 2, column0, column2);
  if (column2 - column0 != 2) bad_shape("a field list");
  Rows rows;
  for (LONG r = first; r <= last; ++r) {
    Row row;
    Variant id, text, attribute;
    LONG at[3][2] = {{r, column0}, {r, column0 + 1}, {r, column0 + 2}};
    element(array, at[0], id);
    element(array, at[1], text);
    element(array, at[2], attribute);
    row.id = integer_of(*id);
    row.text = text_of(*text);
    row.attribute = static_cast<uint8_t>(integer_of(*attribute) & 0xFF);
    rows.push_back(std::move(row));
  }
  return rows;
}

bool is_field_list(const VARIANT& v) { return (v.vt & VT_ARRAY) && v.parray && SafeArrayGetDim(v.parray) == 2; }

// A record, or its vector of entries or lists: a one-dimensional array, and its bounds.
SAFEARRAY* vector_of(const VARIANT& v, LONG& first, LONG& last) {
  SAFEARRAY* array = array_of(v, 1, "a record");
  bounds(array, 1, first, last);
  return array;
}

template <class Each>
void for_each_item(const VARIANT& v, Each&& each) {
  LONG first = 0, last = -1;
  SAFEARRAY* array = vector_of(v, first, last);
  for (LONG k = first; k <= last; ++k) {
    Variant item;
    element(array, &k, item);
    each(*item);
  }
}

// The two halves of a record: its header and its vector of entries or lists.
void halves(const VARIANT& v, Variant& header, Variant& items) {
  LONG first = 0, last = -1;
  SAFEARRAY* array = vector_of(v, first, last);
  if (last - first != 1) bad_shape("a record");
  LONG second = first + 1;
  element(array, &first, header);
  element(array, &second, items);
}

// A record's header and its entries (field lists) or lists (records), as `decode_item` reads them.
template <class Record, class Item>
Record decode_pair(const VARIANT& v, std::vector<Item> Record::*items, Item (*decode_item)(const VARIANT&)) {
  Record record;
  Variant header, list;
  halves(v, header, list);
  record.header = decode_rows(*header);
  for_each_item(*list, [&](const VARIANT& item) { (record.*items).push_back(decode_item(item)); });
  return record;
}

EntryRecord decode_entries(const VARIANT& v) { return decode_pair(v, &EntryRecord::entries, decode_rows); }

// ---- Building VARIANTs ----------------------------------------------------------------------

// An array under construction, destroyed unless handed to a VARIANT.
class ArrayBuilder {
 public:
  ArrayBuilder(UINT dims, SAFEARRAYBOUND* bounds) : array_(SafeArrayCreate(VT_VARIANT, dims, bounds)) {
    if (!array_) throw Failure{E_OUTOFMEMORY, "out of memory"};
  }
  ~ArrayBuilder() {
    if (array_) SafeArrayDestroy(array_);
  }
  ArrayBuilder(const ArrayBuilder&) = delete;
  ArrayBuilder& operator=(const ArrayBuilder&) = delete;

  void put(LONG* at, VARIANT* value) {
    if (FAILED(SafeArrayPutElement(array_, at, value))) throw Failure{E_OUTOFMEMORY, "out of memory"};
  }
  void finish_into(VARIANT* out) {
    VariantClear(out);
    out->vt = VT_ARRAY | VT_VARIANT;
    out->parray = array_;
    array_ = nullptr;
  }

 private:
  SAFEARRAY* array_;
};

void encode_rows(const Rows& rows, VARIANT* out) {
  SAFEARRAYBOUND b[2] = {{static_cast<ULONG>(rows.size()), 0}, {3, 0}};
  ArrayBuilder array(2, b);
  for (size_t r = 0; r < rows.size(); ++r) {
    const auto row = static_cast<LONG>(r);
    Variant id, text, attribute;
    id.get()->vt = VT_I4;
    id.get()->lVal = rows[r].id;
    text.get()->vt = VT_BSTR;
    text.get()->bstrVal = bstr_from_utf8(rows[r].text);
    attribute.get()->vt = VT_UI1;
    attribute.get()->bVal = rows[r].attribute;
    LONG at[3][2] = {{row, 0}, {row, 1}, {row, 2}};
    array.put(at[0], id.get());
    array.put(at[1], text.get());
    array.put(at[2], attribute.get());
  }
  array.finish_into(out);
}

template <class Items, class EncodeItem>
void encode_pair(const Rows& header, const Items& items, EncodeItem&& encode_item, VARIANT* out) {
  SAFEARRAYBOUND item_bounds[1] = {{static_cast<ULONG>(items.size()), 0}};
  ArrayBuilder vector(1, item_bounds);
  for (size_t k = 0; k < items.size(); ++k) {
    Variant item;
    encode_item(items[k], item.get());
    auto at = static_cast<LONG>(k);
    vector.put(&at, item.get());
  }
  SAFEARRAYBOUND outer_bounds[1] = {{2, 0}};
  ArrayBuilder outer(1, outer_bounds);
  Variant first, second;
  encode_rows(header, first.get());
  vector.finish_into(second.get());
  LONG at0 = 0, at1 = 1;
  outer.put(&at0, first.get());
  outer.put(&at1, second.get());
  outer.finish_into(out);
}

void encode_entries(const EntryRecord& record, VARIANT* out) {
  encode_pair(record.header, record.entries, encode_rows, out);
}

}  // namespace

Block decode_block(int32_t id, const VARIANT& data, Kind hint) {
  Block block{id, Rows{}};
  if (is_field_list(data)) {
    block.record = decode_rows(data);
    return block;
  }
  // A record: whether its items are field lists (entries) or records (lists) shows in the first
  // item; a record without items reads the same either way and takes the block's usual kind.
  Variant header, items;
  halves(data, header, items);
  Kind kind = hint == Kind::Lists ? Kind::Lists : Kind::Block;
  bool first = true;
  for_each_item(*items, [&](const VARIANT& item) {
    if (!first) return;
    first = false;
    kind = is_field_list(item) ? Kind::Block : Kind::Lists;
  });
  if (kind == Kind::Block)
    block.record = decode_entries(data);
  else
    block.record = decode_pair(data, &ListRecord::lists, decode_entries);
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
