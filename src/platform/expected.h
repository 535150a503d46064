#pragma once

// A value or an error, for operations that can fail without throwing. Errors are texts in
// the portable code and Windows error codes at the platform seam.

#include <cassert>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace tarnu {

template <typename E>
class Unexpected {
 public:
  explicit Unexpected(E error) : error_(std::move(error)) {}
  E& error() & { return error_; }
  E&& error() && { return std::move(error_); }

 private:
  E error_;
};

template <typename E>
Unexpected(E) -> Unexpected<E>;

template <typename T, typename E = std::string>
class [[nodiscard]] Expected {
 public:
  Expected(T value) : state_(std::in_place_index<0>, std::move(value)) {}  // NOLINT
  template <typename F>
  Expected(Unexpected<F> error)  // NOLINT
      : state_(std::in_place_index<1>, std::move(error).error()) {}

  bool has_value() const { return state_.index() == 0; }
  explicit operator bool() const { return has_value(); }

  T& value() & {
    assert(has_value());
    return *std::get_if<0>(&state_);
  }
  const T& value() const& {
    assert(has_value());
    return *std::get_if<0>(&state_);
  }
  T&& value() && {
    assert(has_value());
    return std::move(*std::get_if<0>(&state_));
  }
  const E& error() const& {
    assert(!has_value());
    return *std::get_if<1>(&state_);
  }
  E&& error() && {
    assert(!has_value());
    return std::move(*std::get_if<1>(&state_));
  }

  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

 private:
  std::variant<T, E> state_;
};

// Success carries nothing.
template <typename E>
class [[nodiscard]] Expected<void, E> {
 public:
  Expected() = default;
  template <typename F>
  Expected(Unexpected<F> error) : error_(std::move(error).error()), failed_(true) {}  // NOLINT

  bool has_value() const { return !failed_; }
  explicit operator bool() const { return has_value(); }
  const E& error() const& {
    assert(failed_);
    return error_;
  }
  E&& error() && {
    assert(failed_);
    return std::move(error_);
  }

 private:
  E error_{};
  bool failed_ = false;
};

// Operations that fail with a text.
template <typename T>
using Result = Expected<T, std::string>;
using Status = Expected<void, std::string>;

}  // namespace tarnu
