// What cpsctl needs to act as a host: creating a component object the way a host does, turning
// HRESULTs into messages, and wide/narrow text for the automation boundary.
#pragma once

#include <cpservices/cpservices.h>

#include <string>

namespace cpsctl {

// A failed call: its HRESULT and the component's message for it ("" when there is none).
struct Failure {
  HRESULT hr;
  std::string message;
};

// Owns one reference to a component object.
class Component {
 public:
  explicit Component(int generation);  // 1: CPServices, 2: R9CPServices; throws Failure
  ~Component();
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  ICPServices* operator->() const { return object_; }
  ICPServices* get() const { return object_; }

  // Throws a Failure with the component's message when `hr` failed.
  void check(HRESULT hr) const;
  // The component's message for an HRESULT, or "" when it has none.
  std::string message(HRESULT hr) const;

 private:
  ICPServices* object_ = nullptr;
};

std::string hresult_text(HRESULT hr);  // "0x8004096B"
std::string narrow(BSTR text);

}  // namespace cpsctl
