// The library's entry points: the class factories of CPServices and R9CPServices behind
// DllGetClassObject, and the lock count behind DllCanUnloadNow.
#include "interface/module.h"

#include "interface/cp_services.h"
#include "interface/r9_cp_services.h"

#include <atomic>
#include <new>

namespace cps {

namespace {

std::atomic<long> g_locks{0};

// One static factory per class. Handing a factory out does not lock the module; the host keeps
// the library loaded with LockServer.
template <class Object>
class ClassFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) return E_NOINTERFACE;
    *ppv = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    // An aggregated object can only be asked for its own (non-delegating) IUnknown.
    if (pUnkOuter && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    Object* object = nullptr;
    try {
      object = new Object(pUnkOuter);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
    IUnknown* inner = object->inner_unknown();
    HRESULT hr = inner->QueryInterface(riid, ppv);
    inner->Release();  // drops the creation reference; destroys the object when QI failed
    return hr;
  }

  HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) override {
    if (fLock)
      module_lock();
    else
      module_unlock();
    return S_OK;
  }
};

ClassFactory<CPServices> g_cp_services_factory;
ClassFactory<R9CPServices> g_r9_cp_services_factory;

}  // namespace

void module_lock() { ++g_locks; }
void module_unlock() { --g_locks; }
long module_lock_count() { return g_locks; }

}  // namespace cps

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualCLSID(rclsid, CLSID_CPServices))
    return cps::g_cp_services_factory.QueryInterface(riid, ppv);
  if (IsEqualCLSID(rclsid, CLSID_R9CPServices))
    return cps::g_r9_cp_services_factory.QueryInterface(riid, ppv);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
  return cps::module_lock_count() == 0 ? S_OK : S_FALSE;
}
