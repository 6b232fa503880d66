#include "host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include <sys/stat.h>
#include <unistd.h>

namespace cpsctl {

Component::Component(int generation) : generation_(generation) {
  const CLSID& clsid = generation == 2 ? CLSID_R9CPServices : CLSID_CPServices;
  void* factory_ptr = nullptr;
  HRESULT hr = DllGetClassObject(clsid, IID_IClassFactory, &factory_ptr);
  if (FAILED(hr)) throw Failure{hr, "cannot reach the component's class factory"};
  auto* factory = static_cast<IClassFactory*>(factory_ptr);
  void* object_ptr = nullptr;
  hr = factory->CreateInstance(nullptr, IID_ICPServices, &object_ptr);
  factory->Release();
  if (FAILED(hr)) {
    const char* models = std::getenv("CPSERVICES_MODELS");
    throw Failure{hr, "cannot create the component object",
                  models ? std::string("check the model file '") + models + "' (CPSERVICES_MODELS)" : ""};
  }
  object_ = static_cast<ICPServices*>(object_ptr);
}

Component::~Component() {
  if (object_) object_->Release();
}

std::string Component::message(HRESULT hr) const {
  BSTR text = nullptr;
  std::string result;
  if (object_->GetErrorMsg(hr, &text) == S_OK) result = utf8_from_bstr(text);
  SysFreeString(text);
  // Some messages carry blanks around them; a one-line error shows the words only.
  const size_t first = result.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return result.substr(first, result.find_last_not_of(' ') - first + 1);
}

void Component::check(HRESULT hr, std::string detail) const {
  if (FAILED(hr)) throw Failure{hr, message(hr), std::move(detail)};
}

HRESULT DeferredComponent::make() {
  if (!object_) {
    object_.emplace(generation_);
    try {
      loaded_ = load_(*object_);
    } catch (...) {
      object_.reset();  // not loaded: the next call tries again
      throw;
    }
  }
  return loaded_;
}

Component& DeferredComponent::component() {
  make();
  return *object_;
}

template <class Call>
HRESULT DeferredComponent::forward(Call&& call) {
  try {
    make();
  } catch (const Failure& f) {
    return f.hr;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return call(*object_->get());
}

HRESULT DeferredComponent::QueryInterface(REFIID riid, void** object) {
  if (!object) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ICPServices) {
    *object = static_cast<ICPServices*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT DeferredComponent::GetTypeInfoCount(UINT* count) {
  return forward([&](ICPServices& o) { return o.GetTypeInfoCount(count); });
}
HRESULT DeferredComponent::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) {
  return forward([&](ICPServices& o) { return o.GetTypeInfo(index, lcid, info); });
}
HRESULT DeferredComponent::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
  return forward([&](ICPServices& o) { return o.GetIDsOfNames(riid, names, count, lcid, ids); });
}
HRESULT DeferredComponent::Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) {
  return forward([&](ICPServices& o) { return o.Invoke(id, riid, lcid, flags, params, result, exception, bad_argument); });
}
HRESULT DeferredComponent::ReadDevice(IUnknown* device, ULONG handle, IUnknown* progress) {
  return forward([&](ICPServices& o) { return o.ReadDevice(device, handle, progress); });
}
HRESULT DeferredComponent::WriteDevice(IUnknown* device, ULONG handle, IUnknown* progress, ICPServices* destination) {
  return forward([&](ICPServices& o) { return o.WriteDevice(device, handle, progress, destination); });
}
HRESULT DeferredComponent::GetErrorMsg(HRESULT code, BSTR* message) {
  return forward([&](ICPServices& o) { return o.GetErrorMsg(code, message); });
}
HRESULT DeferredComponent::GetValidAliasCharSet(VARIANT* characters) {
  return forward([&](ICPServices& o) { return o.GetValidAliasCharSet(characters); });
}
HRESULT DeferredComponent::ValidateAlias(BSTR alias) {
  return forward([&](ICPServices& o) { return o.ValidateAlias(alias); });
}
HRESULT DeferredComponent::GetRangeInfo(LONG field, double* min, double* max, double* step) {
  return forward([&](ICPServices& o) { return o.GetRangeInfo(field, min, max, step); });
}
HRESULT DeferredComponent::GetBlockData(LONG block, VARIANT* data) {
  return forward([&](ICPServices& o) { return o.GetBlockData(block, data); });
}
HRESULT DeferredComponent::SetBlockData(LONG block, VARIANT* data) {
  return forward([&](ICPServices& o) { return o.SetBlockData(block, data); });
}
HRESULT DeferredComponent::GetCurrentListQuantity(LONG block, BYTE* quantity) {
  return forward([&](ICPServices& o) { return o.GetCurrentListQuantity(block, quantity); });
}
HRESULT DeferredComponent::AddList(LONG block, BYTE* list) {
  return forward([&](ICPServices& o) { return o.AddList(block, list); });
}
HRESULT DeferredComponent::DeleteList(LONG block, BYTE list) {
  return forward([&](ICPServices& o) { return o.DeleteList(block, list); });
}
HRESULT DeferredComponent::GetCurrentListMemberQuantity(LONG block, BYTE list, BYTE* quantity) {
  return forward([&](ICPServices& o) { return o.GetCurrentListMemberQuantity(block, list, quantity); });
}
HRESULT DeferredComponent::AddListMember(LONG block, BYTE list, BYTE* member) {
  return forward([&](ICPServices& o) { return o.AddListMember(block, list, member); });
}
HRESULT DeferredComponent::DeleteListMember(LONG block, BYTE list, BYTE member) {
  return forward([&](ICPServices& o) { return o.DeleteListMember(block, list, member); });
}
HRESULT DeferredComponent::GetFieldAt(LONG block, LONG field, BYTE index, VARIANT* data) {
  return forward([&](ICPServices& o) { return o.GetFieldAt(block, field, index, data); });
}
HRESULT DeferredComponent::SetFieldAt(LONG block, BYTE index, VARIANT data) {
  return forward([&](ICPServices& o) { return o.SetFieldAt(block, index, data); });
}
HRESULT DeferredComponent::GetSubFieldAt(LONG block, LONG field, BYTE list, BYTE member, VARIANT* data) {
  return forward([&](ICPServices& o) { return o.GetSubFieldAt(block, field, list, member, data); });
}
HRESULT DeferredComponent::SetSubFieldAt(LONG block, BYTE list, BYTE member, VARIANT data) {
  return forward([&](ICPServices& o) { return o.SetSubFieldAt(block, list, member, data); });
}
HRESULT DeferredComponent::MoveList(LONG block, BYTE from, BYTE to) {
  return forward([&](ICPServices& o) { return o.MoveList(block, from, to); });
}
HRESULT DeferredComponent::MoveListMember(LONG block, BYTE list, BYTE from, BYTE to) {
  return forward([&](ICPServices& o) { return o.MoveListMember(block, list, from, to); });
}
HRESULT DeferredComponent::CloneDevice(IUnknown* device, ULONG handle, IUnknown* progress) {
  return forward([&](ICPServices& o) { return o.CloneDevice(device, handle, progress); });
}
HRESULT DeferredComponent::ImportOBD(BSTR file) {
  return forward([&](ICPServices& o) { return o.ImportOBD(file); });
}
HRESULT DeferredComponent::GetUpdInfo(IUnknown* device, ULONG handle, BYTE* same_serial, BYTE* same_model,
                                      VARIANT* versions) {
  return forward([&](ICPServices& o) { return o.GetUpdInfo(device, handle, same_serial, same_model, versions); });
}
HRESULT DeferredComponent::Copy(ICPServices* source) {
  return forward([&](ICPServices& o) { return o.Copy(source); });
}
HRESULT DeferredComponent::ResetDevice(IUnknown* device, ULONG handle) {
  return forward([&](ICPServices& o) { return o.ResetDevice(device, handle); });
}

namespace {

// The texts the system gives the general HRESULTs, for those the component has no message for.
std::string system_message(HRESULT hr) {
  struct Text {
    HRESULT hr;
    const char* text;
  };
  static constexpr Text kTexts[] = {
      {E_NOTIMPL, "Not implemented."},
      {E_FAIL, "Unspecified error."},
      {E_INVALIDARG, "The parameter is incorrect."},
      {E_POINTER, "Invalid pointer."},
      {E_UNEXPECTED, "Catastrophic failure."},
      {E_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
      {E_NOINTERFACE, "No such interface supported."},
  };
  for (const Text& t : kTexts)
    if (t.hr == hr) return t.text;
  return "Failed.";
}

}  // namespace

std::string error_line(const Failure& failure) {
  std::string message = failure.message;
  if (message.empty()) {
    try {
      message = Component(1).message(failure.hr);
    } catch (const Failure&) {
    }
  }
  if (message.empty()) message = system_message(failure.hr);
  std::string line = "error: " + message + " (" + hresult_text(failure.hr) + ")";
  if (!failure.detail.empty()) line += ": " + failure.detail;
  return line;
}

std::string hresult_text(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string utf8_from_wide(const OLECHAR* text, size_t length) {
  // Plain ASCII, nearly every text of a codeplug, is copied as it is.
  size_t ascii = 0;
  while (ascii < length && static_cast<char32_t>(text[ascii]) < 0x80) ++ascii;
  std::string out(text, text + ascii);
  if (ascii == length) return out;
  out.reserve(length + 8);
  for (size_t i = ascii; i < length; ++i) {
    char32_t c = static_cast<char32_t>(text[i]);
    if constexpr (sizeof(OLECHAR) == 2) {
      c &= 0xFFFF;
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < length) {
        const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
        if (low >= 0xDC00 && low < 0xE000) {
          c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
          ++i;
        }
      }
    }
    if (c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string utf8_from_bstr(BSTR text) { return text ? utf8_from_wide(text, SysStringLen(text)) : std::string(); }

namespace {

std::wstring wide_from_utf8(std::string_view text) {
  std::wstring out;
  auto bad = [&] { throw Failure{kInvalidData, "", "a text given is not UTF-8"}; };
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      c = lead & 0x1F, extra = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      c = lead & 0x0F, extra = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      c = lead & 0x07, extra = 3;
    } else {
      bad();
    }
    if (i + extra >= text.size() && extra) bad();
    for (size_t k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) bad();
      c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) bad();
    i += extra + 1;
    if (sizeof(OLECHAR) == 2 && c >= 0x10000) {
      c -= 0x10000;
      out.push_back(static_cast<OLECHAR>(0xD800 + (c >> 10)));
      out.push_back(static_cast<OLECHAR>(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(static_cast<OLECHAR>(c));
    }
  }
  return out;
}

}  // namespace

BSTR bstr_from_utf8(std::string_view text) {
  // Plain ASCII, nearly every text of a codeplug, goes straight into the string.
  const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  BSTR result = nullptr;
  if (ascii) {
    result = SysAllocStringLen(nullptr, static_cast<UINT>(text.size()));
    if (result) std::copy(text.begin(), text.end(), result);
  } else {
    const std::wstring wide = wide_from_utf8(text);
    result = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  if (!result) throw Failure{E_OUTOFMEMORY, "out of memory"};
  return result;
}

void use_shipped_models(const char* argv0) {
  if (std::getenv("CPSERVICES_MODELS")) return;
  namespace fs = std::filesystem;
  // The executable's own path by readlink: a short command is a few milliseconds, and
  // std::filesystem's first call is a good part of one.
  char own[4096];
  const ssize_t length = readlink("/proc/self/exe", own, sizeof own);
  std::error_code ec;
  const fs::path exe = length > 0 && static_cast<size_t>(length) < sizeof own ? fs::path(std::string(own, static_cast<size_t>(length)))
                                                                            : fs::absolute(argv0, ec);
  const fs::path dir = exe.parent_path();
  for (const fs::path& candidate : {dir / "models.json", dir / ".." / "share" / "cpservices" / "models.json"}) {
    struct stat file{};
    if (stat(candidate.c_str(), &file) == 0 && S_ISREG(file.st_mode)) {
      setenv("CPSERVICES_MODELS", candidate.lexically_normal().c_str(), 0);
      return;
    }
  }
}

}  // namespace cpsctl
