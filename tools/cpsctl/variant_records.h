// Crossing the interface: the VARIANTs that GetBlockData, GetFieldAt and their kin answer, decoded
// into cpsctl's records, and the VARIANTs that SetBlockData and SetFieldAt take, built from them.
// A VARIANT of an unexpected shape fails with Invalid data.
#pragma once

#include "codeplug.h"
#include "host.h"

#include <cstdint>
#include <string_view>

namespace cpsctl {

// The VARIANT elements of an array of `dims` dimensions, locked while this lives; Invalid data,
// naming `what`, for a VARIANT that is not such an array. Dimension 1 varies fastest.
class VariantElements {
 public:
  VariantElements(const VARIANT& v, UINT dims, const char* what);
  ~VariantElements() { SafeArrayUnaccessData(array_); }
  VariantElements(const VariantElements&) = delete;
  VariantElements& operator=(const VariantElements&) = delete;

  size_t count(UINT dim) const { return count_[dim - 1]; }  // dimension 1 or 2
  // The element at zero-based positions (`first` in dimension 1, `second` in dimension 2).
  const VARIANT& at(size_t first, size_t second = 0) const { return data_[second * count_[0] + first]; }

 private:
  SAFEARRAY* array_ = nullptr;
  const VARIANT* data_ = nullptr;
  size_t count_[2] = {0, 0};
};

// A field list where GetBlockData left it, rows of [id, text, attribute]; no text is copied.
class RowsView {
  static int32_t other_integer(const VARIANT& v);
  static std::basic_string_view<OLECHAR> other_text(const VARIANT& v);

 public:
  explicit RowsView(const VARIANT& data);
  size_t size() const { return elements_.count(1); }
  // Inline for the types GetBlockData gives (VT_I4, VT_BSTR, VT_UI1): they are read for every
  // field of a codeplug.
  int32_t id(size_t k) const {
    const VARIANT& v = elements_.at(k, 0);
    return v.vt == VT_I4 ? v.lVal : other_integer(v);
  }
  std::basic_string_view<OLECHAR> text(size_t k) const {
    const VARIANT& v = elements_.at(k, 1);
    return v.vt == VT_BSTR && v.bstrVal ? std::basic_string_view<OLECHAR>(v.bstrVal, SysStringLen(v.bstrVal))
                                        : other_text(v);
  }
  uint8_t attribute(size_t k) const {
    const VARIANT& v = elements_.at(k, 2);
    return v.vt == VT_UI1 ? v.bVal : static_cast<uint8_t>(other_integer(v) & 0xFF);
  }

 private:
  VariantElements elements_;
};

// A record where GetBlockData left it: its header, a field list, and its items, field lists
// (entries) or records (lists).
class RecordView {
 public:
  explicit RecordView(const VARIANT& data);
  const VARIANT& header() const { return halves_.at(0); }
  size_t size() const { return items_.count(1); }
  const VARIANT& item(size_t k) const { return items_.at(k); }

 private:
  VariantElements halves_;
  VariantElements items_;
};

// The kind of record a block's VARIANT holds; `hint` settles a record without items.
Kind record_kind(const VARIANT& data, Kind hint);

// Decodes what GetBlockData answered; `hint` settles the kind of a record with no entries.
Block decode_block(int32_t id, const VARIANT& data, Kind hint);
Row decode_field(const VARIANT& data);  // a 1 x 3 array
void encode_block(const Block& block, VARIANT* out);
void encode_field(const Row& row, VARIANT* out);

}  // namespace cpsctl
