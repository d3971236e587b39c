// A value or the reason there is none; enough of C++23's std::expected for set-up results.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace kinkbench {

enum class SetupErrorCode {
  dimension_too_small,  // n below the problem's minimum
  dimension_too_large,  // n above what the problem's data is laid out for
  capacity_too_small,   // minimax: capacity below the number of partial functions
};

// The largest n an object is created for: each holds n doubles of its own, and no problem
// here means anything at sizes beyond this, so a larger n is refused as dimension_too_large
// instead of paging in gigabytes or failing to allocate.
inline constexpr int kLargestDimension = 1 << 24;

struct SetupError {
  SetupErrorCode code;
  std::string message;  // one line, for people
};

template <class T>
class Expected {
 public:
  Expected(T value) : value_(std::move(value)) {}           // NOLINT: implicit by design
  Expected(SetupError error) : error_(std::move(error)) {}  // NOLINT: implicit by design

  bool has_value() const { return value_.has_value(); }
  explicit operator bool() const { return has_value(); }

  // Precondition: has_value().
  const T& value() const& { return *value_; }
  T&& value() && { return std::move(*value_); }
  const T& operator*() const& { return *value_; }
  const T* operator->() const { return &*value_; }

  // Precondition: !has_value().
  const SetupError& error() const { return error_; }

 private:
  std::optional<T> value_;
  SetupError error_{SetupErrorCode::dimension_too_small, {}};
};

}  // namespace kinkbench
