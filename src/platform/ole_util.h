// Small owners for automation values, so that every exit path frees what it created.
#pragma once

#include <cpservices/oleauto.h>

namespace cps {

class ScopedVariant {
 public:
  ScopedVariant() { VariantInit(&v_); }
  ~ScopedVariant() { VariantClear(&v_); }
  ScopedVariant(const ScopedVariant&) = delete;
  ScopedVariant& operator=(const ScopedVariant&) = delete;

  VARIANT* get() { return &v_; }
  const VARIANT& operator*() const { return v_; }
  VARIANT* operator->() { return &v_; }
  // Hands the content over to `out` and leaves this one empty.
  void release_to(VARIANT* out) {
    *out = v_;
    VariantInit(&v_);
  }

 private:
  VARIANT v_;
};

class ScopedArray {
 public:
  explicit ScopedArray(SAFEARRAY* array = nullptr) : array_(array) {}
  ~ScopedArray() {
    if (array_) SafeArrayDestroy(array_);
  }
  ScopedArray(const ScopedArray&) = delete;
  ScopedArray& operator=(const ScopedArray&) = delete;

  SAFEARRAY* get() const { return array_; }
  SAFEARRAY* release() {
    SAFEARRAY* a = array_;
    array_ = nullptr;
    return a;
  }

 private:
  SAFEARRAY* array_;
};

class ScopedBstr {
 public:
  explicit ScopedBstr(BSTR text = nullptr) : text_(text) {}
  ~ScopedBstr() { SysFreeString(text_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const { return text_; }
  BSTR* out() {
    SysFreeString(text_);
    text_ = nullptr;
    return &text_;
  }
  BSTR release() {
    BSTR t = text_;
    text_ = nullptr;
    return t;
  }

 private:
  BSTR text_;
};

}  // namespace cps
