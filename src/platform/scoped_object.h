#pragma once

#include <utility>

#include "platform/types.h"

namespace tarnu::platform {

// Owns one platform object and releases it exactly once through the seam interface that
// produced it. `Traits` names that interface (`Api`) and how it releases the object
// (`release`). Owners are move-only; 0 means "holds nothing".
template <typename Traits>
class ScopedObject {
 public:
  using Api = typename Traits::Api;

  ScopedObject() = default;
  ScopedObject(Api& api, RawHandle value) : api_(&api), value_(value) {}
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;
  ScopedObject(ScopedObject&& other) noexcept
      : api_(other.api_), value_(std::exchange(other.value_, 0)) {}
  ScopedObject& operator=(ScopedObject&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      value_ = std::exchange(other.value_, 0);
    }
    return *this;
  }
  ~ScopedObject() { reset(); }

  bool is_valid() const { return value_ != 0; }
  explicit operator bool() const { return is_valid(); }
  RawHandle get() const { return value_; }

  // Gives up ownership without releasing.
  RawHandle release() { return std::exchange(value_, 0); }

  void reset() {
    if (value_ != 0) {
      Traits::release(*api_, std::exchange(value_, 0));
    }
  }

 private:
  Api* api_ = nullptr;
  RawHandle value_ = 0;
};

// Traits for an object released by one member function of its seam interface, e.g.
// ScopedObject<ReleasedBy<DesktopApi, &DesktopApi::close_desktop>>.
template <typename ApiT, void (ApiT::*Release)(RawHandle)>
struct ReleasedBy {
  using Api = ApiT;
  static void release(Api& api, RawHandle value) { (api.*Release)(value); }
};

}  // namespace tarnu::platform
