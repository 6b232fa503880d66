// An outside host: creates CPServices through its class factory and asks it for a message.
#include <cpservices/cpservices.h>

#include <cstdio>

int main() {
  void* factory = nullptr;
  if (FAILED(DllGetClassObject(CLSID_CPServices, IID_IClassFactory, &factory))) return 1;
  void* object = nullptr;
  HRESULT hr = static_cast<IClassFactory*>(factory)->CreateInstance(nullptr, IID_ICPServices, &object);
  static_cast<IClassFactory*>(factory)->Release();
  if (FAILED(hr)) return 2;
  auto* services = static_cast<ICPServices*>(object);
  BSTR text = nullptr;
  if (services->GetErrorMsg(static_cast<HRESULT>(0x80040967), &text) != S_OK) return 3;
  for (UINT i = 0; i < SysStringLen(text); ++i) std::putchar(static_cast<char>(text[i]));
  std::putchar('\n');
  SysFreeString(text);
  services->Release();
  return DllCanUnloadNow() == S_OK ? 0 : 4;
}
