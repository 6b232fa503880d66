// What cpsctl needs to act as a host: creating a component object the way a host does, turning
// HRESULTs into messages, wide/UTF-8 text for the automation boundary, and owning a VARIANT.
#pragma once

#include <cpservices/cpservices.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cpsctl {

// The HRESULT of one of the component's error codes.
constexpr HRESULT error_hresult(unsigned code) {
  return static_cast<HRESULT>(0x80040000u | (0x900u + (code & 0xFFu)));
}
inline constexpr HRESULT kFieldNotFound = error_hresult(104);
inline constexpr HRESULT kBadIndex = error_hresult(105);
inline constexpr HRESULT kInvalidData = error_hresult(107);
inline constexpr HRESULT kBlockNotSupported = error_hresult(110);
inline constexpr HRESULT kFileOpen = error_hresult(124);
inline constexpr HRESULT kFileRead = error_hresult(125);
inline constexpr HRESULT kFileException = error_hresult(126);

// Exit codes, as listed in --help.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;      // the component, the radio or a file refused
inline constexpr int kExitUsage = 2;        // the command line was wrong
inline constexpr int kExitDifferences = 3;  // written, but the radio reads back otherwise

// A failed operation: its HRESULT, the component's message for it ("" to have it looked up when
// printed), what it concerned (a file, a block and field; may be "") and the exit code.
struct Failure {
  HRESULT hr;
  std::string message;
  std::string detail = {};
  int exit_code = kExitFailure;
};

// "error: <message> (<HRESULT>)[: <detail>]", the one line every failing command prints.
std::string error_line(const Failure& failure);

// A T made for the rest of the process and never destroyed: for what a write builds (the file's
// records, objects of tens of thousands of fields) and holds only memory, which goes with the
// process when cpsctl ends (with _Exit) right after the command; freed one block at a time it
// would take a fifth of a millisecond for nothing. It stays reachable, so a leak check does not
// count it, and no destructor runs at exit after the component's own statics are gone.
template <class T, class... Args>
T& until_exit(Args&&... args) {
  static auto* const kept = new std::vector<std::unique_ptr<T>>;
  return *kept->emplace_back(std::make_unique<T>(std::forward<Args>(args)...));
}

// Owns one reference to a component object.
class Component {
 public:
  explicit Component(int generation);  // 1: CPServices, 2: R9CPServices; throws Failure
  ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  ICPServices* operator->() const { return object_; }
  ICPServices* get() const { return object_; }
  int generation() const { return generation_; }

  // Throws a Failure with the component's message (and `detail`) when `hr` failed.
  void check(HRESULT hr, std::string detail = {}) const;
  // The component's message for an HRESULT, or "" when it has none.
  std::string message(HRESULT hr) const;

 private:
  ICPServices* object_ = nullptr;
  int generation_;
};

// A component object made, and loaded by `load`, only when it is first called (or make() is).
// A write hands one to the component as its destination object, which a first-generation write
// asks only when the radio cannot tell its codeplug version or serial number, and a
// second-generation write never: a write that keeps no backup then reads the radio for it only
// if it is asked. It answers QueryInterface with itself, and AddRef and Release count without
// freeing it: its owner keeps it.
class DeferredComponent final : public ICPServices {
 public:
  DeferredComponent(int generation, std::function<HRESULT(Component&)> load)
      : generation_(generation), load_(std::move(load)) {}
  DeferredComponent(const DeferredComponent&) = delete;
  DeferredComponent& operator=(const DeferredComponent&) = delete;

  // Makes and loads the object unless that is done; the load's result, the first time's.
  // Throws the Failure of making it.
  HRESULT make();
  bool made() const { return object_.has_value(); }
  // The object, made first.
  Component& component();
  // The object goes now; a later call makes and loads it anew.
  void release() { object_.reset(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override { return references_ > 1 ? --references_ : 1; }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* bad_argument) override;
  HRESULT STDMETHODCALLTYPE ReadDevice(IUnknown* device, ULONG handle, IUnknown* progress) override;
  HRESULT STDMETHODCALLTYPE WriteDevice(IUnknown* device, ULONG handle, IUnknown* progress,
                                        ICPServices* destination) override;
  HRESULT STDMETHODCALLTYPE GetErrorMsg(HRESULT code, BSTR* message) override;
  HRESULT STDMETHODCALLTYPE GetValidAliasCharSet(VARIANT* characters) override;
  HRESULT STDMETHODCALLTYPE ValidateAlias(BSTR alias) override;
  HRESULT STDMETHODCALLTYPE GetRangeInfo(LONG field, double* min, double* max, double* step) override;
  HRESULT STDMETHODCALLTYPE GetBlockData(LONG block, VARIANT* data) override;
  HRESULT STDMETHODCALLTYPE SetBlockData(LONG block, VARIANT* data) override;
  HRESULT STDMETHODCALLTYPE GetCurrentListQuantity(LONG block, BYTE* quantity) override;
  HRESULT STDMETHODCALLTYPE AddList(LONG block, BYTE* list) override;
  HRESULT STDMETHODCALLTYPE DeleteList(LONG block, BYTE list) override;
  HRESULT STDMETHODCALLTYPE GetCurrentListMemberQuantity(LONG block, BYTE list, BYTE* quantity) override;
  HRESULT STDMETHODCALLTYPE AddListMember(LONG block, BYTE list, BYTE* member) override;
  HRESULT STDMETHODCALLTYPE DeleteListMember(LONG block, BYTE list, BYTE member) override;
  HRESULT STDMETHODCALLTYPE GetFieldAt(LONG block, LONG field, BYTE index, VARIANT* data) override;
  HRESULT STDMETHODCALLTYPE SetFieldAt(LONG block, BYTE index, VARIANT data) override;
  HRESULT STDMETHODCALLTYPE GetSubFieldAt(LONG block, LONG field, BYTE list, BYTE member, VARIANT* data) override;
  HRESULT STDMETHODCALLTYPE SetSubFieldAt(LONG block, BYTE list, BYTE member, VARIANT data) override;
  HRESULT STDMETHODCALLTYPE MoveList(LONG block, BYTE from, BYTE to) override;
  HRESULT STDMETHODCALLTYPE MoveListMember(LONG block, BYTE list, BYTE from, BYTE to) override;
  HRESULT STDMETHODCALLTYPE CloneDevice(IUnknown* device, ULONG handle, IUnknown* progress) override;
  HRESULT STDMETHODCALLTYPE ImportOBD(BSTR file) override;
  HRESULT STDMETHODCALLTYPE GetUpdInfo(IUnknown* device, ULONG handle, BYTE* same_serial, BYTE* same_model,
                                       VARIANT* versions) override;
  HRESULT STDMETHODCALLTYPE Copy(ICPServices* source) override;
  HRESULT STDMETHODCALLTYPE ResetDevice(IUnknown* device, ULONG handle) override;

 private:
  // Runs `call` on the object, made first; a call the object cannot be made for fails with the
  // HRESULT of making it (an exception must not cross into the component calling).
  template <class Call>
  HRESULT forward(Call&& call);

  int generation_;
  std::function<HRESULT(Component&)> load_;
  std::optional<Component> object_;
  HRESULT loaded_ = S_OK;
  ULONG references_ = 1;
};

std::string hresult_text(HRESULT hr);  // "0x8004096B"

// Text crossing the automation boundary is wide; cpsctl keeps it, and writes it, as UTF-8.
std::string utf8_from_wide(const OLECHAR* text, size_t length);
std::string utf8_from_bstr(BSTR text);
// A new BSTR; throws Failure (Invalid data) for text that is not UTF-8.
BSTR bstr_from_utf8(std::string_view text);

// A VARIANT that is cleared when it goes.
class Variant {
 public:
  Variant() { VariantInit(&v_); }
  ~Variant() { VariantClear(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }
  const VARIANT* operator->() const { return &v_; }

 private:
  VARIANT v_;
};

// Points CPSERVICES_MODELS at the model file shipped with cpsctl (beside the executable in the
// build tree, ../share/cpservices when installed) unless the user has set it.
void use_shipped_models(const char* argv0);

}  // namespace cpsctl
