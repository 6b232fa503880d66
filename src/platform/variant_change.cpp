// VariantChangeType for the portable automation layer, rule for rule as oleaut32 converts:
//  - integers between types of the same width are reinterpreted (I4 -5 becomes UI4 4294967291,
//    VARIANT_TRUE becomes UI1 255); across widths a value that does not fit is DISP_E_OVERFLOW;
//  - reals and currency round half to even on the way to an integer;
//  - text is read as a number the way VarNumFromParseNum reads it in the U.S. English locale:
//    blanks around it, one leading sign or a trailing minus or parentheses, '$', ',' between
//    digits, a decimal point, an exponent, and &H / &O hexadecimal and octal literals, whose bits
//    fill a type of their width; "True" and "False" only for VT_BOOL;
//  - numbers become text in decimal, reals with 15 significant digits (7 for VT_R4);
//  - VT_EMPTY is 0 or ""; VT_NULL and VT_ERROR convert to nothing else.
#include "platform/variant_change.h"

#if defined(CPS_OLEAUTO_PORTABLE)

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <limits>
#include <optional>
#include <string>

namespace {

// A value on its way between two types.
struct Number {
  enum class Kind : uint8_t { Signed, Unsigned, Real } kind = Kind::Signed;
  int64_t s = 0;
  uint64_t u = 0;
  double r = 0;
  unsigned width = 0;  // bits whose pattern may be reinterpreted at the same width (0: none)
  bool from_bool = false;
  bool from_r4 = false;
  bool literal = false;  // a &H or &O literal
};

Number signed_number(int64_t value, unsigned width) {
  Number n;
  n.s = value;
  n.width = width;
  return n;
}
Number unsigned_number(uint64_t value, unsigned width) {
  Number n;
  n.kind = Number::Kind::Unsigned;
  n.u = value;
  n.width = width;
  return n;
}
Number real_number(double value) {
  Number n;
  n.kind = Number::Kind::Real;
  n.r = value;
  return n;
}

struct IntegerType {
  VARTYPE vt;
  unsigned width;
  bool is_signed;
};
constexpr IntegerType kIntegers[] = {
    {VT_I1, 8, true},   {VT_UI1, 8, false},  {VT_I2, 16, true},  {VT_UI2, 16, false},
    {VT_I4, 32, true},  {VT_UI4, 32, false}, {VT_INT, 32, true}, {VT_UINT, 32, false},
    {VT_I8, 64, true},  {VT_UI8, 64, false},
};

const IntegerType* integer_type(VARTYPE vt) {
  for (const IntegerType& t : kIntegers)
    if (t.vt == vt) return &t;
  return nullptr;
}

// ---- Reading text as a number ------------------------------------------------------------------

bool blank(wchar_t c) { return c == L' ' || c == L'\t'; }

int digit_value(wchar_t c, int base) {
  int v = -1;
  if (c >= L'0' && c <= L'9') v = c - L'0';
  else if (c >= L'a' && c <= L'f') v = c - L'a' + 10;
  else if (c >= L'A' && c <= L'F') v = c - L'A' + 10;
  return v < base ? v : -1;
}

// The number in `text`: nullopt when it is none (DISP_E_TYPEMISMATCH); `overflow` when it is
// one too large for any type.
std::optional<Number> parse_number(const std::wstring& text, bool& overflow) {
  size_t at = 0, end = text.size();
  while (at < end && blank(text[at])) ++at;
  while (end > at && blank(text[end - 1])) --end;
  if (at == end) return std::nullopt;

  if (text[at] == L'&' && at + 1 < end) {
    const wchar_t kind = text[at + 1];
    const int base = (kind == L'h' || kind == L'H') ? 16 : (kind == L'o' || kind == L'O') ? 8 : 0;
    if (base == 0 || at + 2 == end) return std::nullopt;
    uint64_t value = 0;
    for (size_t i = at + 2; i < end; ++i) {
      const int d = digit_value(text[i], base);
      if (d < 0) return std::nullopt;
      if (value > (std::numeric_limits<uint64_t>::max() - static_cast<uint64_t>(d)) / static_cast<uint64_t>(base)) {
        overflow = true;
        return std::nullopt;
      }
      value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    }
    Number n = unsigned_number(value, 0);
    n.literal = true;
    return n;
  }

  bool negative = false, plus = false, parenthesis = false;
  std::string digits;  // the number as strtod reads it
  bool any_digit = false, point = false, exponent = false;
  // Leading part: '$', blanks, one '+' and one '-' (in that order), or '('.
  for (; at < end; ++at) {
    const wchar_t c = text[at];
    if (c == L'$' || blank(c)) continue;
    if (c == L'+' && !plus && !negative) { plus = true; continue; }
    if (c == L'-' && !negative) { negative = true; continue; }
    if (c == L'(' && !parenthesis && !negative && !plus) { parenthesis = true; continue; }
    break;
  }
  for (; at < end; ++at) {
    const wchar_t c = text[at];
    if (c >= L'0' && c <= L'9') {
      digits.push_back(static_cast<char>(c));
      any_digit = true;
    } else if (c == L',' && any_digit && !point) {
      continue;
    } else if (c == L'.' && !point) {
      point = true;
      digits.push_back('.');
    } else {
      break;
    }
  }
  if (!any_digit) return std::nullopt;
  if (at < end && (text[at] == L'e' || text[at] == L'E')) {
    exponent = true;
    digits.push_back('e');
    ++at;
    if (at < end && (text[at] == L'+' || text[at] == L'-')) digits.push_back(static_cast<char>(text[at++]));
    bool exponent_digit = false;
    for (; at < end && text[at] >= L'0' && text[at] <= L'9'; ++at) {
      digits.push_back(static_cast<char>(text[at]));
      exponent_digit = true;
    }
    if (!exponent_digit) return std::nullopt;
  }
  // Trailing part: '$', a closing parenthesis for an opening one, a minus.
  for (; at < end; ++at) {
    const wchar_t c = text[at];
    if (c == L'$') continue;
    if (c == L')' && parenthesis) { parenthesis = false; negative = true; continue; }
    if (c == L'-' && !negative && !parenthesis) { negative = true; continue; }
    return std::nullopt;
  }
  if (parenthesis) return std::nullopt;

  if (!point && !exponent && digits.size() <= 18) {
    const int64_t value = std::strtoll(digits.c_str(), nullptr, 10);
    if (negative && value == 0) return real_number(-0.0);  // "-0" keeps its sign as a real
    return signed_number(negative ? -value : value, 0);
  }
  const double value = std::strtod(digits.c_str(), nullptr);
  if (std::isinf(value)) {
    overflow = true;
    return std::nullopt;
  }
  return real_number(negative ? -value : value);
}

// ---- Reading a source ---------------------------------------------------------------------------

// The numeric value of a scalar source, or the HRESULT why there is none.
HRESULT number_of(const VARIANT& v, Number& n) {
  switch (v.vt) {
    case VT_EMPTY: n = signed_number(0, 0); return S_OK;
    case VT_I1: n = signed_number(v.cVal, 8); return S_OK;
    case VT_UI1: n = unsigned_number(v.bVal, 8); return S_OK;
    case VT_I2: n = signed_number(v.iVal, 16); return S_OK;
    case VT_UI2: n = unsigned_number(v.uiVal, 16); return S_OK;
    case VT_I4: n = signed_number(v.lVal, 32); return S_OK;
    case VT_INT: n = signed_number(v.intVal, 32); return S_OK;
    case VT_UI4: n = unsigned_number(v.ulVal, 32); return S_OK;
    case VT_UINT: n = unsigned_number(v.uintVal, 32); return S_OK;
    case VT_I8: n = signed_number(v.llVal, 64); return S_OK;
    case VT_UI8: n = unsigned_number(v.ullVal, 64); return S_OK;
    case VT_BOOL:
      n = signed_number(v.boolVal ? -1 : 0, 0);
      n.from_bool = true;
      return S_OK;
    case VT_R4:
      n = real_number(v.fltVal);
      n.from_r4 = true;
      return S_OK;
    case VT_R8: n = real_number(v.dblVal); return S_OK;
    case VT_CY: n = real_number(static_cast<double>(v.cyVal.int64) / 10000.0); return S_OK;
    case VT_BSTR: {
      bool overflow = false;
      const std::wstring text(v.bstrVal ? v.bstrVal : L"", SysStringLen(v.bstrVal));
      const std::optional<Number> parsed = parse_number(text, overflow);
      if (overflow) return DISP_E_OVERFLOW;
      if (!parsed) return DISP_E_TYPEMISMATCH;
      n = *parsed;
      return S_OK;
    }
    case VT_DISPATCH: return v.pdispVal ? DISP_E_TYPEMISMATCH : DISP_E_BADVARTYPE;
    default: return DISP_E_TYPEMISMATCH;
  }
}

// ---- Writing a target ---------------------------------------------------------------------------

HRESULT to_integer(const Number& n, const IntegerType& t, uint64_t& bits) {
  const uint64_t mask = t.width == 64 ? ~uint64_t{0} : (uint64_t{1} << t.width) - 1;
  const int64_t min = t.is_signed ? -static_cast<int64_t>(mask >> 1) - 1 : 0;
  const uint64_t max = t.is_signed ? mask >> 1 : mask;
  switch (n.kind) {
    case Number::Kind::Real: {
      const double rounded = std::nearbyint(n.r);  // half to even
      const double low = t.is_signed ? -std::ldexp(1.0, static_cast<int>(t.width) - 1) : 0.0;
      const double high = std::ldexp(1.0, static_cast<int>(t.width) - (t.is_signed ? 1 : 0));
      if (!(rounded >= low && rounded < high)) return DISP_E_OVERFLOW;  // NaN fails too
      bits = rounded < 0 ? static_cast<uint64_t>(static_cast<int64_t>(rounded))
                         : static_cast<uint64_t>(rounded);
      return S_OK;
    }
    case Number::Kind::Signed:
      if (n.s >= min && (n.s < 0 || static_cast<uint64_t>(n.s) <= max)) {
        bits = static_cast<uint64_t>(n.s);
        return S_OK;
      }
      // A boolean fills any unsigned type; an integer its own width.
      if ((n.from_bool && !t.is_signed) || n.width == t.width) {
        bits = static_cast<uint64_t>(n.s) & mask;
        return S_OK;
      }
      return DISP_E_OVERFLOW;
    case Number::Kind::Unsigned:
      if (n.u <= max) {
        bits = n.u;
        return S_OK;
      }
      if (n.width == t.width || (n.literal && n.u <= mask)) {
        bits = n.u & mask;
        return S_OK;
      }
      return DISP_E_OVERFLOW;
  }
  return DISP_E_TYPEMISMATCH;
}

void store_integer(VARIANT& out, const IntegerType& t, uint64_t bits) {
  out.vt = t.vt;
  switch (t.vt) {
    case VT_I1: out.cVal = static_cast<CHAR>(static_cast<uint8_t>(bits)); break;
    case VT_UI1: out.bVal = static_cast<BYTE>(bits); break;
    case VT_I2: out.iVal = static_cast<SHORT>(static_cast<uint16_t>(bits)); break;
    case VT_UI2: out.uiVal = static_cast<USHORT>(bits); break;
    case VT_I4: out.lVal = static_cast<LONG>(static_cast<uint32_t>(bits)); break;
    case VT_INT: out.intVal = static_cast<INT>(static_cast<uint32_t>(bits)); break;
    case VT_UI4: out.ulVal = static_cast<ULONG>(bits); break;
    case VT_UINT: out.uintVal = static_cast<UINT>(bits); break;
    case VT_I8: out.llVal = static_cast<LONGLONG>(bits); break;
    default: out.ullVal = bits; break;
  }
}

double real_of(const Number& n) {
  switch (n.kind) {
    case Number::Kind::Signed: return static_cast<double>(n.s);
    case Number::Kind::Unsigned: return static_cast<double>(n.u);
    default: return n.r;
  }
}

// A literal whose bits do not fit a positive LONG has no real or boolean value.
bool literal_too_wide(const Number& n) { return n.literal && n.u > 0x7FFFFFFFu; }

std::string text_of(const Number& n) {
  char buffer[64];
  switch (n.kind) {
    case Number::Kind::Signed: return std::to_string(n.s);
    case Number::Kind::Unsigned: return std::to_string(n.u);
    default:
      std::snprintf(buffer, sizeof buffer, n.from_r4 ? "%.7G" : "%.15G", n.r == 0 ? 0.0 : n.r);
      return buffer;
  }
}

BSTR bstr_of(const std::string& ascii) {
  BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(ascii.size()));
  if (text)
    for (size_t i = 0; i < ascii.size(); ++i) text[i] = static_cast<OLECHAR>(ascii[i]);
  return text;
}

bool equals_ignoring_case(const std::wstring& text, const wchar_t* word) {
  size_t i = 0;
  for (; word[i]; ++i)
    if (i >= text.size() || static_cast<wchar_t>(std::towlower(static_cast<wint_t>(text[i]))) != word[i])
      return false;
  return i == text.size();
}

// "True", "False", "#TRUE#", "#FALSE#" in any case; 1 true, 0 false, -1 neither.
int boolean_word(BSTR value) {
  std::wstring text(value ? value : L"", SysStringLen(value));
  size_t at = 0, end = text.size();
  while (at < end && blank(text[at])) ++at;
  while (end > at && blank(text[end - 1])) --end;
  text = text.substr(at, end - at);
  if (equals_ignoring_case(text, L"true") || equals_ignoring_case(text, L"#true#")) return 1;
  if (equals_ignoring_case(text, L"false") || equals_ignoring_case(text, L"#false#")) return 0;
  return -1;
}

// The conversion of a by-value source into `out` (zeroed, owned by the caller).
HRESULT convert(const VARIANT& src, VARTYPE vt, VARIANT& out) {
  if (src.vt == vt) return VariantCopy(&out, &src);
  if (src.vt & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  if (vt == VT_EMPTY || vt == VT_NULL) {
    if (src.vt == VT_ERROR || (vt == VT_EMPTY && src.vt == VT_NULL)) return DISP_E_TYPEMISMATCH;
    out.vt = vt;
    return S_OK;
  }
  if (src.vt == VT_NULL || src.vt == VT_ERROR || vt == VT_ERROR) return DISP_E_TYPEMISMATCH;

  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    if (src.vt != VT_UNKNOWN && src.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
    IUnknown* object = src.punkVal;
    out.vt = vt;
    if (!object) return S_OK;
    return object->QueryInterface(vt == VT_UNKNOWN ? IID_IUnknown : IID_IDispatch,
                                  reinterpret_cast<void**>(&out.punkVal));
  }

  if (vt == VT_BOOL && src.vt == VT_BSTR) {
    const int word = boolean_word(src.bstrVal);
    if (word >= 0) {
      out.vt = VT_BOOL;
      out.boolVal = word ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    }
  }

  Number n;
  HRESULT hr = number_of(src, n);
  if (FAILED(hr)) return hr;

  if (const IntegerType* t = integer_type(vt)) {
    uint64_t bits = 0;
    hr = to_integer(n, *t, bits);
    if (SUCCEEDED(hr)) store_integer(out, *t, bits);
    return hr;
  }
  switch (vt) {
    case VT_R8:
      if (literal_too_wide(n)) return DISP_E_OVERFLOW;
      out.vt = VT_R8;
      out.dblVal = real_of(n);
      return S_OK;
    case VT_R4: {
      const double value = real_of(n);
      if (literal_too_wide(n) || std::fabs(value) > FLT_MAX) return DISP_E_OVERFLOW;
      out.vt = VT_R4;
      out.fltVal = static_cast<FLOAT>(value);
      return S_OK;
    }
    case VT_BOOL:
      if (literal_too_wide(n)) return DISP_E_OVERFLOW;
      out.vt = VT_BOOL;
      out.boolVal = real_of(n) != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      return S_OK;
    case VT_BSTR: {
      const std::string text = src.vt == VT_EMPTY ? std::string() : text_of(n);
      out.bstrVal = bstr_of(text);
      if (!out.bstrVal) return E_OUTOFMEMORY;
      out.vt = VT_BSTR;
      return S_OK;
    }
    default: return DISP_E_TYPEMISMATCH;
  }
}

bool known_type(VARTYPE vt) {
  const VARTYPE base = vt & VT_TYPEMASK;
  if (vt & (0x1000 | VT_RESERVED)) return false;
  return base <= VT_UINT && base != 15;
}

}  // namespace

extern "C" HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT,
                                     VARTYPE vt) {
  if (!pvargDest || !pvarSrc) return E_INVALIDARG;
  if (!known_type(vt) || !known_type(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  // A source by reference converts as the value it points to.
  VARIANT src = *pvarSrc;
  if (src.vt == (VT_BYREF | VT_VARIANT)) {
    if (!src.pvarVal) return E_INVALIDARG;
    src = *src.pvarVal;
  }
  if ((src.vt & VT_BYREF) && !(src.vt & VT_ARRAY)) {
    const VARTYPE base = src.vt & ~VT_BYREF;
    if (!src.byref || base == VT_VARIANT) return DISP_E_TYPEMISMATCH;
    VARIANT value;
    VariantInit(&value);
    value.vt = base;
    std::memcpy(&value.llVal, src.byref, integer_type(base) ? integer_type(base)->width / 8
                                          : base == VT_R4 || base == VT_ERROR ? 4
                                          : base == VT_BOOL ? 2 : 8);
    src = value;
  }
  VARIANT out;
  VariantInit(&out);
  const HRESULT hr = convert(src, vt, out);
  if (FAILED(hr)) {
    VariantClear(&out);
    return hr;
  }
  if (pvargDest != pvarSrc) {
    const HRESULT cleared = VariantClear(pvargDest);
    if (FAILED(cleared)) {
      VariantClear(&out);
      return cleared;
    }
  } else {
    VariantClear(pvargDest);
  }
  *pvargDest = out;
  return S_OK;
}

#endif  // CPS_OLEAUTO_PORTABLE
