#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tarnu::installer_actions {

// The values of the machine policy SoftwareSASGeneration that mean anything: 0 nobody, 1
// services, 2 Ease of Access programs, 3 both.
inline constexpr std::uint32_t kHighestSasPolicy = 3;

// The word the package remembers when the policy value was absent before its first install.
inline constexpr std::wstring_view kSasAbsent = L"absent";

// The word it remembers when it was told to leave the policy value alone (SAS_POLICY=leave):
// the removal then leaves the value alone too.
inline constexpr std::wstring_view kSasLeft = L"leave";

// A policy value handed to a custom action: exactly one digit from 0 to 3, nothing around it.
// The text is built from public properties, which whoever starts the installation can set on
// the command line, so anything else is refused rather than interpreted.
std::optional<std::uint32_t> parse_sas_policy(std::wstring_view text);

// Whether TEXT is something the package may remember as the policy value it found:
// kSasAbsent, kSasLeft or a value that parse_sas_policy accepts.
bool is_remembered_sas(std::wstring_view text);

}  // namespace tarnu::installer_actions
