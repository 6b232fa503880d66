// Late binding in the portable build where the Wine comparison cannot look: puArgErr, which Wine
// leaves alone, and the absence of type information.
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

}  // namespace
