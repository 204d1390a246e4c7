// TokenUsageError: the one error type the usage service throws.
#pragma once

#include <exception>

namespace nubrel {

class TokenUsageError : public std::exception {
 public:
  enum class Kind { missingSessionsDirectory, missingMonthDirectory };

  explicit TokenUsageError(Kind kind) : kind_(kind) {}

  Kind kind() const { return kind_; }
  // The fixed text shown to the user.
  const char* errorDescription() const noexcept;
  const char* what() const noexcept override { return errorDescription(); }

 private:
  Kind kind_;
};

}  // namespace nubrel
