#include "installer_actions/sas_setting.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <string_view>

namespace tarnu::installer_actions {
namespace {

using namespace std::string_view_literals;

// What the package's custom actions take from CustomActionData: one digit from 0 to 3 as a
// policy value, "absent" and "leave" as well as a remembered one, and nothing that merely starts or
// ends like them.
TEST(SasSettingTest, TakesOnlyExactValues) {
  const struct {
    std::wstring_view text;
    std::optional<std::uint32_t> policy;
    bool remembered;
  } cases[] = {
      {L"0", 0, true},
      {L"1", 1, true},
      {L"2", 2, true},
      {L"3", 3, true},
      {L"absent", std::nullopt, true},
      {L"leave", std::nullopt, true},
      {L"leave ", std::nullopt, false},
      {L"4", std::nullopt, false},
      {L"", std::nullopt, false},
      {L"01", std::nullopt, false},
      {L" 1", std::nullopt, false},
      {L"1 /f", std::nullopt, false},
      {L"#1", std::nullopt, false},
      {L"-1", std::nullopt, false},
      {L"1\0"sv, std::nullopt, false},
      {L"Absent", std::nullopt, false},
      {L"absent ", std::nullopt, false},
      {L"absent\0"sv, std::nullopt, false},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(parse_sas_policy(cases[i].text), cases[i].policy);
    EXPECT_EQ(is_remembered_sas(cases[i].text), cases[i].remembered);
  }
}

}  // namespace
}  // namespace tarnu::installer_actions
