#include "engine/variant_codec.h"

#include "platform/ole_util.h"
#include "support/error_code.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace cps {
namespace {

using test::error_of;
using Bounds = std::vector<LONG>;

Bounds bounds(SAFEARRAY* array) {
  Bounds out(2 * SafeArrayGetDim(array), -9);
  for (UINT d = 0; 2 * d < out.size(); ++d)
    SafeArrayGetLBound(array, d + 1, &out[2 * d]), SafeArrayGetUBound(array, d + 1, &out[2 * d + 1]);
  return out;
}

// Row `row` of a field array as "type value|" per cell; types VT_I4 = 3, VT_BSTR = 8, VT_UI1 = 17.
std::wstring row_text(const VARIANT& v, LONG row) {
  std::wstring out;
  for (LONG column = 0; column < 3; ++column) {
    VARIANT c;
    LONG at[2] = {row, column};
    EXPECT_EQ(SafeArrayGetElement(v.parray, at, &c), S_OK);
    out += std::to_wstring(c.vt) + L" " + (c.vt == VT_BSTR ? std::wstring(c.bstrVal, SysStringLen(c.bstrVal))
                                                              : std::to_wstring(c.vt == VT_I4 ? c.lVal : c.bVal)) + L"|";
    VariantClear(&c);
  }
  return out;
}

BlockRecord sample_record(size_t entries) {
  BlockRecord record;
  record.header().add(46, "0", 2);
  record.header().add(48, std::to_string(entries), 2);
  for (size_t k = 0; k < entries; ++k) {
    const size_t e = record.add_entry();  // 0xE9: e acute; the ID 455 twice
    for (FieldValue f : {FieldValue{455, "148.512500", 1}, {424, "Ch\xE9 " + std::to_string(k), 1}, {455, "x", 0}})
      record.add_entry_field(e, f);
  }
  return record;
}

// A host's n x columns array: VT_I2 IDs (as script hosts send them), texts, attributes 0x102.
SAFEARRAY* field_rows(ULONG rows, ULONG columns, LONG lower = 0) {
  SAFEARRAYBOUND dims[2] = {{rows, lower}, {columns, 0}};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 2, dims);
  for (LONG r = 0; r < static_cast<LONG>(rows); ++r) {
    ScopedVariant cells[3];
    cells[0]->vt = VT_I2, cells[0]->iVal = static_cast<SHORT>(100 + r);
    cells[1]->vt = VT_BSTR, cells[1]->bstrVal = SysAllocString(L"text");
    cells[2]->vt = VT_I4, cells[2]->lVal = 0x102;  // only the low 8 bits count
    for (LONG c = 0; c < static_cast<LONG>(columns) && c < 3; ++c) {
      LONG at[2] = {lower + r, c};
      SafeArrayPutElement(array, at, cells[c].get());
    }
  }
  return array;
}

TEST(VariantCodec, FieldLayoutsWithWindows1252Texts) {
  ScopedVariant one, two;
  encode_field({455, "\x80\xE9", 1}, one.get());  // texts cross as Windows-1252
  FieldList list;
  list.add(1, "one", 0);
  list.add(2, "148.512500", 2);
  encode_field_list(list, two.get());
  ASSERT_EQ(one->vt, VT_ARRAY | VT_VARIANT);
  ASSERT_EQ(two->vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(bounds(one->parray), (Bounds{0, 0, 0, 2}));
  EXPECT_EQ(bounds(two->parray), (Bounds{0, 1, 0, 2}));  // rows are dimension one
  EXPECT_EQ(row_text(*one, 0), L"3 455|8 \u20AC\u00E9|17 1|");
  EXPECT_EQ(row_text(*two, 1), L"3 2|8 148.512500|17 2|");
  EXPECT_EQ(decode_field(*one), (FieldValue{455, "\x80\xE9", 1}));
}

// An empty list of entries is still a vector; list blocks come back whole.
TEST(VariantCodec, RecordsRoundTrip) {
  BlockRecord empty = sample_record(0), back;
  ScopedVariant v, list;
  encode_block_record(empty, v.get());
  LONG at = 1;
  ASSERT_EQ(SafeArrayGetElement(v->parray, &at, list.get()), S_OK);
  ASSERT_EQ(list->vt, VT_ARRAY | VT_VARIANT);
  EXPECT_EQ(bounds(list->parray), (Bounds{0, -1}));
  ListBlockRecord lists, lists_back;
  lists.header().add(49, "2", 2);
  for (size_t k = 0; k < 3; ++k) lists.add_list(sample_record(k));
  ScopedVariant l;
  encode_list_block_record(lists, l.get());
  lists_back.add_list();  // decoding clears what was there
  decode_list_block_record(*l, lists_back);
  EXPECT_EQ(lists_back, lists);
}

TEST(VariantCodec, DecodingHostArraysAndErrors) {
  ScopedVariant rows;
  rows->vt = VT_ARRAY | VT_VARIANT;
  rows->parray = field_rows(2, 3, 5);  // rows 5..6: read from the lower to the upper bound
  FieldList list;
  decode_field_list(*rows, list);
  ASSERT_EQ(list.count(), 2u);
  EXPECT_EQ(list.at(1), (FieldValue{101, "text", 2}));

  struct Case { VARTYPE vt; SAFEARRAY* array; bool record; int code; } cases[] = {
      {VT_I4, nullptr, false, err::kInvalidData},  // no array at all
      {VT_ARRAY | VT_VARIANT, field_rows(1, 2), false, err::kNoStorage},  // no attribute column
      {VT_ARRAY | VT_VARIANT, field_rows(1, 3), true, err::kInvalidData},  // outer array 2-D
      {VT_ARRAY | VT_VARIANT, SafeArrayCreateVector(VT_VARIANT, 0, 1), true, err::kNoStorage},  // no [1]
  };
  for (const Case& c : cases) {
    ScopedVariant v;
    v->vt = c.vt, v->parray = c.array;
    BlockRecord record;
    EXPECT_EQ(error_of([&] { c.record ? decode_block_record(*v, record) : void(decode_field(*v)); }), c.code)
        << (&c - cases);
  }
}

VARIANT* cell_of(const VARIANT& v, LONG row, LONG column) {
  void* cell = nullptr;
  LONG at[2] = {row, column};
  EXPECT_EQ(SafeArrayPtrOfIndex(v.parray, at, &cell), S_OK);
  return static_cast<VARIANT*>(cell);
}
VARIANT* item_of(const VARIANT& v, LONG index) {
  void* cell = nullptr;
  EXPECT_EQ(SafeArrayPtrOfIndex(v.parray, &index, &cell), S_OK);
  return static_cast<VARIANT*>(cell);
}

// Cells are read as a copy of the array would read them: an invalid type is empty inside a nested
// array but fails (106) in the array given.
TEST(VariantCodec, HostCellsOfEveryKind) {
  BSTR seven = SysAllocString(L"7");
  struct Case {
    const char* what;
    void (*edit)(VARIANT& record, BSTR seven);  // record: encoding 3 of sample_record(1)
    void (*undo)(VARIANT& record);              // before the record is freed
    int code;                                   // 0: decodes to `want`
    FieldValue want;                            // header field 0
  } cases[] = {
      {"text by reference", [](VARIANT& r, BSTR b) {
         VARIANT* c = cell_of(*item_of(r, 0), 0, 1);
         VariantClear(c), c->vt = VT_BSTR | VT_BYREF, c->pbstrVal = new BSTR(b);
       }, [](VARIANT& r) { VARIANT* c = cell_of(*item_of(r, 0), 0, 1); delete c->pbstrVal, c->vt = VT_EMPTY; },
       0, {46, "7", 2}},
      {"null BSTR", [](VARIANT& r, BSTR) { VARIANT* c = cell_of(*item_of(r, 0), 0, 1); SysFreeString(c->bstrVal), c->bstrVal = nullptr; },
       nullptr, 0, {46, "", 2}},
      {"invalid type nested", [](VARIANT& r, BSTR) { VARIANT* c = cell_of(*item_of(r, 0), 0, 0); c->vt = 15, c->lVal = 46; },
       [](VARIANT& r) { cell_of(*item_of(r, 0), 0, 0)->vt = VT_EMPTY; }, 0, {0, "0", 2}},
      {"real as text", [](VARIANT& r, BSTR) { VARIANT* c = cell_of(*item_of(r, 0), 0, 1); VariantClear(c), c->vt = VT_R8, c->dblVal = 1; },
       nullptr, err::kInvalidData, {}},
  };
  for (const Case& c : cases) {
    ScopedVariant record;
    encode_block_record(sample_record(1), record.get());
    c.edit(*record.get(), seven);
    BlockRecord got;
    EXPECT_EQ(error_of([&] { decode_block_record(*record, got); }), c.code) << c.what;
    if (c.code == 0) {
      EXPECT_EQ(got.header().at(0), c.want) << c.what;
    }
    if (c.undo) c.undo(*record.get());
  }

  // The array given holds a cell of an invalid type: its copy cannot be made (106).
  ScopedVariant list;
  FieldList fields;
  fields.add(1, "one", 0);
  encode_field_list(fields, list.get());
  cell_of(*list, 0, 2)->vt = 15;
  EXPECT_EQ(error_of([&] { decode_field_list(*list, fields); }), err::kNoStorage);
  cell_of(*list, 0, 2)->vt = VT_EMPTY;
  SysFreeString(seven);
}

}  // namespace
}  // namespace cps
