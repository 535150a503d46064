#pragma once

#include <utility>

#include "platform/handles.h"

namespace tarnu::platform {

// Owns one platform object and releases it exactly once through the seam interface that
// produced it. `Traits` names that interface (`Api`), the object's handle type (`Value`, a
// Handle<Kind>) and how it releases the object (`release`). Owners are move-only; a
// default handle means "holds nothing".
template <typename Traits>
class ScopedObject {
 public:
  using Api = typename Traits::Api;
  using Value = typename Traits::Value;

  ScopedObject() = default;
  ScopedObject(Api& api, Value value) : api_(&api), value_(value) {}
  ScopedObject(const ScopedObject&) = delete;
  ScopedObject& operator=(const ScopedObject&) = delete;
  ScopedObject(ScopedObject&& other) noexcept
      : api_(other.api_), value_(std::exchange(other.value_, Value())) {}
  ScopedObject& operator=(ScopedObject&& other) noexcept {
    if (this != &other) {
      reset();
      api_ = other.api_;
      value_ = std::exchange(other.value_, Value());
    }
    return *this;
  }
  ~ScopedObject() { reset(); }

  bool is_valid() const { return static_cast<bool>(value_); }
  explicit operator bool() const { return is_valid(); }
  Value get() const { return value_; }

  // Gives up ownership without releasing.
  Value release() { return std::exchange(value_, Value()); }

  void reset() {
    if (value_) {
      Traits::release(*api_, std::exchange(value_, Value()));
    }
  }

 private:
  Api* api_ = nullptr;
  Value value_{};
};

// Traits for an object released by one member function of its seam interface, e.g.
// ScopedObject<ReleasedBy<DesktopApi, DesktopHandle, &DesktopApi::close_desktop>>. The
// member function's parameter type must be the handle type: a release meant for another
// kind does not compile.
template <typename ApiT, typename ValueT, void (ApiT::*Release)(ValueT)>
struct ReleasedBy {
  using Api = ApiT;
  using Value = ValueT;
  static void release(Api& api, Value value) { (api.*Release)(value); }
};

}  // namespace tarnu::platform
