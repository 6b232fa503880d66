// The component as a host sees it: factory, interfaces, counting, aggregation, codeplug-free methods.
#include <cpservices/cpservices.h>

#include "interface/module.h"
#include "platform/ole_util.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using cps::ScopedBstr, cps::ScopedVariant;

// Creates an object through the class factory of `clsid`, expecting `want`.
template <class T = ICPServices>
T* create(const CLSID& clsid, IUnknown* outer = nullptr, REFIID iid = IID_ICPServices, HRESULT want = S_OK) {
  void *factory = nullptr, *object = nullptr;
  EXPECT_EQ(DllGetClassObject(clsid, IID_IClassFactory, &factory), S_OK);
  EXPECT_EQ(static_cast<IClassFactory*>(factory)->CreateInstance(outer, iid, &object), want);
  static_cast<IClassFactory*>(factory)->Release();
  return static_cast<T*>(object);
}

// QueryInterface expecting `want`; a failure must clear the output.
template <class T = IUnknown>
T* query(IUnknown* from, REFIID iid, HRESULT want = S_OK) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(from->QueryInterface(iid, &p), want);
  return static_cast<T*>(p);
}

class BothClasses : public ::testing::TestWithParam<const CLSID*> {
 protected:
  void SetUp() override { services_ = create(*GetParam()); }
  void TearDown() override { services_->Release(); EXPECT_EQ(DllCanUnloadNow(), S_OK); }  // no leaks
  ICPServices* services_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Component, BothClasses, ::testing::Values(&CLSID_CPServices, &CLSID_R9CPServices),
                         [](const auto& p) { return p.param == &CLSID_CPServices ? "CPServices" : "R9CPServices"; });

TEST(Creation, ClassObjectsAndLockCount) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(DllGetClassObject(IID_ICPServices, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);  // no class
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(DllGetClassObject(CLSID_CPServices, IID_ICPServices, &p), E_NOINTERFACE);
  ASSERT_EQ(DllGetClassObject(CLSID_CPServices, IID_IUnknown, &p), S_OK);
  auto* factory = query<IClassFactory>(static_cast<IUnknown*>(p), IID_IClassFactory);
  static_cast<IUnknown*>(p)->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // holding a factory does not keep the library
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICPServices, &p), S_OK);
  EXPECT_EQ(cps::module_lock_count(), 1);
  static_cast<ICPServices*>(p)->Release();
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // neither the released object nor the failed one counts
  factory->Release();
}

// An outer object that aggregates a component object and counts its own references.
struct Outer : IUnknown {
  IUnknown* inner = nullptr;
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!IsEqualIID(riid, IID_IUnknown)) return inner->QueryInterface(riid, ppv);
    *ppv = this;
    return AddRef(), S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(Creation, Aggregation) {
  Outer outer;
  EXPECT_EQ(create(CLSID_R9CPServices, &outer, IID_ICPServices, CLASS_E_NOAGGREGATION), nullptr);
  outer.inner = create<IUnknown>(CLSID_R9CPServices, &outer, IID_IUnknown);
  // Interfaces reached through the inner object count on the outer one and answer it for IUnknown.
  auto* services = query<ICPServices>(outer.inner, IID_ICPServices);
  EXPECT_EQ(outer.refs, 2u);
  EXPECT_EQ(query(services, IID_IUnknown), &outer);
  outer.Release();
  services->Release();
  EXPECT_EQ(outer.refs, 1u);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  outer.inner->Release();  // the aggregator lets go of the inner object: it is destroyed
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

TEST_P(BothClasses, InterfacesAndIdentity) {
  IUnknown* own = query(services_, IID_IUnknown);
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_ICPServices, &IID_ISupportErrorInfo}) {
    IUnknown* p = query(services_, *iid);
    IUnknown* unknown = query(p, IID_IUnknown);
    EXPECT_EQ(unknown, own);
    unknown->Release(), p->Release();
  }
  own->Release();
  EXPECT_EQ(query(services_, IID_IClassFactory, E_NOINTERFACE), nullptr);
}

TEST_P(BothClasses, GetErrorMsg) {
  struct Case { uint32_t hr; const wchar_t* message; } cases[] = {  // nullptr: S_FALSE, output untouched
      {0x80040967, L"Checksum failure."}, {0xC00A0982, L" Unpack failure."},  // severity, facility ignored
      {0x80040964, L"varnocpservices"},   // identifier 100 of the string table
      {0x80040971, nullptr}, {0x8004090D, nullptr}, {0x80070005, nullptr},
  };
  for (const Case& c : cases) {
    ScopedBstr before(SysAllocString(L"before"));
    BSTR msg = before.get();
    EXPECT_EQ(services_->GetErrorMsg(static_cast<HRESULT>(c.hr), &msg), c.message ? S_OK : S_FALSE) << std::hex << c.hr;
    EXPECT_EQ(std::wstring(msg, SysStringLen(msg)), c.message ? c.message : L"before") << std::hex << c.hr;
    if (msg != before.get()) SysFreeString(msg);
  }
}

TEST_P(BothClasses, ValidAliasCharacters) {
  ScopedVariant set;
  ASSERT_EQ(services_->GetValidAliasCharSet(set.get()), S_OK);
  ASSERT_EQ(set->vt, VT_ARRAY | VT_UI1);
  EXPECT_EQ(SafeArrayGetDim(set->parray), 1u);
  LONG lower = 0, upper = 0;
  SafeArrayGetLBound(set->parray, 1, &lower);
  SafeArrayGetUBound(set->parray, 1, &upper);
  EXPECT_EQ(std::pair(lower, upper), (std::pair<LONG, LONG>(32, 250)));  // 219 elements
  for (LONG i = lower; i <= upper; ++i) {
    BYTE b = 0xEE;
    SafeArrayGetElement(set->parray, &i, &b);
    EXPECT_EQ(b, i < 219 ? i : 0) << i;
  }
  const HRESULT bad = static_cast<HRESULT>(0x8004096B);
  struct Case { std::wstring alias; HRESULT hr; } cases[] = {
      {L"\x20AC", S_OK}, {L"\x00DC", bad},  // code page bytes 0x80 (euro sign) and 0xDC = 220 (U-umlaut)
  };
  for (const Case& c : cases) {
    ScopedBstr alias(SysAllocStringLen(c.alias.data(), static_cast<UINT>(c.alias.size())));
    EXPECT_EQ(services_->ValidateAlias(alias.get()), c.hr);
  }
  EXPECT_EQ(services_->ValidateAlias(nullptr), S_OK);  // a null BSTR is the empty alias
}

TEST(ClassMethods, R9UnbuiltBlocksAndRangeInfoOfCPServices) {
  ICPServices* r9 = create(CLSID_R9CPServices);
  ScopedVariant v;  // an unknown block, and a block whose handler is not built yet
  BYTE b = 0;
  for (HRESULT hr : {r9->GetBlockData(2001, v.get()), r9->AddList(2006, &b), r9->GetBlockData(2025, v.get())})
    EXPECT_EQ(hr, static_cast<HRESULT>(0x8004096E));
  EXPECT_EQ(r9->GetBlockData(2018, v.get()), S_OK);
  r9->Release();

  ICPServices* services = create(CLSID_CPServices);
  auto range = [&](int32_t id) {
    double r[3] = {7, 8, 9};
    const HRESULT hr = services->GetRangeInfo(id, &r[0], &r[1], &r[2]);
    return std::tuple(hr, r[0], r[1], r[2]);
  };
  EXPECT_EQ(range(424), std::tuple(S_OK, 32.0, 219.0, 1.0));
  EXPECT_EQ(range(5), std::tuple(static_cast<HRESULT>(0x80040968), 7.0, 8.0, 9.0));  // untouched
  services->Release();
}

}  // namespace
