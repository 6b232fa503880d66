#include "values/variant_codec.h"

#include "platform/ole_util.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <string>

namespace cps {
namespace {

using test::error_of;

// Reads element (indices...) of the array a VARIANT carries.
VARIANT element(const VARIANT& v, std::initializer_list<LONG> at) {
  std::vector<LONG> indices(at);
  VARIANT out;
  VariantInit(&out);
  EXPECT_EQ(SafeArrayGetElement(v.parray, indices.data(), &out), S_OK);
  return out;
}

std::wstring bstr_text(const VARIANT& v) { return std::wstring(v.bstrVal, SysStringLen(v.bstrVal)); }

BlockRecord sample_record(size_t entries) {
  BlockRecord record;
  record.header().add(46, "0", 2);
  record.header().add(48, std::to_string(entries), 2);
  for (size_t k = 0; k < entries; ++k) {
    size_t e = record.add_entry();
    record.add_entry_field(e, {455, "148.512500", 1});
    record.add_entry_field(e, {424, "Ch\xE9 " + std::to_string(k), 1});  // 0xE9: e acute
    record.add_entry_field(e, {455, "duplicate", 0});
  }
  return record;
}

TEST(VariantCodec, SingleFieldLayout) {
  ScopedVariant v;
  encode_field({455, "148.512500", 1}, v.get());
  ASSERT_EQ(v->vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(SafeArrayGetDim(v->parray), 2u);
  LONG lower = -1, upper = -1;
  SafeArrayGetLBound(v->parray, 1, &lower);
  SafeArrayGetUBound(v->parray, 1, &upper);
  EXPECT_EQ(lower, 0);
  EXPECT_EQ(upper, 0);
  SafeArrayGetUBound(v->parray, 2, &upper);
  EXPECT_EQ(upper, 2);

  VARIANT id = element(*v, {0, 0}), text = element(*v, {0, 1}), attribute = element(*v, {0, 2});
  EXPECT_EQ(id.vt, VT_I4);
  EXPECT_EQ(id.lVal, 455);
  EXPECT_EQ(text.vt, VT_BSTR);
  EXPECT_EQ(bstr_text(text), L"148.512500");
  EXPECT_EQ(attribute.vt, VT_UI1);
  EXPECT_EQ(attribute.bVal, 1);
  VariantClear(&text);
}

TEST(VariantCodec, FieldListRowsAreDimensionOne) {
  FieldList list;
  list.add(1, "one", 0);
  list.add(2, "two", 2);
  ScopedVariant v;
  encode_field_list(list, v.get());
  LONG upper = -1;
  SafeArrayGetUBound(v->parray, 1, &upper);
  EXPECT_EQ(upper, 1);
  VARIANT text = element(*v, {1, 1});
  EXPECT_EQ(bstr_text(text), L"two");
  VariantClear(&text);
  EXPECT_EQ(element(*v, {1, 2}).bVal, 2);
}

TEST(VariantCodec, TextsCrossAsWindows1252) {
  ScopedVariant v;
  encode_field({1, "\x80\xE9", 0}, v.get());
  VARIANT text = element(*v, {0, 1});
  EXPECT_EQ(bstr_text(text), L"\u20AC\u00E9");
  VariantClear(&text);
  EXPECT_EQ(decode_field(*v).value, "\x80\xE9");
}

TEST(VariantCodec, RecordsRoundTrip) {
  for (size_t entries : {0u, 1u, 5u}) {
    BlockRecord record = sample_record(entries);
    ScopedVariant v;
    encode_block_record(record, v.get());
    BlockRecord back;
    back.add_entry();  // decoding clears what was there
    decode_block_record(*v, back);
    EXPECT_EQ(back, record) << entries << " entries";
  }

  ListBlockRecord lists;
  lists.header().add(49, "2", 2);
  for (size_t k = 0; k < 3; ++k) lists.add_list(sample_record(k));
  ScopedVariant v;
  encode_list_block_record(lists, v.get());
  ListBlockRecord back;
  decode_list_block_record(*v, back);
  EXPECT_EQ(back, lists);
}

TEST(VariantCodec, EmptyRecordEncodesAnEmptyEntryArray) {
  ScopedVariant v;
  encode_block_record(BlockRecord{}, v.get());
  VARIANT entries = element(*v, {1});
  ASSERT_EQ(entries.vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(SafeArrayGetDim(entries.parray), 1u);
  LONG lower = -1, upper = -1;
  SafeArrayGetLBound(entries.parray, 1, &lower);
  SafeArrayGetUBound(entries.parray, 1, &upper);
  EXPECT_EQ(upper - lower + 1, 0);
  VariantClear(&entries);
}

// Builds a VARIANT array of the given bounds with VT_I4 / VT_BSTR / VT_UI1 columns where they fit.
SAFEARRAY* field_rows(ULONG rows, ULONG columns, LONG lower = 0) {
  SAFEARRAYBOUND bounds[2] = {{rows, lower}, {columns, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, bounds);
  for (ULONG r = 0; r < rows; ++r) {
    for (ULONG c = 0; c < columns && c < 3; ++c) {
      VARIANT cell;
      VariantInit(&cell);
      if (c == 0) {
        cell.vt = VT_I2;  // script hosts send small integers as VT_I2
        cell.iVal = static_cast<SHORT>(100 + r);
      } else if (c == 1) {
        cell.vt = VT_BSTR;
        cell.bstrVal = SysAllocString(L"text");
      } else {
        cell.vt = VT_I4;
        cell.lVal = 0x102;  // only the low 8 bits count
      }
      LONG at[2] = {lower + static_cast<LONG>(r), static_cast<LONG>(c)};
      SafeArrayPutElement(array, at, &cell);
      VariantClear(&cell);
    }
  }
  return array;
}

TEST(VariantCodec, DecodingHostArrays) {
  ScopedVariant v;
  v->vt = VT_ARRAY | VT_VARIANT;
  v->parray = field_rows(2, 3, 5);  // rows 5..6: read from the lower to the upper bound
  FieldList list;
  decode_field_list(*v, list);
  ASSERT_EQ(list.count(), 2u);
  EXPECT_EQ(list.at(1), (FieldValue{101, "text", 2}));

  ScopedVariant none;
  none->vt = VT_ARRAY | VT_VARIANT;
  none->parray = field_rows(0, 3);
  list.add(1, "stale", 0);
  decode_field_list(*none, list);
  EXPECT_EQ(list.count(), 0u);
}

TEST(VariantCodec, DecodeErrors) {
  // A single field given as a one-dimensional array.
  ScopedVariant flat;
  flat->vt = VT_ARRAY | VT_VARIANT;
  flat->parray = SafeArrayCreateVector(VT_VARIANT, 0, 3);
  EXPECT_EQ(error_of([&] { decode_field(*flat); }), err::kInvalidData);

  // No array at all, and an array of something other than VARIANTs.
  ScopedVariant number;
  number->vt = VT_I4;
  number->lVal = 12345;
  EXPECT_EQ(error_of([&] { decode_field(*number); }), err::kInvalidData);
  ScopedVariant bytes;
  bytes->vt = VT_ARRAY | VT_UI1;
  SAFEARRAYBOUND b[2] = {{1, 0}, {3, 0}};
  bytes->parray = SafeArrayCreate(VT_UI1, 2, b);
  EXPECT_EQ(error_of([&] { decode_field(*bytes); }), err::kInvalidData);

  // A row without its attribute column: the element fetch fails.
  ScopedVariant narrow_rows;
  narrow_rows->vt = VT_ARRAY | VT_VARIANT;
  narrow_rows->parray = field_rows(1, 2);
  EXPECT_EQ(error_of([&] { decode_field(*narrow_rows); }), err::kNoStorage);

  // A block record whose outer array is 2-dimensional, or whose entries are not a vector.
  BlockRecord record;
  EXPECT_EQ(error_of([&] { decode_block_record(*narrow_rows, record); }), err::kInvalidData);
  ScopedVariant outer;
  outer->vt = VT_ARRAY | VT_VARIANT;
  outer->parray = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  {
    ScopedVariant header, entries;
    encode_field_list(FieldList{}, header.get());
    entries->vt = VT_ARRAY | VT_VARIANT;
    entries->parray = field_rows(1, 3);
    LONG at = 0;
    SafeArrayPutElement(outer->parray, &at, header.get());
    at = 1;
    SafeArrayPutElement(outer->parray, &at, entries.get());
  }
  EXPECT_EQ(error_of([&] { decode_block_record(*outer, record); }), err::kInvalidData);

  // An outer vector of one element: element [1] cannot be fetched.
  ScopedVariant shorter;
  shorter->vt = VT_ARRAY | VT_VARIANT;
  shorter->parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  EXPECT_EQ(error_of([&] { decode_block_record(*shorter, record); }), err::kNoStorage);
}

}  // namespace
}  // namespace cps
