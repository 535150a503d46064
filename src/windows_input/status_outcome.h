#pragma once

#include <string>

namespace tarnu::windows_input {

// What the worker records after a step: success with a text (such as the input desktop's
// name) or failure with a text.
struct StatusOutcome {
  bool success = true;
  std::string text;

  static StatusOutcome Success(std::string text) { return {true, std::move(text)}; }
  static StatusOutcome Failure(std::string text) { return {false, std::move(text)}; }
  bool operator==(const StatusOutcome&) const = default;
};

}  // namespace tarnu::windows_input
