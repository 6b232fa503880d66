// The component as a host sees it: creation through the class factory, interfaces, reference
// and lock counting, aggregation, and the methods that need no codeplug.
#include <cpservices/cpservices.h>

#include "interface/module.h"
#include "platform/ole_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using cps::ScopedBstr;
using cps::ScopedVariant;

IClassFactory* factory_for(const CLSID& clsid) {
  void* factory = nullptr;
  EXPECT_EQ(DllGetClassObject(clsid, IID_IClassFactory, &factory), S_OK);
  return static_cast<IClassFactory*>(factory);
}

ICPServices* create(const CLSID& clsid) {
  IClassFactory* factory = factory_for(clsid);
  void* object = nullptr;
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_ICPServices, &object), S_OK);
  factory->Release();
  return static_cast<ICPServices*>(object);
}

std::wstring text(BSTR b) { return std::wstring(b, SysStringLen(b)); }

class BothClasses : public ::testing::TestWithParam<const CLSID*> {
 protected:
  void SetUp() override { services_ = create(*GetParam()); }
  void TearDown() override {
    services_->Release();
    EXPECT_EQ(DllCanUnloadNow(), S_OK);  // nothing leaked a reference or a lock
  }
  ICPServices* services_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Component, BothClasses,
                         ::testing::Values(&CLSID_CPServices, &CLSID_R9CPServices),
                         [](const auto& param_info) {
                           return std::string(param_info.param == &CLSID_CPServices ? "CPServices"
                                                                              : "R9CPServices");
                         });

TEST(Creation, ClassObjects) {
  void* p = reinterpret_cast<void*>(1);
  const CLSID unknown = {0x12345678, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(DllGetClassObject(unknown, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(DllGetClassObject(CLSID_CPServices, IID_ICPServices, &p), E_NOINTERFACE);
  EXPECT_EQ(DllGetClassObject(CLSID_CPServices, IID_IClassFactory, nullptr), E_POINTER);
  EXPECT_EQ(DllGetClassObject(CLSID_CPServices, IID_IUnknown, &p), S_OK);
  static_cast<IUnknown*>(p)->Release();
}

TEST(Creation, LockCountDecidesUnloading) {
  ASSERT_EQ(DllCanUnloadNow(), S_OK);
  IClassFactory* factory = factory_for(CLSID_CPServices);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);  // holding a factory does not keep the library
  factory->LockServer(TRUE);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);

  void* object = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_ICPServices, &object), S_OK);
  EXPECT_EQ(cps::module_lock_count(), 1);
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  static_cast<ICPServices*>(object)->Release();
  EXPECT_EQ(DllCanUnloadNow(), S_OK);

  // A failed creation leaves nothing behind.
  const IID other = {0xAAAAAAAA, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(factory->CreateInstance(nullptr, other, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  factory->Release();
}

// An outer object that aggregates a component object and counts its own references.
struct Outer : IUnknown {
  IUnknown* inner = nullptr;
  ULONG refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (IsEqualIID(riid, IID_IUnknown)) {
      *ppv = this;
      AddRef();
      return S_OK;
    }
    return inner->QueryInterface(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs; }
};

TEST(Creation, Aggregation) {
  IClassFactory* factory = factory_for(CLSID_R9CPServices);
  Outer outer;
  void* p = nullptr;
  EXPECT_EQ(factory->CreateInstance(&outer, IID_ICPServices, &p), CLASS_E_NOAGGREGATION);
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, &p), S_OK);
  outer.inner = static_cast<IUnknown*>(p);

  // Interfaces reached through the inner object count on the outer one.
  void* services = nullptr;
  ASSERT_EQ(outer.inner->QueryInterface(IID_ICPServices, &services), S_OK);
  EXPECT_EQ(outer.refs, 2u);
  // Their QueryInterface for IUnknown answers the outer object (one identity).
  void* identity = nullptr;
  static_cast<ICPServices*>(services)->QueryInterface(IID_IUnknown, &identity);
  EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
  outer.Release();
  BSTR msg = nullptr;
  EXPECT_EQ(static_cast<ICPServices*>(services)->GetErrorMsg(static_cast<HRESULT>(0x80040967), &msg), S_OK);
  SysFreeString(msg);
  static_cast<ICPServices*>(services)->Release();
  EXPECT_EQ(outer.refs, 1u);

  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  outer.inner->Release();  // the aggregator lets go of the inner object: it is destroyed
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  factory->Release();
}

TEST_P(BothClasses, InterfacesAndIdentity) {
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_ICPServices, &IID_ISupportErrorInfo}) {
    void* p = nullptr;
    ASSERT_EQ(services_->QueryInterface(*iid, &p), S_OK);
    void* unknown = nullptr;
    static_cast<IUnknown*>(p)->QueryInterface(IID_IUnknown, &unknown);
    void* own_unknown = nullptr;
    services_->QueryInterface(IID_IUnknown, &own_unknown);
    EXPECT_EQ(unknown, own_unknown);
    static_cast<IUnknown*>(unknown)->Release();
    static_cast<IUnknown*>(own_unknown)->Release();
    static_cast<IUnknown*>(p)->Release();
  }
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(services_->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);

  void* info = nullptr;
  ASSERT_EQ(services_->QueryInterface(IID_ISupportErrorInfo, &info), S_OK);
  auto* support = static_cast<ISupportErrorInfo*>(info);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_ICPServices), S_OK);
  EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
  support->Release();

  EXPECT_EQ(services_->AddRef(), 2u);
  EXPECT_EQ(services_->Release(), 1u);
}

TEST_P(BothClasses, GetErrorMsg) {
  struct Case {
    uint32_t hr;
    const wchar_t* message;  // nullptr: S_FALSE, output untouched
  } cases[] = {
      {0x80040967, L"Checksum failure."},
      {0x0000096E, L"Block not supported."},  // severity and facility are ignored
      {0xC00A0982, L" Unpack failure."},
      {0x80040987, L"Invalid RRO data."},
      {0x80040964, L"varnocpservices"},        // identifier 100 of the string table
      {0x80040971, nullptr},                   // 113 has no message
      {0x8004090D, nullptr},                   // 13 neither
      {0x00000000, nullptr},
      {0x80070005, nullptr},                   // a device library's own HRESULT
      {0x80040988, nullptr},
  };
  for (const Case& c : cases) {
    BSTR untouched = SysAllocString(L"before");
    BSTR msg = untouched;
    HRESULT hr = services_->GetErrorMsg(static_cast<HRESULT>(c.hr), &msg);
    if (c.message) {
      EXPECT_EQ(hr, S_OK) << std::hex << c.hr;
      EXPECT_EQ(text(msg), c.message);
      SysFreeString(msg);
    } else {
      EXPECT_EQ(hr, S_FALSE) << std::hex << c.hr;
      EXPECT_EQ(msg, untouched);
    }
    SysFreeString(untouched);
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
  EXPECT_EQ(lower, 32);
  EXPECT_EQ(upper, 250);  // 219 elements
  for (LONG i = lower; i <= upper; ++i) {
    BYTE b = 0xEE;
    SafeArrayGetElement(set->parray, &i, &b);
    EXPECT_EQ(b, i < 219 ? i : 0) << i;
  }

  struct Case {
    std::wstring alias;
    HRESULT hr;
  } cases[] = {
      {L"", S_OK},
      {L" ~", S_OK},
      {std::wstring(1, wchar_t(32)) + wchar_t(219), S_OK},
      {L"A\x1F", static_cast<HRESULT>(0x8004096B)},
      {std::wstring(L"ok") + wchar_t(220), static_cast<HRESULT>(0x8004096B)},
      {L"\x20AC", S_OK},  // the euro sign is byte 0x80 of the code page, inside 32..219
      {L"\x00DC", static_cast<HRESULT>(0x8004096B)},  // U-umlaut is byte 0xDC = 220
  };
  for (const Case& c : cases) {
    ScopedBstr alias(SysAllocStringLen(c.alias.data(), static_cast<UINT>(c.alias.size())));
    EXPECT_EQ(services_->ValidateAlias(alias.get()), c.hr);
  }
  EXPECT_EQ(services_->ValidateAlias(nullptr), S_OK);  // a null BSTR is the empty alias
}

TEST(R9CPServicesMethods, NoBlockIsServedYet) {
  ICPServices* services = create(CLSID_R9CPServices);
  ScopedVariant v;
  BYTE b = 0;
  const HRESULT unsupported = static_cast<HRESULT>(0x8004096E);
  EXPECT_EQ(services->GetBlockData(2001, v.get()), unsupported);
  EXPECT_EQ(services->SetBlockData(2001, v.get()), unsupported);
  EXPECT_EQ(services->GetCurrentListQuantity(2005, &b), unsupported);
  EXPECT_EQ(services->AddList(2005, &b), unsupported);
  EXPECT_EQ(services->GetFieldAt(2003, 2050, 0, v.get()), unsupported);
  EXPECT_EQ(services->SetFieldAt(2003, 0, *v), unsupported);
  EXPECT_EQ(services->MoveListMember(2005, 0, 0, 1), unsupported);
  services->Release();
}

TEST(CPServicesMethods, GetRangeInfo) {
  ICPServices* services = create(CLSID_CPServices);
  double minimum = -1, maximum = -1, step = -1;
  EXPECT_EQ(services->GetRangeInfo(424, &minimum, &maximum, &step), S_OK);
  EXPECT_EQ(minimum, 32);
  EXPECT_EQ(maximum, 219);
  EXPECT_EQ(step, 1);
  EXPECT_EQ(services->GetRangeInfo(91, &minimum, &maximum, &step), S_OK);
  EXPECT_DOUBLE_EQ(step, 0.005);

  double untouched[3] = {7, 8, 9};
  EXPECT_EQ(services->GetRangeInfo(5, &untouched[0], &untouched[1], &untouched[2]),
            static_cast<HRESULT>(0x80040968));
  EXPECT_EQ(untouched[0], 7);
  EXPECT_EQ(untouched[2], 9);
  services->Release();
}

}  // namespace
