// The automation layer against the system's behaviour: BSTR layout, SAFEARRAY dimension order and
// storage, bounds and index errors, locks, copy and ownership rules, VARIANT clear and copy.
// Leaks and double frees are left to the sanitizers; reference counts to a counting object.
#include <cpservices/oleauto.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

template <auto Free>
struct Deleter {
  void operator()(auto* p) const { Free(p); }
};
using Array = std::unique_ptr<SAFEARRAY, Deleter<SafeArrayDestroy>>;
using Bstr = std::unique_ptr<OLECHAR, Deleter<SysFreeString>>;

std::string bytes_of(BSTR text) {
  return text ? std::string(reinterpret_cast<const char*>(text), SysStringByteLen(text)) : "";
}
BSTR bstr(const char* bytes) { return SysAllocStringByteLen(bytes, UINT(std::strlen(bytes))); }
HRESULT put(SAFEARRAY* psa, LONG index, void* pv) { return SafeArrayPutElement(psa, &index, pv); }
HRESULT get(SAFEARRAY* psa, LONG index, void* pv) { return SafeArrayGetElement(psa, &index, pv); }

// A variant of type `vt` whose pointer member (punkVal, bstrVal, parray, byref...) is `pointer`.
VARIANT variant_of(VARTYPE vt, const void* pointer = nullptr) {
  VARIANT v{};
  v.vt = vt, v.byref = const_cast<void*>(pointer);
  return v;
}

// Counts the references taken and dropped on it; the test holds the first.
struct Counted final : IUnknown {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return ++releases, --refs; }
  ULONG refs = 1, releases = 0;
};

TEST(Bstr, LengthPrefixedZeroTerminatedAndOverflowRefused) {
  const OLECHAR with_nul[] = {L'a', 0, L'b'};
  auto wide = [](const OLECHAR* s, size_t n) {
    return std::string(reinterpret_cast<const char*>(s), n * sizeof(OLECHAR));
  };
  const std::pair<BSTR, std::string> rows[] = {
      {SysAllocString(L"abc"), wide(L"abc", 3)},
      {SysAllocStringLen(L"abcdef", 3), wide(L"abc", 3)},
      {SysAllocStringLen(with_nul, 3), wide(with_nul, 3)},
      {SysAllocStringLen(nullptr, 2), std::string(2 * sizeof(OLECHAR), '\0')},
      {SysAllocStringByteLen(nullptr, 0), ""},
      {SysAllocStringByteLen("abcde", 5), "abcde"},  // an odd byte count is kept
  };
  for (const auto& [made, bytes] : rows) {
    Bstr owned(made);
    ASSERT_NE(made, nullptr) << bytes.size();
    EXPECT_EQ(SysStringLen(made), bytes.size() / sizeof(OLECHAR));
    // A 32-bit byte count, the bytes, then zeros to the end of the next whole character.
    const uint32_t count = static_cast<uint32_t>(bytes.size());
    const size_t end = (count + 2 * sizeof(OLECHAR) - 1) / sizeof(OLECHAR) * sizeof(OLECHAR);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(made) - 4, 4 + end),
              std::string(reinterpret_cast<const char*>(&count), 4) + bytes +
                  std::string(end - count, '\0'));
  }
  // 0x40000001 characters wrap to 4 bytes in 32 bits: that must fail, not give a short string.
  for (UINT length : {UINT_MAX, 0x40000001u}) EXPECT_EQ(SysAllocStringLen(L"x", length), nullptr);
  for (UINT size : {UINT_MAX, UINT_MAX - 4})
    EXPECT_EQ(SysAllocStringByteLen(nullptr, size), nullptr);
}

TEST(SafeArrayCreate, SizeFlagsAndTypeOfEveryElementType) {
  constexpr USHORT kVt = FADF_HAVEVARTYPE, kIid = FADF_HAVEIID, kCreateVector = 0x2000;
  const std::tuple<VARTYPE, ULONG, USHORT> rows[] = {
      {VT_I1, 1, kVt}, {VT_UI1, 1, kVt}, {VT_I2, 2, kVt}, {VT_UI2, 2, kVt}, {VT_BOOL, 2, kVt},
      {VT_I4, 4, kVt}, {VT_UI4, 4, kVt}, {VT_R4, 4, kVt}, {VT_ERROR, 4, kVt}, {VT_INT, 4, kVt},
      {VT_UINT, 4, kVt}, {VT_I8, 8, kVt}, {VT_UI8, 8, kVt}, {VT_R8, 8, kVt}, {VT_CY, 8, kVt},
      {VT_DATE, 8, kVt}, {VT_DECIMAL, 16, kVt}, {VT_BSTR, sizeof(BSTR), kVt | FADF_BSTR},
      {VT_VARIANT, sizeof(VARIANT), kVt | FADF_VARIANT},
      {VT_UNKNOWN, sizeof(void*), kIid | FADF_UNKNOWN},
      {VT_DISPATCH, sizeof(void*), kIid | FADF_DISPATCH}};
  SAFEARRAYBOUND bound = {3, 0};
  for (const auto& [type, size, features] : rows) {
    Array plain(SafeArrayCreate(type, 1, &bound)), vector(SafeArrayCreateVector(type, 0, 3));
    ASSERT_TRUE(plain && vector) << type;
    for (SAFEARRAY* a : {plain.get(), vector.get()}) {
      VARTYPE vt = VT_EMPTY;
      EXPECT_EQ(SafeArrayGetVartype(a, &vt), S_OK);
      EXPECT_EQ(vt, type);
      EXPECT_EQ(SafeArrayGetElemsize(a), size) << type;
      EXPECT_EQ(std::string(static_cast<char*>(a->pvData), 3 * size), std::string(3 * size, '\0'));
    }
    EXPECT_EQ(plain->fFeatures, features) << type;
    EXPECT_EQ(vector->fFeatures, features | kCreateVector) << type;
  }
}

TEST(SafeArrayCreate, RefusesTypesShapesAndSizesItCannotHold) {
  std::vector<SAFEARRAYBOUND> ones(0x10000, SAFEARRAYBOUND{1, 0});
  SAFEARRAYBOUND four_gib[2] = {{0x10000, 0}, {0x10000, 0}};
  SAFEARRAYBOUND wrapping[3] = {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
  SAFEARRAY* const refused[] = {
      SafeArrayCreate(VT_I4, 0, ones.data()),       SafeArrayCreate(VT_I4, 0x10000, ones.data()),
      SafeArrayCreate(VT_UI1, 2, four_gib),         SafeArrayCreate(VT_UI1, 3, wrapping),
      SafeArrayCreateVector(VT_I4, 0, 0x40000000), SafeArrayCreateVector(VT_VARIANT, 0, 0xFFFFFFFF),
      SafeArrayCreate(VT_EMPTY, 1, ones.data()),   SafeArrayCreateVector(VT_NULL, 0, 1),
      SafeArrayCreate(15, 1, ones.data()),         SafeArrayCreateVector(36 /* VT_RECORD */, 0, 1),
      SafeArrayCreate(VT_I4 | VT_ARRAY, 1, ones.data())};
  for (size_t i = 0; i < std::size(refused); ++i) EXPECT_EQ(refused[i], nullptr) << i;
}

// Dimension 1 is the leftmost, stored last, and varies fastest in storage.
TEST(SafeArray, LayoutOfA2x3ArrayItsLocksAndItsCopy) {
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 10}};  // dimension 1: 1..2, dimension 2: 10..12
  Array a(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_NE(a, nullptr);
  const SAFEARRAYBOUND* stored = a->rgsabound;  // last to first
  EXPECT_EQ(std::tie(stored[0].cElements, stored[0].lLbound), std::make_tuple(3u, 10));
  EXPECT_EQ(std::tie(stored[1].cElements, stored[1].lLbound), std::make_tuple(2u, 1));
  LONG b[4] = {};
  for (UINT dim : {1u, 2u})
    ASSERT_TRUE(SafeArrayGetLBound(a.get(), dim, &b[2 * dim - 2]) == S_OK &&
                SafeArrayGetUBound(a.get(), dim, &b[2 * dim - 1]) == S_OK);
  EXPECT_EQ(std::vector<LONG>(b, b + 4), (std::vector<LONG>{1, 2, 10, 12}));
  for (LONG at[2] = {1, 10}, value; at[0] <= 2; ++at[0])
    for (at[1] = 10; at[1] <= 12; ++at[1])
      ASSERT_EQ(SafeArrayPutElement(a.get(), at, &(value = 100 * at[0] + at[1])), S_OK);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(a.get(), &data), S_OK);
  const LONG golden[6] = {110, 210, 111, 211, 112, 212};
  EXPECT_EQ(std::memcmp(data, golden, sizeof golden), 0);
  LONG at[2] = {2, 11}, value = 0;
  EXPECT_EQ(SafeArrayGetElement(a.get(), at, &value), S_OK);
  EXPECT_EQ(value, 211);
  // Locks are counted up to 65535; a locked array is not destroyed, and its copy is not locked.
  EXPECT_EQ(SafeArrayAccessData(a.get(), &data), S_OK);
  for (int lock = 2; lock < 0xFFFF; ++lock) ASSERT_EQ(SafeArrayLock(a.get()), S_OK) << lock;
  EXPECT_EQ(SafeArrayLock(a.get()), E_UNEXPECTED);
  EXPECT_EQ(a->cLocks, 0xFFFFu);
  EXPECT_EQ(SafeArrayDestroy(a.get()), DISP_E_ARRAYISLOCKED);
  SAFEARRAY* out = nullptr;
  ASSERT_EQ(SafeArrayCopy(a.get(), &out), S_OK);
  Array copy(out);
  EXPECT_EQ(std::tie(copy->cDims, copy->fFeatures, copy->cbElements, copy->cLocks),
            std::make_tuple(a->cDims, a->fFeatures, a->cbElements, 0u));
  EXPECT_EQ(std::memcmp(copy->rgsabound, stored, 2 * sizeof(SAFEARRAYBOUND)), 0);
  EXPECT_EQ(std::memcmp(copy->pvData, golden, sizeof golden), 0);
  for (int lock = 0; lock < 0xFFFF; ++lock) ASSERT_EQ(SafeArrayUnaccessData(a.get()), S_OK);
  EXPECT_EQ(SafeArrayUnlock(a.get()), E_UNEXPECTED);
}

TEST(SafeArray, BadDimensionOrIndexIsBadIndex) {
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 10}};
  Array a(SafeArrayCreate(VT_I4, 2, bounds)), v(SafeArrayCreateVector(VT_I2, -5, 3));
  ASSERT_TRUE(a && v);
  LONG bound = 77;
  for (UINT dim : {0u, 3u})
    EXPECT_TRUE(SafeArrayGetLBound(a.get(), dim, &bound) == DISP_E_BADINDEX &&
                SafeArrayGetUBound(a.get(), dim, &bound) == DISP_E_BADINDEX && bound == 77);
  constexpr LONG kMin = std::numeric_limits<LONG>::min(), kMax = std::numeric_limits<LONG>::max();
  const LONG bad[][2] = {{0, 10}, {3, 10}, {1, 9}, {1, 13}, {kMin, 10}, {1, kMax}};
  for (const auto& index : bad) {
    LONG at[2] = {index[0], index[1]}, value = 5;
    EXPECT_EQ(SafeArrayGetElement(a.get(), at, &value), DISP_E_BADINDEX) << at[0] << "," << at[1];
    EXPECT_EQ(SafeArrayPutElement(a.get(), at, &value), DISP_E_BADINDEX) << at[0] << "," << at[1];
    EXPECT_EQ(a->cLocks, 0u);  // a failed get or put leaves no lock behind
  }
  SHORT value = 0;
  for (LONG index : {-5, -3}) EXPECT_EQ(put(v.get(), index, &value), S_OK) << index;
  for (LONG index : {-6, -2}) EXPECT_EQ(get(v.get(), index, &value), DISP_E_BADINDEX) << index;
  EXPECT_EQ(SafeArrayGetUBound(v.get(), 1, &bound), S_OK);
  EXPECT_EQ(bound, -3);
}

TEST(SafeArray, PutAndGetCopyStringsAndVariantsAndReferenceInterfaces) {
  Array strings(SafeArrayCreateVector(VT_BSTR, 0, 1));
  Array variants(SafeArrayCreateVector(VT_VARIANT, 0, 1));
  ASSERT_TRUE(strings && variants);
  const BSTR* cell = static_cast<BSTR*>(strings->pvData);
  Bstr text(bstr("abcde"));
  BSTR out = nullptr;
  EXPECT_EQ(put(strings.get(), 0, text.get()), S_OK);
  EXPECT_NE(*cell, text.get());
  text.reset();
  EXPECT_EQ(get(strings.get(), 0, &out), S_OK);
  text.reset(out);
  EXPECT_NE(out, *cell);
  EXPECT_EQ(bytes_of(out), "abcde");

  Counted object;
  VARIANT value = variant_of(VT_BSTR, bstr("text")), got = variant_of(VT_BSTR, &object);
  EXPECT_EQ(put(variants.get(), 0, &value), S_OK);
  VariantClear(&value);
  EXPECT_EQ(get(variants.get(), 0, &got), S_OK);  // got's old content was never ours to free
  EXPECT_NE(got.bstrVal, static_cast<VARIANT*>(variants->pvData)[0].bstrVal);
  EXPECT_EQ(bytes_of(got.bstrVal), "text");
  VariantClear(&got);
  VARIANT invalid = variant_of(15);
  EXPECT_EQ(put(variants.get(), 0, &invalid), DISP_E_BADVARTYPE);

  for (VARTYPE vt : {VT_UNKNOWN, VT_DISPATCH}) {
    Array array(SafeArrayCreateVector(vt, 0, 1));
    IUnknown* got_unknown = nullptr;
    ASSERT_EQ(put(array.get(), 0, &object), S_OK);
    ASSERT_EQ(put(array.get(), 0, &object), S_OK);  // the old reference goes
    ASSERT_EQ(get(array.get(), 0, &got_unknown), S_OK);
    EXPECT_EQ(got_unknown, &object);
    EXPECT_EQ(object.refs, 3u) << vt;
    got_unknown->Release();
  }
  EXPECT_EQ(object.refs, 1u);  // destroying the arrays released their elements
}

TEST(SafeArray, DestroyClearsEveryElement) {
  Counted object;
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
  {
    Array unknowns(SafeArrayCreate(VT_UNKNOWN, 2, bounds));
    Array variants(SafeArrayCreate(VT_VARIANT, 2, bounds));
    ASSERT_TRUE(unknowns && variants);
    VARIANT holding = variant_of(VT_UNKNOWN, &object);
    for (LONG at[2] = {0, 0}; at[0] < 2; ++at[0])
      for (at[1] = 0; at[1] < 3; ++at[1]) {
        ASSERT_EQ(SafeArrayPutElement(unknowns.get(), at, &object), S_OK);
        ASSERT_EQ(SafeArrayPutElement(variants.get(), at, &holding), S_OK);
      }
  }
  EXPECT_EQ(object.refs, 1u);
}

// One copy of a variant array holding a string array and an interface array reaches every kind
// of element.
TEST(SafeArrayCopy, CopiesStringsInterfacesAndVariantsDeep) {
  Counted object;
  Array strings(SafeArrayCreateVector(VT_BSTR, 0, 2));
  Array unknowns(SafeArrayCreateVector(VT_UNKNOWN, 0, 2));
  Array variants(SafeArrayCreateVector(VT_VARIANT, 0, 2));
  ASSERT_TRUE(strings && unknowns && variants);
  Bstr text(bstr("deep"));
  ASSERT_EQ(put(strings.get(), 0, text.get()), S_OK);
  ASSERT_EQ(put(unknowns.get(), 1, &object), S_OK);
  VARIANT nested[2] = {variant_of(VT_ARRAY | VT_BSTR, strings.get()),
                       variant_of(VT_ARRAY | VT_UNKNOWN, unknowns.get())};
  for (LONG i : {0, 1}) ASSERT_EQ(put(variants.get(), i, &nested[i]), S_OK);
  SAFEARRAY* out = nullptr;
  ASSERT_EQ(SafeArrayCopy(variants.get(), &out), S_OK);
  Array copy(out);
  EXPECT_EQ(copy->fFeatures, FADF_HAVEVARTYPE | FADF_VARIANT);  // no longer a vector
  EXPECT_EQ(object.refs, 4u);
  const VARIANT* source = static_cast<VARIANT*>(variants->pvData);
  const VARIANT* copied = static_cast<VARIANT*>(copy->pvData);
  ASSERT_EQ(copied[0].vt, VT_ARRAY | VT_BSTR);
  ASSERT_NE(copied[0].parray, source[0].parray);
  const BSTR* copied_text = static_cast<BSTR*>(copied[0].parray->pvData);
  EXPECT_NE(copied_text[0], static_cast<BSTR*>(source[0].parray->pvData)[0]);
  strings.reset(), unknowns.reset(), variants.reset();
  EXPECT_EQ(bytes_of(copied_text[0]), "deep");  // the copy outlives its sources
  EXPECT_EQ(object.refs, 2u);
}

// Every type word, against the types a VARIANT may hold written out: base types 0..23 except 15,
// and VT_CLSID (72, which VariantCopy refuses); by reference and as arrays only from VT_I2 up;
// never VT_VECTOR (0x1000) or VT_RESERVED.
TEST(Variant, ClearAndCopyAcceptExactlyTheHoldableTypes) {
  for (unsigned vt = 0; vt <= 0xFFFF; ++vt) {
    const unsigned base = vt & VT_TYPEMASK, extra = vt & ~VT_TYPEMASK;
    const bool holdable = (base <= 14 || (base >= 16 && base <= 23) || base == 72) &&
                          (extra & ~(VT_ARRAY | VT_BYREF)) == 0 && (extra == 0 || base > VT_NULL);
    VARIANT v = variant_of(static_cast<VARTYPE>(vt)), copy = variant_of(VT_EMPTY);
    const HRESULT copied = VariantCopy(&copy, &v);
    ASSERT_EQ(copied, holdable && base != 72 ? S_OK : DISP_E_BADVARTYPE) << std::hex << vt;
    ASSERT_EQ(copy.vt, copied == S_OK ? vt : unsigned{VT_EMPTY}) << std::hex << vt;
    ASSERT_EQ(VariantClear(&copy), S_OK);
    ASSERT_EQ(VariantClear(&v), holdable ? S_OK : DISP_E_BADVARTYPE) << std::hex << vt;
    ASSERT_EQ(v.vt, holdable ? unsigned{VT_EMPTY} : vt) << std::hex << vt;
  }
}

TEST(Variant, ClearFreesWhatItOwnsAndNothingByReference) {
  Counted object;
  IUnknown* unknown = &object;
  BSTR text = bstr("kept");
  SAFEARRAY* array = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
  ASSERT_EQ(put(array, 0, &object), S_OK);
  VARIANT target = variant_of(VT_BSTR, text);
  VARIANT by_ref[] = {variant_of(VT_UNKNOWN | VT_BYREF, &unknown),
                      variant_of(VT_BSTR | VT_BYREF, &text),
                      variant_of(VT_ARRAY | VT_UNKNOWN | VT_BYREF, &array),
                      variant_of(VT_VARIANT | VT_BYREF, &target)};
  VARIANT owning[] = {variant_of(VT_UNKNOWN, unknown), variant_of(VT_DISPATCH, unknown),
                      variant_of(VT_ARRAY | VT_UNKNOWN, array), variant_of(VT_BSTR, text)};
  object.AddRef(), object.AddRef();
  for (VARIANT& v : by_ref) EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(object.releases, 0u);
  EXPECT_EQ(bytes_of(text), "kept");
  for (VARIANT& v : owning) EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(object.releases, 3u);
  EXPECT_EQ(object.refs, 1u);
}

TEST(Variant, CopyDuplicatesStringsReferencesInterfacesAndKeepsByrefPointers) {
  Counted object;
  IUnknown* unknown = &object;
  Bstr text(bstr("abcde"));
  BSTR text_ref = text.get();
  const VARIANT sources[] = {
      variant_of(VT_BSTR, text.get()),      variant_of(VT_BSTR),  // a null BSTR copies as ""
      variant_of(VT_UNKNOWN, unknown),      variant_of(VT_DISPATCH, unknown),
      variant_of(VT_BSTR | VT_BYREF, &text_ref), variant_of(VT_UNKNOWN | VT_BYREF, &unknown)};
  for (const VARIANT& source : sources) {
    VARIANT dest = variant_of(VT_EMPTY);
    EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
    EXPECT_EQ(dest.vt, source.vt);
    if (source.vt == VT_BSTR) {
      EXPECT_TRUE(dest.bstrVal && dest.bstrVal != source.bstrVal);
      EXPECT_EQ(bytes_of(dest.bstrVal), bytes_of(source.bstrVal));
    } else {
      EXPECT_EQ(dest.byref, source.byref);
    }
    EXPECT_EQ(object.refs, source.vt == VT_UNKNOWN || source.vt == VT_DISPATCH ? 2u : 1u);
    VariantClear(&dest);
  }
  EXPECT_EQ(text_ref, text.get());

  VARIANT holding = variant_of(VT_UNKNOWN, unknown), number = variant_of(VT_I4),
          bad = variant_of(VT_I4 | 0x1000);
  object.AddRef();
  EXPECT_EQ(VariantCopy(&holding, &bad), DISP_E_BADVARTYPE);  // refused before touching it
  EXPECT_EQ(VariantCopy(&holding, &holding), S_OK);  // onto itself: nothing happens
  EXPECT_EQ(object.refs, 2u);
  EXPECT_EQ(VariantCopy(&holding, &number), S_OK);  // the destination is cleared first
  EXPECT_EQ(holding.vt, VT_I4);
  EXPECT_EQ(object.refs, 1u);
}

}  // namespace
