#include "installer_actions/sas_setting.h"

namespace tarnu::installer_actions {

std::optional<std::uint32_t> parse_sas_policy(std::wstring_view text) {
  if (text.size() != 1) {
    return std::nullopt;
  }
  // A character below '0' wraps around to a large number.
  const auto digit = static_cast<std::uint32_t>(text[0] - L'0');
  if (digit > kHighestSasPolicy) {
    return std::nullopt;
  }
  return digit;
}

bool is_remembered_sas(std::wstring_view text) {
  return text == kSasAbsent || text == kSasLeft || parse_sas_policy(text).has_value();
}

}  // namespace tarnu::installer_actions
