#include "host.h"

#include <cstdio>

namespace cpsctl {

Component::Component(int generation) {
  const CLSID& clsid = generation == 2 ? CLSID_R9CPServices : CLSID_CPServices;
  void* factory_ptr = nullptr;
  HRESULT hr = DllGetClassObject(clsid, IID_IClassFactory, &factory_ptr);
  if (FAILED(hr)) throw Failure{hr, "cannot reach the component's class factory"};
  auto* factory = static_cast<IClassFactory*>(factory_ptr);
  void* object_ptr = nullptr;
  hr = factory->CreateInstance(nullptr, IID_ICPServices, &object_ptr);
  factory->Release();
  if (FAILED(hr)) throw Failure{hr, "cannot create the component object"};
  object_ = static_cast<ICPServices*>(object_ptr);
}

Component::~Component() {
  if (object_) object_->Release();
}

std::string Component::message(HRESULT hr) const {
  BSTR text = nullptr;
  std::string result;
  if (object_->GetErrorMsg(hr, &text) == S_OK) result = narrow(text);
  SysFreeString(text);
  return result;
}

void Component::check(HRESULT hr) const {
  if (FAILED(hr)) throw Failure{hr, message(hr)};
}

std::string hresult_text(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string narrow(BSTR text) {
  std::string result;
  // Texts the component hands out come from Windows-1252; map each wide character back.
  for (UINT i = 0, n = SysStringLen(text); i < n; ++i) {
    const wchar_t c = text[i];
    result.push_back(c < 0x100 ? static_cast<char>(c) : '?');
  }
  return result;
}

}  // namespace cpsctl
