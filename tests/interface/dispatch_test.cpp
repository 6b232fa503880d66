// Late binding in the portable build: what the outputs of the differential probe cannot show
// (puArgErr, which Wine's oleaut32 leaves alone; the absence of type information) and the
// adaptation of script variables for typed outputs.
#include <cpservices/cpservices.h>

#include "automation/probe_output.h"
#include "platform/ole_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Dispatch : ::testing::Test {
  void SetUp() override {
    void* factory = nullptr;
    ASSERT_EQ(DllGetClassObject(CLSID_CPServices, IID_IClassFactory, &factory), S_OK);
    static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_ICPServices, reinterpret_cast<void**>(&object));
    static_cast<IClassFactory*>(factory)->Release();
  }
  void TearDown() override { object->Release(); }

  // Invokes with `args` in the method's order; rgvarg gets them reversed.
  HRESULT invoke(DISPID id, std::vector<VARIANT> args, UINT* arg_err, std::vector<DISPID> named = {}) {
    std::vector<VARIANT> rgvarg(args.rbegin(), args.rend());
    DISPPARAMS params{rgvarg.data(), named.empty() ? nullptr : named.data(), static_cast<UINT>(rgvarg.size()),
                      static_cast<UINT>(named.size())};
    EXCEPINFO excep{};
    return object->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, &excep, arg_err);
  }

  ICPServices* object = nullptr;
};


VARIANT by_ref(VARIANT* target) {
  VARIANT v = probe::variant(VT_BYREF | VT_VARIANT);
  v.pvarVal = target;
  return v;
}

TEST_F(Dispatch, ArgumentErrorNamesTheIndexInRgvarg) {
  double d[3] = {};
  VARIANT out[3];
  for (int i = 0; i < 3; ++i) {
    out[i] = probe::variant(VT_BYREF | VT_R8);
    out[i].pdblVal = &d[i];
  }
  struct Case {
    const char* what;
    std::vector<VARIANT> args;
    std::vector<DISPID> named;
    HRESULT hr;
    UINT arg_err;
  };
  const Case cases[] = {
      {"first parameter, last in rgvarg", {probe::variant(VT_NULL), out[0], out[1], out[2]}, {}, DISP_E_TYPEMISMATCH, 3},
      {"third parameter", {probe::variant(VT_I4, 424), out[0], probe::variant(VT_BYREF | VT_I4), out[2]}, {}, DISP_E_TYPEMISMATCH, 1},
      {"named parameter 0 in rgvarg[0]", {out[0], out[1], out[2], probe::variant(VT_NULL)}, {0}, DISP_E_TYPEMISMATCH, 0},
      {"a parameter without argument", {probe::variant(VT_I4, 424), out[0], out[1]}, {}, DISP_E_BADPARAMCOUNT, 99},
  };
  for (const Case& c : cases) {
    UINT arg_err = 99;
    EXPECT_EQ(invoke(6, c.args, &arg_err, c.named), c.hr) << c.what;
    EXPECT_EQ(arg_err, c.arg_err) << c.what;
  }
  VARIANT huge = probe::variant(VT_R8);
  huge.dblVal = 3e10;
  UINT arg_err = 99;
  EXPECT_EQ(invoke(6, {huge, out[0], out[1], out[2]}, &arg_err), DISP_E_OVERFLOW);
  EXPECT_EQ(arg_err, 3u);
}

TEST_F(Dispatch, NoTypeInformationWithoutOleaut32) {
  UINT count = 7;
  EXPECT_EQ(object->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(object->GetTypeInfo(0, 0, &info), DISP_E_BADINDEX);
  EXPECT_EQ(info, nullptr);
}

// A script's variable for a typed output receives the value, in the output's type, only when
// the method wrote one.
TEST_F(Dispatch, ScriptVariablesReceiveTypedOutputs) {
  VARIANT message = probe::variant(VT_I2, 5);
  EXPECT_EQ(invoke(3, {probe::variant(VT_I4, static_cast<LONG>(0x80040967)), by_ref(&message)}, nullptr), S_OK);
  ASSERT_EQ(message.vt, VT_BSTR);
  EXPECT_EQ(std::wstring(message.bstrVal), L"Checksum failure.");

  EXPECT_EQ(invoke(3, {probe::variant(VT_I4, static_cast<LONG>(0x80040971)), by_ref(&message)}, nullptr), S_OK);
  EXPECT_EQ(std::wstring(message.bstrVal), L"Checksum failure.");  // no message: left as it was
  VariantClear(&message);

  VARIANT low = probe::variant(VT_EMPTY), high = probe::variant(VT_BSTR), step = probe::variant(VT_EMPTY);
  high.bstrVal = SysAllocString(L"old");
  EXPECT_EQ(invoke(6, {probe::variant(VT_I4, 424), by_ref(&low), by_ref(&high), by_ref(&step)}, nullptr), S_OK);
  EXPECT_EQ(low.vt, VT_R8);
  EXPECT_EQ(high.vt, VT_R8);
  EXPECT_EQ(low.dblVal, 32);
  EXPECT_EQ(high.dblVal, 219);

  VARIANT untouched = probe::variant(VT_I4, 7);
  EXPECT_EQ(invoke(6, {probe::variant(VT_I4, 99999), by_ref(&untouched), by_ref(&low), by_ref(&step)}, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(untouched.vt, VT_I4);  // a failed method writes nothing back
}

}  // namespace
