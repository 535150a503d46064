#include "windows_input/input_desktop_binding.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "fakes/fake_desktop_api.h"
#include "fakes/handle_ledger.h"

namespace tarnu::windows_input {
namespace {

using ::testing::ElementsAre;

class InputDesktopBindingTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(ledger_.misuses().empty()); }

  fakes::HandleLedger ledger_;
  fakes::FakeDesktopApi desktops_{ledger_};
};

TEST_F(InputDesktopBindingTest, BindsWithAFreshHandleEveryTime) {
  InputDesktopBinding binding(desktops_);
  EXPECT_EQ(binding.bind_input_desktop(), StatusOutcome::Success("Default"));
  const platform::DesktopHandle first = binding.desktop();
  EXPECT_EQ(desktops_.thread_desktop, first);
  EXPECT_TRUE(desktops_.refused_closes.empty());  // the first bind closes nothing

  EXPECT_EQ(binding.bind_input_desktop(), StatusOutcome::Success("Default"));
  EXPECT_NE(binding.desktop(), first);
  EXPECT_FALSE(ledger_.is_open(first));
  EXPECT_EQ(desktops_.open_desktops(), 1u);

  ASSERT_EQ(desktops_.opens.size(), 2u);
  EXPECT_EQ(desktops_.opens[0].flags, 0u);
  EXPECT_FALSE(desktops_.opens[0].inherit);
  EXPECT_EQ(desktops_.opens[0].desired_access, 0x1B3u);
  EXPECT_THAT(desktops_.name_buffer_units, ElementsAre(256u, 256u));
  EXPECT_THAT(desktops_.name_needed_on_entry, ElementsAre(0u, 0u));
}

TEST_F(InputDesktopBindingTest, NamesAsThePlatformReportsThem) {
  struct Case {
    std::u16string name;
    bool query_fails;
    bool no_length;
    std::string expected;
  };
  const std::u16string full(256, u'w');
  const Case cases[] = {
      {u"Winlogon", false, false, "Winlogon"},
      {u"Default", true, false, "<unknown>"},
      {u"Default", false, true, "<unknown>"},
      {full.substr(1), false, false, std::string(255, 'w')},  // fits with its terminator
      {full, false, false, "<unknown>"},  // no room for the terminator: the query fails
      {std::u16string(u"D\xD800sk"), false, false, "D\xEF\xBF\xBDsk"},  // unpaired surrogate
      {std::u16string(u"ab\0cd", 5), false, false, "ab"},
  };
  for (const Case& c : cases) {
    InputDesktopBinding binding(desktops_);
    desktops_.input_desktop_name = c.name;
    desktops_.name_query_fails = c.query_fails;
    desktops_.name_query_reports_no_length = c.no_length;
    EXPECT_EQ(binding.bind_input_desktop(), StatusOutcome::Success(c.expected)) << c.expected;
    desktops_.thread_desktop = {};  // let the binding close its handle
  }
  EXPECT_EQ(desktops_.open_desktops(), 0u);
}

TEST_F(InputDesktopBindingTest, FailedAttachKeepsThePreviousDesktop) {
  InputDesktopBinding binding(desktops_);
  ASSERT_TRUE(binding.bind_input_desktop().success);
  const platform::DesktopHandle held = binding.desktop();

  desktops_.input_desktop_name = u"Winlogon";
  desktops_.attach_fails = true;
  EXPECT_EQ(binding.bind_input_desktop(),
            StatusOutcome::Failure("SetThreadDesktop failed for Winlogon"));
  desktops_.name_query_fails = true;
  EXPECT_EQ(binding.bind_input_desktop(),
            StatusOutcome::Failure("SetThreadDesktop failed for <unknown>"));

  EXPECT_EQ(binding.desktop(), held);
  EXPECT_EQ(desktops_.thread_desktop, held);
  EXPECT_EQ(desktops_.open_desktops(), 1u);  // both new handles were closed
}

TEST_F(InputDesktopBindingTest, FailedOpenChangesNothing) {
  InputDesktopBinding empty(desktops_);
  desktops_.open_fails = true;
  EXPECT_EQ(empty.bind_input_desktop(), StatusOutcome::Failure("OpenInputDesktop failed"));
  EXPECT_FALSE(empty.desktop());
  EXPECT_TRUE(desktops_.name_buffer_units.empty());

  desktops_.open_fails = false;
  InputDesktopBinding bound(desktops_);
  ASSERT_TRUE(bound.bind_input_desktop().success);
  const platform::DesktopHandle held = bound.desktop();
  desktops_.open_fails = true;
  EXPECT_EQ(bound.bind_input_desktop(), StatusOutcome::Failure("OpenInputDesktop failed"));
  EXPECT_EQ(bound.desktop(), held);
  EXPECT_TRUE(ledger_.is_open(held));
}

TEST_F(InputDesktopBindingTest, HandleIsClosedWhenTheBindingGoes) {
  {
    InputDesktopBinding binding(desktops_);
    ASSERT_TRUE(binding.bind_input_desktop().success);
    desktops_.thread_desktop = {};  // the thread has moved elsewhere
  }
  EXPECT_EQ(desktops_.open_desktops(), 0u);
}

}  // namespace
}  // namespace tarnu::windows_input
