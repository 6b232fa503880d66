// The automation layer against the system's behaviour: BSTR layout, SAFEARRAY dimension order,
// bounds and index errors, lock counting, copy and ownership rules, VARIANT clear and copy.
// Leaks and double frees are left to the sanitizers; reference counts to a counting object.
#include <cpservices/oleauto.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

struct ArrayDeleter {
  void operator()(SAFEARRAY* psa) const { SafeArrayDestroy(psa); }
};
using Array = std::unique_ptr<SAFEARRAY, ArrayDeleter>;

struct BstrDeleter {
  void operator()(OLECHAR* text) const { SysFreeString(text); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrDeleter>;

std::wstring text_of(BSTR text) { return std::wstring(text, SysStringLen(text)); }

// An object that counts the references taken and dropped on it.
class CountingObject final : public IDispatch {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDispatch) return E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++add_refs;
    return ++refs;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    ++releases;
    return --refs;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                   EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  ULONG refs = 1;  // the test's own reference
  int add_refs = 0;
  int releases = 0;
};

VARIANT variant_of(VARTYPE vt) {
  VARIANT v;
  std::memset(&v, 0, sizeof v);
  v.vt = vt;
  return v;
}

// ---- BSTR ------------------------------------------------------------------------------------

TEST(Bstr, AllocatesLengthPrefixedTerminatedStrings) {
  const OLECHAR with_nul[] = {L'a', 0, L'b'};
  const OLECHAR xy[] = {L'x', L'y'};
  struct Row {
    const char* what;
    BSTR made;
    std::wstring expected;
  };
  const Row rows[] = {
      {"SysAllocString", SysAllocString(L"abc"), L"abc"},
      {"SysAllocString empty", SysAllocString(L""), L""},
      {"SysAllocStringLen prefix", SysAllocStringLen(L"abcdef", 3), L"abc"},
      {"SysAllocStringLen embedded zero", SysAllocStringLen(with_nul, 3), std::wstring(with_nul, 3)},
      {"SysAllocStringLen null source", SysAllocStringLen(nullptr, 4), std::wstring(4, L'\0')},
      {"SysAllocStringByteLen null empty", SysAllocStringByteLen(nullptr, 0), L""},
      {"SysAllocStringByteLen whole chars",
       SysAllocStringByteLen(reinterpret_cast<const char*>(xy), sizeof xy), L"xy"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    Bstr owned(row.made);
    ASSERT_NE(row.made, nullptr);
    EXPECT_EQ(SysStringLen(row.made), row.expected.size());
    EXPECT_EQ(SysStringByteLen(row.made), row.expected.size() * sizeof(OLECHAR));
    EXPECT_EQ(text_of(row.made), row.expected);
    EXPECT_EQ(row.made[row.expected.size()], L'\0');
    uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(row.made) - sizeof prefix, sizeof prefix);
    EXPECT_EQ(prefix, row.expected.size() * sizeof(OLECHAR));
  }
}

TEST(Bstr, KeepsAnOddByteLengthAndTerminates) {
  Bstr text(SysAllocStringByteLen("abcde", 5));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(SysStringByteLen(text.get()), 5u);
  EXPECT_EQ(SysStringLen(text.get()), 5 / sizeof(OLECHAR));
  const char* bytes = reinterpret_cast<const char*>(text.get());
  EXPECT_EQ(std::memcmp(bytes, "abcde", 5), 0);
  for (size_t i = 5; i < 2 * sizeof(OLECHAR); ++i) EXPECT_EQ(bytes[i], 0) << i;
}

TEST(Bstr, NullIsTheEmptyString) {
  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(SysStringByteLen(nullptr), 0u);
  SysFreeString(nullptr);
}

TEST(Bstr, RefusesLengthsThatOverflow) {
  EXPECT_EQ(SysAllocStringLen(nullptr, UINT_MAX), nullptr);
  // Its byte count wraps to 4 in 32 bits: it must fail, not give a 1-character string.
  EXPECT_EQ(SysAllocStringLen(L"x", 0x40000001u), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, UINT_MAX), nullptr);
  EXPECT_EQ(SysAllocStringByteLen(nullptr, UINT_MAX - 4), nullptr);
}

// ---- SAFEARRAY creation ----------------------------------------------------------------------

struct TypeRow {
  VARTYPE vt;
  ULONG size;
  USHORT features;
};

constexpr USHORT kFadfCreateVector = 0x2000;

const TypeRow kTypeRows[] = {
    {VT_I1, 1, FADF_HAVEVARTYPE},
    {VT_UI1, 1, FADF_HAVEVARTYPE},
    {VT_I2, 2, FADF_HAVEVARTYPE},
    {VT_UI2, 2, FADF_HAVEVARTYPE},
    {VT_BOOL, 2, FADF_HAVEVARTYPE},
    {VT_I4, 4, FADF_HAVEVARTYPE},
    {VT_UI4, 4, FADF_HAVEVARTYPE},
    {VT_R4, 4, FADF_HAVEVARTYPE},
    {VT_ERROR, 4, FADF_HAVEVARTYPE},
    {VT_INT, 4, FADF_HAVEVARTYPE},
    {VT_UINT, 4, FADF_HAVEVARTYPE},
    {VT_I8, 8, FADF_HAVEVARTYPE},
    {VT_UI8, 8, FADF_HAVEVARTYPE},
    {VT_R8, 8, FADF_HAVEVARTYPE},
    {VT_CY, 8, FADF_HAVEVARTYPE},
    {VT_DATE, 8, FADF_HAVEVARTYPE},
    {VT_DECIMAL, 16, FADF_HAVEVARTYPE},
    {VT_BSTR, sizeof(BSTR), FADF_HAVEVARTYPE | FADF_BSTR},
    {VT_VARIANT, sizeof(VARIANT), FADF_HAVEVARTYPE | FADF_VARIANT},
    {VT_UNKNOWN, sizeof(void*), FADF_HAVEIID | FADF_UNKNOWN},
    {VT_DISPATCH, sizeof(void*), FADF_HAVEIID | FADF_DISPATCH},
};

bool all_zero(const void* data, size_t bytes) {
  const auto* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < bytes; ++i)
    if (p[i]) return false;
  return true;
}

TEST(SafeArrayCreate, RecordsSizeFlagsAndTypeOfEveryElementType) {
  for (const TypeRow& row : kTypeRows) {
    SCOPED_TRACE(row.vt);
    SAFEARRAYBOUND bound = {3, 0};
    Array made[2] = {Array(SafeArrayCreate(row.vt, 1, &bound)),
                     Array(SafeArrayCreateVector(row.vt, 0, 3))};
    for (const Array& a : made) {
      ASSERT_NE(a, nullptr);
      const bool vector = &a == &made[1];
      EXPECT_EQ(SafeArrayGetElemsize(a.get()), row.size);
      EXPECT_EQ(a->fFeatures, row.features | (vector ? kFadfCreateVector : 0));
      EXPECT_EQ(SafeArrayGetDim(a.get()), 1u);
      EXPECT_EQ(a->cLocks, 0u);
      VARTYPE vt = VT_EMPTY;
      EXPECT_EQ(SafeArrayGetVartype(a.get(), &vt), S_OK);
      EXPECT_EQ(vt, row.vt);
      EXPECT_TRUE(all_zero(a->pvData, 3 * row.size));
    }
  }
}

TEST(SafeArrayCreate, RefusesTypesNoArrayHolds) {
  const VARTYPE refused[] = {VT_EMPTY, VT_NULL, 15, 24 /* VT_VOID */, 36 /* VT_RECORD */,
                             VT_I4 | VT_ARRAY, VT_I4 | VT_BYREF, VT_I4 | 0x1000, 0xFFF};
  for (VARTYPE vt : refused) {
    SAFEARRAYBOUND bound = {1, 0};
    EXPECT_EQ(SafeArrayCreate(vt, 1, &bound), nullptr) << vt;
    EXPECT_EQ(SafeArrayCreateVector(vt, 0, 1), nullptr) << vt;
  }
}

TEST(SafeArrayCreate, RefusesShapesItCannotHold) {
  SAFEARRAYBOUND one = {1, 0};
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0, &one), nullptr);
  EXPECT_EQ(SafeArrayCreate(VT_I4, 1, nullptr), nullptr);

  std::vector<SAFEARRAYBOUND> many(0x10000, SAFEARRAYBOUND{1, 0});
  EXPECT_EQ(SafeArrayCreate(VT_I4, 0x10000, many.data()), nullptr);
  Array widest(SafeArrayCreate(VT_I4, 0xFFFF, many.data()));
  ASSERT_NE(widest, nullptr);
  EXPECT_EQ(SafeArrayGetDim(widest.get()), 0xFFFFu);

  // Element storage past 4 GiB, or an element count that wraps.
  SAFEARRAYBOUND four_gib[2] = {{0x10000, 0}, {0x10000, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, four_gib), nullptr);
  SAFEARRAYBOUND wrapping[3] = {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_UI1, 3, wrapping), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_I4, 0, 0x40000000), nullptr);
  EXPECT_EQ(SafeArrayCreateVector(VT_VARIANT, 0, 0xFFFFFFFF), nullptr);
}

TEST(SafeArrayCreate, AllowsADimensionWithoutElements) {
  SAFEARRAYBOUND bounds[2] = {{3, 0}, {0, 5}};
  Array a(SafeArrayCreate(VT_BSTR, 2, bounds));
  ASSERT_NE(a, nullptr);
  LONG lower = 0, upper = 0;
  EXPECT_EQ(SafeArrayGetLBound(a.get(), 2, &lower), S_OK);
  EXPECT_EQ(SafeArrayGetUBound(a.get(), 2, &upper), S_OK);
  EXPECT_EQ(lower, 5);
  EXPECT_EQ(upper, 4);
  LONG at[2] = {0, 5};
  BSTR out = nullptr;
  EXPECT_EQ(SafeArrayGetElement(a.get(), at, &out), DISP_E_BADINDEX);
  SAFEARRAY* copy = nullptr;
  EXPECT_EQ(SafeArrayCopy(a.get(), &copy), S_OK);
  EXPECT_EQ(SafeArrayDestroy(copy), S_OK);
}

// ---- SAFEARRAY dimensions and indexes --------------------------------------------------------

TEST(SafeArray, DimensionOneIsLeftmostAndVariesFastest) {
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 10}};  // dimension 1: 1..2, dimension 2: 10..12
  Array a(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_NE(a, nullptr);

  // Stored last to first.
  EXPECT_EQ(a->rgsabound[0].cElements, 3u);
  EXPECT_EQ(a->rgsabound[0].lLbound, 10);
  const SAFEARRAYBOUND* stored = a->rgsabound;
  EXPECT_EQ(stored[1].cElements, 2u);
  EXPECT_EQ(stored[1].lLbound, 1);

  struct BoundRow {
    UINT dim;
    LONG lower, upper;
  };
  for (const BoundRow& row : {BoundRow{1, 1, 2}, BoundRow{2, 10, 12}}) {
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(a.get(), row.dim, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(a.get(), row.dim, &upper), S_OK);
    EXPECT_EQ(lower, row.lower) << row.dim;
    EXPECT_EQ(upper, row.upper) << row.dim;
  }

  for (LONG i = 1; i <= 2; ++i)
    for (LONG j = 10; j <= 12; ++j) {
      LONG at[2] = {i, j};
      LONG value = 100 * i + j;
      ASSERT_EQ(SafeArrayPutElement(a.get(), at, &value), S_OK);
    }

  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(a.get(), &data), S_OK);
  const LONG expected_storage[6] = {110, 210, 111, 211, 112, 212};
  EXPECT_EQ(std::memcmp(data, expected_storage, sizeof expected_storage), 0);
  for (LONG i = 1; i <= 2; ++i)
    for (LONG j = 10; j <= 12; ++j) {
      LONG at[2] = {i, j};
      void* cell = nullptr;
      EXPECT_EQ(SafeArrayPtrOfIndex(a.get(), at, &cell), S_OK);
      EXPECT_EQ(cell, static_cast<LONG*>(data) + (i - 1) + (j - 10) * 2);
      LONG value = 0;
      EXPECT_EQ(SafeArrayGetElement(a.get(), at, &value), S_OK);
      EXPECT_EQ(value, 100 * i + j);
    }
  EXPECT_EQ(SafeArrayUnaccessData(a.get()), S_OK);
}

TEST(SafeArray, BadDimensionOrIndexIsBadIndex) {
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 10}};
  Array a(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_NE(a, nullptr);
  for (UINT dim : {0u, 3u, UINT_MAX}) {
    LONG bound = 77;
    EXPECT_EQ(SafeArrayGetLBound(a.get(), dim, &bound), DISP_E_BADINDEX) << dim;
    EXPECT_EQ(SafeArrayGetUBound(a.get(), dim, &bound), DISP_E_BADINDEX) << dim;
    EXPECT_EQ(bound, 77);
  }

  constexpr LONG kMin = std::numeric_limits<LONG>::min();
  constexpr LONG kMax = std::numeric_limits<LONG>::max();
  const LONG bad[][2] = {{0, 10}, {3, 10},    {1, 9},    {1, 13},
                         {kMin, 10}, {1, kMax}, {kMax, 10}, {2, kMin}};
  for (const auto& index : bad) {
    SCOPED_TRACE(testing::Message() << index[0] << "," << index[1]);
    LONG at[2] = {index[0], index[1]};
    LONG value = 5;
    void* cell = nullptr;
    EXPECT_EQ(SafeArrayGetElement(a.get(), at, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayPutElement(a.get(), at, &value), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayPtrOfIndex(a.get(), at, &cell), DISP_E_BADINDEX);
    EXPECT_EQ(a->cLocks, 0u);  // a failed get or put leaves no lock behind
  }

  Array v(SafeArrayCreateVector(VT_I2, -5, 3));
  ASSERT_NE(v, nullptr);
  for (LONG index : {LONG{-5}, LONG{-4}, LONG{-3}}) {
    SHORT value = static_cast<SHORT>(index);
    EXPECT_EQ(SafeArrayPutElement(v.get(), &index, &value), S_OK) << index;
  }
  for (LONG index : {LONG{-6}, LONG{-2}}) {
    SHORT value = 0;
    EXPECT_EQ(SafeArrayGetElement(v.get(), &index, &value), DISP_E_BADINDEX) << index;
  }
  LONG upper = 0;
  EXPECT_EQ(SafeArrayGetUBound(v.get(), 1, &upper), S_OK);
  EXPECT_EQ(upper, -3);
}

TEST(SafeArray, NullArgumentsAreInvalid) {
  SAFEARRAYBOUND bound = {2, 0};
  Array a(SafeArrayCreate(VT_I4, 1, &bound));
  ASSERT_NE(a, nullptr);
  SAFEARRAY* psa = a.get();
  LONG index = 0;
  LONG value = 0;
  void* pointer = nullptr;
  VARTYPE vt = VT_EMPTY;
  const HRESULT results[] = {
      SafeArrayGetLBound(nullptr, 1, &value),   SafeArrayGetLBound(psa, 1, nullptr),
      SafeArrayGetUBound(nullptr, 1, &value),   SafeArrayGetUBound(psa, 1, nullptr),
      SafeArrayGetElement(nullptr, &index, &value), SafeArrayGetElement(psa, nullptr, &value),
      SafeArrayGetElement(psa, &index, nullptr), SafeArrayPutElement(nullptr, &index, &value),
      SafeArrayPutElement(psa, nullptr, &value), SafeArrayPutElement(psa, &index, nullptr),
      SafeArrayPtrOfIndex(nullptr, &index, &pointer), SafeArrayPtrOfIndex(psa, nullptr, &pointer),
      SafeArrayPtrOfIndex(psa, &index, nullptr), SafeArrayAccessData(nullptr, &pointer),
      SafeArrayAccessData(psa, nullptr),        SafeArrayUnaccessData(nullptr),
      SafeArrayLock(nullptr),                   SafeArrayUnlock(nullptr),
      SafeArrayGetVartype(nullptr, &vt),        SafeArrayGetVartype(psa, nullptr),
      SafeArrayCopy(psa, nullptr),
  };
  for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], E_INVALIDARG) << i;
  EXPECT_EQ(psa->cLocks, 0u);
  EXPECT_EQ(SafeArrayGetDim(nullptr), 0u);
  EXPECT_EQ(SafeArrayGetElemsize(nullptr), 0u);
  EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

// ---- SAFEARRAY locks -------------------------------------------------------------------------

TEST(SafeArray, LocksAreCountedAndBlockDestroy) {
  Array a(SafeArrayCreateVector(VT_I4, 0, 2));
  ASSERT_NE(a, nullptr);
  void* first = nullptr;
  void* second = nullptr;
  EXPECT_EQ(SafeArrayAccessData(a.get(), &first), S_OK);
  EXPECT_EQ(SafeArrayAccessData(a.get(), &second), S_OK);
  EXPECT_EQ(first, second);
  EXPECT_EQ(a->cLocks, 2u);
  EXPECT_EQ(SafeArrayDestroy(a.get()), DISP_E_ARRAYISLOCKED);
  static_cast<LONG*>(first)[1] = 42;  // still there
  EXPECT_EQ(SafeArrayUnaccessData(a.get()), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(a.get()), S_OK);
  EXPECT_EQ(SafeArrayUnaccessData(a.get()), E_UNEXPECTED);
  EXPECT_EQ(a->cLocks, 0u);
  LONG index = 1;
  LONG value = 0;
  EXPECT_EQ(SafeArrayGetElement(a.get(), &index, &value), S_OK);
  EXPECT_EQ(value, 42);
  EXPECT_EQ(SafeArrayDestroy(a.release()), S_OK);
}

TEST(SafeArray, LocksStopAt65535) {
  Array a(SafeArrayCreateVector(VT_I4, 0, 1));
  ASSERT_NE(a, nullptr);
  for (int i = 0; i < 0xFFFF; ++i) ASSERT_EQ(SafeArrayLock(a.get()), S_OK) << i;
  EXPECT_EQ(SafeArrayLock(a.get()), E_UNEXPECTED);
  void* data = &data;
  EXPECT_EQ(SafeArrayAccessData(a.get(), &data), E_UNEXPECTED);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(a->cLocks, 0xFFFFu);
  for (int i = 0; i < 0xFFFF; ++i) ASSERT_EQ(SafeArrayUnlock(a.get()), S_OK) << i;
  EXPECT_EQ(SafeArrayUnlock(a.get()), E_UNEXPECTED);
}

// ---- SAFEARRAY element ownership -------------------------------------------------------------

TEST(SafeArray, InterfaceElementsAreReferencedNotAliased) {
  for (VARTYPE vt : {VT_UNKNOWN, VT_DISPATCH}) {
    SCOPED_TRACE(vt);
    CountingObject a, b;
    {
      Array array(SafeArrayCreateVector(vt, 0, 2));
      ASSERT_NE(array, nullptr);
      LONG slot = 0;
      IUnknown* as_unknown = &a;  // the same address an IDispatch* would have
      EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, as_unknown), S_OK);
      EXPECT_EQ(a.refs, 2u);
      EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, as_unknown), S_OK);  // the old one goes
      EXPECT_EQ(a.refs, 2u);
      EXPECT_EQ(a.releases, 1);

      IUnknown* out = nullptr;
      EXPECT_EQ(SafeArrayGetElement(array.get(), &slot, &out), S_OK);
      EXPECT_EQ(out, as_unknown);
      EXPECT_EQ(a.refs, 3u);
      out->Release();

      EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, static_cast<IUnknown*>(&b)), S_OK);
      EXPECT_EQ(a.refs, 1u);
      EXPECT_EQ(b.refs, 2u);
      EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, nullptr), S_OK);
      EXPECT_EQ(b.refs, 1u);
      out = as_unknown;
      EXPECT_EQ(SafeArrayGetElement(array.get(), &slot, &out), S_OK);
      EXPECT_EQ(out, nullptr);

      slot = 1;
      EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, as_unknown), S_OK);
      EXPECT_EQ(a.refs, 2u);
    }
    EXPECT_EQ(a.refs, 1u);  // destroying the array released the element
    EXPECT_EQ(b.refs, 1u);
    EXPECT_EQ(a.add_refs, a.releases);
  }
}

TEST(SafeArray, BstrElementsAreCopies) {
  Array array(SafeArrayCreateVector(VT_BSTR, 0, 3));
  ASSERT_NE(array, nullptr);
  BSTR* cells = static_cast<BSTR*>(array->pvData);
  LONG slot = 0;

  Bstr original(SysAllocString(L"alpha"));
  EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, original.get()), S_OK);
  ASSERT_NE(cells[0], nullptr);
  EXPECT_NE(cells[0], original.get());
  original.get()[0] = L'X';
  original.reset();
  EXPECT_EQ(text_of(cells[0]), L"alpha");

  BSTR out = nullptr;
  EXPECT_EQ(SafeArrayGetElement(array.get(), &slot, &out), S_OK);
  Bstr got(out);
  EXPECT_NE(out, cells[0]);
  EXPECT_EQ(text_of(out), L"alpha");

  Bstr replacement(SysAllocString(L"beta"));
  EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, replacement.get()), S_OK);
  EXPECT_EQ(text_of(cells[0]), L"beta");

  // A byte string of odd length comes back with every byte.
  slot = 1;
  Bstr odd(SysAllocStringByteLen("abcde", 5));
  EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, odd.get()), S_OK);
  EXPECT_EQ(SafeArrayGetElement(array.get(), &slot, &out), S_OK);
  Bstr odd_back(out);
  EXPECT_EQ(SysStringByteLen(out), 5u);
  EXPECT_EQ(std::memcmp(out, "abcde", 5), 0);

  // An element never set reads back as a null BSTR; a null BSTR put is stored as an empty one.
  slot = 2;
  out = reinterpret_cast<BSTR>(&slot);
  EXPECT_EQ(SafeArrayGetElement(array.get(), &slot, &out), S_OK);
  EXPECT_EQ(out, nullptr);
  EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, nullptr), S_OK);
  ASSERT_NE(cells[2], nullptr);
  EXPECT_EQ(SysStringLen(cells[2]), 0u);
}

TEST(SafeArray, VariantElementsAreCopies) {
  CountingObject object;
  {
    Array array(SafeArrayCreateVector(VT_VARIANT, 0, 2));
    ASSERT_NE(array, nullptr);
    VARIANT* cells = static_cast<VARIANT*>(array->pvData);
    LONG slot = 0;

    VARIANT text = variant_of(VT_BSTR);
    text.bstrVal = SysAllocString(L"text");
    EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, &text), S_OK);
    EXPECT_EQ(cells[0].vt, VT_BSTR);
    EXPECT_NE(cells[0].bstrVal, text.bstrVal);
    VariantClear(&text);
    EXPECT_EQ(text_of(cells[0].bstrVal), L"text");

    // What the caller's variant held before is not freed: it was never the array's.
    VARIANT out = variant_of(VT_BSTR);
    out.bstrVal = reinterpret_cast<BSTR>(&slot);
    EXPECT_EQ(SafeArrayGetElement(array.get(), &slot, &out), S_OK);
    EXPECT_EQ(out.vt, VT_BSTR);
    EXPECT_NE(out.bstrVal, cells[0].bstrVal);
    EXPECT_EQ(text_of(out.bstrVal), L"text");
    VariantClear(&out);

    VARIANT unknown = variant_of(VT_UNKNOWN);
    unknown.punkVal = &object;
    slot = 1;
    EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, &unknown), S_OK);
    EXPECT_EQ(object.refs, 2u);
    EXPECT_EQ(SafeArrayGetElement(array.get(), &slot, &out), S_OK);
    EXPECT_EQ(object.refs, 3u);
    VariantClear(&out);

    VARIANT number = variant_of(VT_I4);
    number.lVal = 7;
    EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, &number), S_OK);  // releases the object
    EXPECT_EQ(object.refs, 1u);
    EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, &unknown), S_OK);

    VARIANT invalid = variant_of(15);
    EXPECT_EQ(SafeArrayPutElement(array.get(), &slot, &invalid), DISP_E_BADVARTYPE);
    EXPECT_EQ(cells[1].vt, VT_UNKNOWN);
  }
  EXPECT_EQ(object.refs, 1u);
}

TEST(SafeArray, DestroyClearsEveryElement) {
  CountingObject object;
  SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 0}};
  {
    Array unknowns(SafeArrayCreate(VT_UNKNOWN, 2, bounds));
    Array variants(SafeArrayCreate(VT_VARIANT, 2, bounds));
    ASSERT_NE(unknowns, nullptr);
    ASSERT_NE(variants, nullptr);
    VARIANT holding = variant_of(VT_UNKNOWN);
    holding.punkVal = &object;
    for (LONG i = 0; i < 2; ++i)
      for (LONG j = 0; j < 3; ++j) {
        LONG at[2] = {i, j};
        ASSERT_EQ(SafeArrayPutElement(unknowns.get(), at, static_cast<IUnknown*>(&object)), S_OK);
        ASSERT_EQ(SafeArrayPutElement(variants.get(), at, &holding), S_OK);
      }
    // A variant array holding the interface array: destroying it reaches the inner elements.
    Array outer(SafeArrayCreateVector(VT_VARIANT, 0, 1));
    ASSERT_NE(outer, nullptr);
    VARIANT inner = variant_of(VT_ARRAY | VT_UNKNOWN);
    inner.parray = unknowns.release();
    LONG slot = 0;
    ASSERT_EQ(SafeArrayPutElement(outer.get(), &slot, &inner), S_OK);
    EXPECT_EQ(VariantClear(&inner), S_OK);
    EXPECT_EQ(object.refs, 13u);
  }
  EXPECT_EQ(object.releases, 6 + 6 + 6);  // copy in outer, the original, the variant array
  EXPECT_EQ(object.refs, 1u);
}

// ---- SafeArrayCopy ---------------------------------------------------------------------------

TEST(SafeArrayCopy, CopiesShapeAndNumbers) {
  SAFEARRAYBOUND bounds[2] = {{2, 1}, {3, 10}};
  Array source(SafeArrayCreate(VT_I4, 2, bounds));
  ASSERT_NE(source, nullptr);
  auto* numbers = static_cast<LONG*>(source->pvData);
  for (LONG i = 0; i < 6; ++i) numbers[i] = i * i;
  void* locked = nullptr;
  ASSERT_EQ(SafeArrayAccessData(source.get(), &locked), S_OK);

  SAFEARRAY* out = nullptr;
  ASSERT_EQ(SafeArrayCopy(source.get(), &out), S_OK);
  Array copy(out);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->cDims, 2);
  EXPECT_EQ(copy->fFeatures, source->fFeatures);
  EXPECT_EQ(copy->cbElements, source->cbElements);
  EXPECT_EQ(copy->cLocks, 0u);
  EXPECT_EQ(std::memcmp(copy->rgsabound, source->rgsabound, 2 * sizeof(SAFEARRAYBOUND)), 0);
  VARTYPE vt = VT_EMPTY;
  EXPECT_EQ(SafeArrayGetVartype(copy.get(), &vt), S_OK);
  EXPECT_EQ(vt, VT_I4);
  EXPECT_NE(copy->pvData, source->pvData);
  EXPECT_EQ(std::memcmp(copy->pvData, source->pvData, 6 * sizeof(LONG)), 0);
  EXPECT_EQ(SafeArrayUnaccessData(source.get()), S_OK);
}

TEST(SafeArrayCopy, CopiesStringsInterfacesAndVariantsDeep) {
  CountingObject object;
  Array strings(SafeArrayCreateVector(VT_BSTR, 0, 2));
  Array unknowns(SafeArrayCreateVector(VT_UNKNOWN, 0, 3));
  Array variants(SafeArrayCreateVector(VT_VARIANT, 0, 2));
  ASSERT_TRUE(strings && unknowns && variants);
  LONG slot = 0;
  Bstr text(SysAllocString(L"deep"));
  ASSERT_EQ(SafeArrayPutElement(strings.get(), &slot, text.get()), S_OK);
  ASSERT_EQ(SafeArrayPutElement(unknowns.get(), &slot, static_cast<IUnknown*>(&object)), S_OK);
  slot = 2;
  ASSERT_EQ(SafeArrayPutElement(unknowns.get(), &slot, static_cast<IUnknown*>(&object)), S_OK);
  VARIANT nested = variant_of(VT_ARRAY | VT_BSTR);
  nested.parray = strings.get();
  slot = 1;
  ASSERT_EQ(SafeArrayPutElement(variants.get(), &slot, &nested), S_OK);

  SAFEARRAY* out = nullptr;
  ASSERT_EQ(SafeArrayCopy(unknowns.get(), &out), S_OK);
  Array unknowns_copy(out);
  EXPECT_EQ(unknowns_copy->fFeatures, FADF_HAVEIID | FADF_UNKNOWN);  // no longer a vector
  EXPECT_EQ(object.refs, 5u);
  unknowns_copy.reset();
  EXPECT_EQ(object.refs, 3u);

  ASSERT_EQ(SafeArrayCopy(variants.get(), &out), S_OK);
  Array variants_copy(out);
  ASSERT_EQ(SafeArrayCopy(strings.get(), &out), S_OK);
  Array strings_copy(out);
  const BSTR source_text = static_cast<BSTR*>(strings->pvData)[0];
  const BSTR copied_text = static_cast<BSTR*>(strings_copy->pvData)[0];
  EXPECT_NE(copied_text, source_text);
  EXPECT_EQ(static_cast<BSTR*>(strings_copy->pvData)[1], nullptr);

  const VARIANT& nested_copy = static_cast<VARIANT*>(variants_copy->pvData)[1];
  EXPECT_EQ(nested_copy.vt, VT_ARRAY | VT_BSTR);
  EXPECT_NE(nested_copy.parray, static_cast<VARIANT*>(variants->pvData)[1].parray);

  // Once the sources are gone, the copies still hold everything.
  strings.reset();
  variants.reset();
  EXPECT_EQ(text_of(copied_text), L"deep");
  EXPECT_EQ(text_of(static_cast<BSTR*>(nested_copy.parray->pvData)[0]), L"deep");
}

TEST(SafeArrayCopy, NullSourceGivesNullCopy) {
  SAFEARRAY* out = reinterpret_cast<SAFEARRAY*>(&out);
  EXPECT_EQ(SafeArrayCopy(nullptr, &out), S_OK);
  EXPECT_EQ(out, nullptr);
}

// ---- VARIANT ---------------------------------------------------------------------------------

TEST(Variant, InitMakesItEmpty) {
  VARIANT v;
  std::memset(&v, 0xAB, sizeof v);
  VariantInit(&v);
  EXPECT_EQ(v.vt, VT_EMPTY);
}

// The types a VARIANT may hold, written out: base types 0..23 except 15, and VT_CLSID; by
// reference and as arrays only from VT_I2 up; never VT_VECTOR or VT_RESERVED.
bool holdable(VARTYPE base, VARTYPE extra) {
  const bool base_ok = (base <= 14 || (base >= 16 && base <= 23) || base == 72);
  const bool extra_ok = extra == 0 || extra == VT_BYREF || extra == VT_ARRAY ||
                        extra == (VT_ARRAY | VT_BYREF);
  return base_ok && extra_ok && (extra == 0 || base > VT_NULL);
}

std::vector<VARTYPE> extra_flag_combinations() {
  std::vector<VARTYPE> all;
  for (unsigned mask = 0; mask < 16; ++mask)
    all.push_back(static_cast<VARTYPE>(((mask & 1) ? 0x1000 : 0) | ((mask & 2) ? VT_ARRAY : 0) |
                                       ((mask & 4) ? VT_BYREF : 0) |
                                       ((mask & 8) ? VT_RESERVED : 0)));
  return all;
}

TEST(Variant, ClearAcceptsExactlyTheHoldableTypes) {
  for (VARTYPE extra : extra_flag_combinations())
    for (VARTYPE base = 0; base <= VT_TYPEMASK; ++base) {
      const VARTYPE vt = static_cast<VARTYPE>(base | extra);
      VARIANT v = variant_of(vt);
      const HRESULT hr = VariantClear(&v);
      if (holdable(base, extra)) {
        ASSERT_EQ(hr, S_OK) << std::hex << vt;
        ASSERT_EQ(v.vt, VT_EMPTY) << std::hex << vt;
      } else {
        ASSERT_EQ(hr, DISP_E_BADVARTYPE) << std::hex << vt;
        ASSERT_EQ(v.vt, vt) << std::hex << vt;
      }
    }
}

TEST(Variant, CopyAcceptsHoldableSourcesButClsid) {
  for (VARTYPE extra : extra_flag_combinations())
    for (VARTYPE base = 0; base <= VT_TYPEMASK; ++base) {
      const VARTYPE vt = static_cast<VARTYPE>(base | extra);
      VARIANT source = variant_of(vt);
      VARIANT dest = variant_of(VT_EMPTY);
      const HRESULT hr = VariantCopy(&dest, &source);
      if (holdable(base, extra) && base != 72) {
        ASSERT_EQ(hr, S_OK) << std::hex << vt;
        ASSERT_EQ(dest.vt, vt) << std::hex << vt;
        ASSERT_EQ(VariantClear(&dest), S_OK);
      } else {
        ASSERT_EQ(hr, DISP_E_BADVARTYPE) << std::hex << vt;
        ASSERT_EQ(dest.vt, VT_EMPTY) << std::hex << vt;
      }
    }
}

TEST(Variant, ClearFreesOnlyWhatItOwns) {
  CountingObject object;
  struct Row {
    VARTYPE vt;
    int releases;
  };
  IUnknown* referenced = &object;
  for (const Row& row : {Row{VT_UNKNOWN, 1}, Row{VT_DISPATCH, 1}, Row{VT_UNKNOWN | VT_BYREF, 0},
                         Row{VT_DISPATCH | VT_BYREF, 0}}) {
    object.AddRef();
    const int before = object.releases;
    VARIANT v = variant_of(row.vt);
    if (row.vt & VT_BYREF)
      v.ppunkVal = &referenced;
    else
      v.punkVal = &object;
    EXPECT_EQ(VariantClear(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    EXPECT_EQ(object.releases - before, row.releases) << row.vt;
    if (!row.releases) object.Release();
  }
  EXPECT_EQ(object.refs, 1u);

  // By reference, neither the string, the array nor the variant pointed to is touched.
  Bstr text(SysAllocString(L"kept"));
  BSTR text_ref = text.get();
  Array array(SafeArrayCreateVector(VT_I4, 0, 1));
  SAFEARRAY* array_ref = array.get();
  VARIANT target = variant_of(VT_BSTR);
  target.bstrVal = text.get();
  VARIANT by_ref[3] = {variant_of(VT_BSTR | VT_BYREF), variant_of(VT_ARRAY | VT_I4 | VT_BYREF),
                       variant_of(VT_VARIANT | VT_BYREF)};
  by_ref[0].pbstrVal = &text_ref;
  by_ref[1].pparray = &array_ref;
  by_ref[2].pvarVal = &target;
  for (VARIANT& v : by_ref) EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(text_of(text.get()), L"kept");
  EXPECT_EQ(SafeArrayGetDim(array.get()), 1u);
  EXPECT_EQ(target.vt, VT_BSTR);

  // The value bytes stay; only the type word changes.
  VARIANT number = variant_of(VT_UI4);
  number.ulVal = 0xFFFFFFFF;
  EXPECT_EQ(VariantClear(&number), S_OK);
  EXPECT_EQ(number.ulVal, 0xFFFFFFFFu);
}

TEST(Variant, ClearDestroysItsArrayUnlessLocked) {
  CountingObject object;
  VARIANT v = variant_of(VT_ARRAY | VT_UNKNOWN);
  v.parray = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
  ASSERT_NE(v.parray, nullptr);
  LONG slot = 0;
  ASSERT_EQ(SafeArrayPutElement(v.parray, &slot, static_cast<IUnknown*>(&object)), S_OK);

  SAFEARRAY* array = v.parray;
  ASSERT_EQ(SafeArrayLock(array), S_OK);
  EXPECT_EQ(VariantClear(&v), DISP_E_ARRAYISLOCKED);
  EXPECT_EQ(v.vt, VT_EMPTY);  // emptied all the same; the array is still the caller's
  EXPECT_EQ(object.refs, 2u);
  ASSERT_EQ(SafeArrayUnlock(array), S_OK);

  v.vt = VT_ARRAY | VT_UNKNOWN;
  EXPECT_EQ(VariantClear(&v), S_OK);
  EXPECT_EQ(object.refs, 1u);
}

TEST(Variant, CopyIsDeepForStringsAndArrays) {
  VARIANT source = variant_of(VT_BSTR);
  source.bstrVal = SysAllocStringByteLen("abcde", 5);
  VARIANT dest = variant_of(VT_EMPTY);
  EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
  EXPECT_EQ(dest.vt, VT_BSTR);
  EXPECT_NE(dest.bstrVal, source.bstrVal);
  EXPECT_EQ(SysStringByteLen(dest.bstrVal), 5u);
  EXPECT_EQ(std::memcmp(dest.bstrVal, "abcde", 5), 0);
  VariantClear(&source);
  VariantClear(&dest);

  // A null BSTR is copied as an empty string.
  source = variant_of(VT_BSTR);
  EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
  ASSERT_NE(dest.bstrVal, nullptr);
  EXPECT_EQ(SysStringLen(dest.bstrVal), 0u);
  VariantClear(&dest);

  source = variant_of(VT_ARRAY | VT_I4);
  source.parray = SafeArrayCreateVector(VT_I4, 3, 2);
  static_cast<LONG*>(source.parray->pvData)[1] = 99;
  EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
  EXPECT_EQ(dest.vt, VT_ARRAY | VT_I4);
  ASSERT_NE(dest.parray, nullptr);
  EXPECT_NE(dest.parray, source.parray);
  VariantClear(&source);
  LONG index = 4;
  LONG value = 0;
  EXPECT_EQ(SafeArrayGetElement(dest.parray, &index, &value), S_OK);
  EXPECT_EQ(value, 99);
  VariantClear(&dest);

  source = variant_of(VT_ARRAY | VT_I4);  // no array at all
  EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
  EXPECT_EQ(dest.vt, VT_ARRAY | VT_I4);
  EXPECT_EQ(dest.parray, nullptr);
}

TEST(Variant, CopyReferencesInterfacesAndKeepsByrefPointers) {
  CountingObject object;
  for (VARTYPE vt : {VT_UNKNOWN, VT_DISPATCH}) {
    VARIANT source = variant_of(vt);
    source.punkVal = &object;
    VARIANT dest = variant_of(VT_EMPTY);
    EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
    EXPECT_EQ(dest.punkVal, static_cast<IUnknown*>(&object));
    EXPECT_EQ(object.refs, 2u) << vt;
    VariantClear(&dest);
  }

  LONG number = 5;
  Bstr text(SysAllocString(L"shared"));
  BSTR text_ref = text.get();
  IUnknown* unknown_ref = &object;
  VARIANT sources[3] = {variant_of(VT_I4 | VT_BYREF), variant_of(VT_BSTR | VT_BYREF),
                        variant_of(VT_UNKNOWN | VT_BYREF)};
  sources[0].plVal = &number;
  sources[1].pbstrVal = &text_ref;
  sources[2].ppunkVal = &unknown_ref;
  for (const VARIANT& source : sources) {
    VARIANT dest = variant_of(VT_EMPTY);
    EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
    EXPECT_EQ(dest.vt, source.vt);
    EXPECT_EQ(dest.byref, source.byref);
    VariantClear(&dest);
  }
  EXPECT_EQ(text_ref, text.get());
  EXPECT_EQ(object.refs, 1u);
  EXPECT_EQ(object.add_refs, 2);
}

TEST(Variant, CopyClearsTheDestinationFirst) {
  CountingObject object;
  VARIANT dest = variant_of(VT_UNKNOWN);
  dest.punkVal = &object;
  object.AddRef();
  VARIANT source = variant_of(VT_I4);
  source.lVal = 3;
  EXPECT_EQ(VariantCopy(&dest, &source), S_OK);
  EXPECT_EQ(object.refs, 1u);
  EXPECT_EQ(dest.vt, VT_I4);
  EXPECT_EQ(dest.lVal, 3);
}

TEST(Variant, CopyFailsBeforeTouchingAnything) {
  CountingObject object;
  VARIANT holding = variant_of(VT_UNKNOWN);
  holding.punkVal = &object;
  object.AddRef();
  for (VARTYPE bad : {VARTYPE{15}, VARTYPE{72}, VARTYPE{VT_I4 | 0x1000}, VARTYPE{VT_EMPTY | VT_BYREF}}) {
    VARIANT source = variant_of(bad);
    EXPECT_EQ(VariantCopy(&holding, &source), DISP_E_BADVARTYPE) << bad;
    EXPECT_EQ(holding.vt, VT_UNKNOWN);
    EXPECT_EQ(object.refs, 2u);
  }
  VARIANT bad_dest = variant_of(15);
  EXPECT_EQ(VariantCopy(&bad_dest, &holding), DISP_E_BADVARTYPE);
  EXPECT_EQ(bad_dest.vt, 15);
  EXPECT_EQ(object.refs, 2u);

  // Onto itself: nothing happens.
  EXPECT_EQ(VariantCopy(&holding, &holding), S_OK);
  EXPECT_EQ(object.refs, 2u);
  VariantClear(&holding);
  EXPECT_EQ(object.refs, 1u);
}

// ---- Interface identifiers -------------------------------------------------------------------

std::string text_of(const GUID& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                g.Data4[5], g.Data4[6], g.Data4[7]);
  return text;
}

TEST(InterfaceIds, HaveTheSystemValues) {
  struct Row {
    const IID& iid;
    const char* text;
  };
  const Row rows[] = {
      {IID_IUnknown, "{00000000-0000-0000-C000-000000000046}"},
      {IID_IDispatch, "{00020400-0000-0000-C000-000000000046}"},
      {IID_IClassFactory, "{00000001-0000-0000-C000-000000000046}"},
      {IID_ISupportErrorInfo, "{DF0B3D60-548F-101B-8E65-08002B2BD119}"},
      {IID_NULL, "{00000000-0000-0000-0000-000000000000}"},
  };
  for (const Row& row : rows) EXPECT_EQ(text_of(row.iid), row.text);
}

}  // namespace
