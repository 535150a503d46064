#include "windows_input/input_injector.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <vector>

#include "fakes/capturing_log_sink.h"
#include "fakes/fake_desktop_api.h"
#include "fakes/fake_input_api.h"
#include "fakes/fake_library_api.h"
#include "fakes/fake_monotonic_clock.h"
#include "fakes/handle_ledger.h"
#include "windows_input/secure_attention.h"

namespace tarnu::windows_input {
namespace {

using fakes::InputCall;
using protocol::InputCommand;
using protocol::MouseButton;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

InputCommand key(std::uint16_t code, bool down) { return {InputCommand::Key{code, down}}; }
InputCommand button(MouseButton which, bool down, std::int32_t x = 0, std::int32_t y = 0) {
  return {InputCommand::MouseButton{which, down, x, y}};
}
InputCommand release_all_command() { return {InputCommand::ReleaseAll{}}; }

class InputInjectorTest : public ::testing::Test {
 protected:
  InputInjectorTest() { input_.scan_codes = {{0x10, 0x2A}, {0x41, 0x1E}, {0xA3, 0x1D}}; }
  void TearDown() override { EXPECT_THAT(ledger_.misuses(), IsEmpty()); }

  fakes::HandleLedger ledger_;
  fakes::FakeDesktopApi desktops_{ledger_};
  fakes::FakeInputApi input_;
  fakes::FakeLibraryApi libraries_{ledger_};
  fakes::FakeMonotonicClock clock_;
  RefusalGate gate_;
  InputInjector injector_{{desktops_, input_, libraries_, clock_, gate_}};
};

TEST_F(InputInjectorTest, ReleaseAllReleasesMostRecentKeyFirstThenButtons) {
  injector_.inject_command(key(0x10, true));
  injector_.inject_command(key(0x41, true));
  injector_.inject_command(button(MouseButton::kMiddle, true));
  injector_.inject_command(button(MouseButton::kLeft, true));
  input_.calls.clear();
  injector_.inject_command(release_all_command());
  EXPECT_THAT(input_.calls,
              ElementsAre(InputCall::Key(0x41, 0x1E, 0x2), InputCall::Key(0x10, 0x2A, 0x2),
                          InputCall::Mouse(0x0004), InputCall::Mouse(0x0040)));
  EXPECT_TRUE(injector_.held().empty());
}

TEST_F(InputInjectorTest, EachReleaseSendsOnlyWhatWasPressedSinceTheLastOne) {
  injector_.inject_command(key(0x10, true));
  injector_.inject_command(key(0x41, true));
  injector_.inject_command(release_all_command());
  injector_.inject_command(key(0x11, true));
  injector_.inject_command(key(0x42, true));
  injector_.inject_command(key(0x11, false));
  injector_.inject_command(key(0x43, true));
  input_.calls.clear();
  injector_.inject_command(release_all_command());
  EXPECT_THAT(input_.calls,
              ElementsAre(InputCall::Key(0x43, 0, 0x2), InputCall::Key(0x42, 0, 0x2)));
  input_.calls.clear();
  injector_.inject_command(release_all_command());
  EXPECT_THAT(input_.calls, IsEmpty());
}

TEST_F(InputInjectorTest, ReleaseAllAlsoReleasesTheXButtons) {
  for (const MouseButton b : {MouseButton::kForward, MouseButton::kBack, MouseButton::kRight}) {
    injector_.inject_command(button(b, true));
  }
  EXPECT_EQ(injector_.held().button_mask(), 0b11010);
  input_.calls.clear();
  injector_.release_all();
  EXPECT_THAT(input_.calls, ElementsAre(InputCall::Mouse(0x0010), InputCall::Mouse(0x0100, 0, 0, 1),
                                        InputCall::Mouse(0x0100, 0, 0, 2)));
  EXPECT_EQ(injector_.held().button_mask(), 0);
}

TEST_F(InputInjectorTest, HeldKeysAreAnOrderedListWithoutDuplicates) {
  injector_.inject_command(key(0x10, true));
  injector_.inject_command(key(0x41, true));
  injector_.inject_command(key(0x10, true));  // auto-repeat: keeps its first place
  EXPECT_THAT(injector_.held().keys(), ElementsAre(0x10, 0x41));
  injector_.inject_command(key(0x10, false));
  EXPECT_THAT(injector_.held().keys(), ElementsAre(0x41));

  input_.calls.clear();
  injector_.inject_command(key(0xA3, false));  // not held: the list stays, the event still goes
  EXPECT_THAT(injector_.held().keys(), ElementsAre(0x41));
  EXPECT_THAT(input_.calls, ElementsAre(InputCall::Key(0xA3, 0x1D, 0x3)));
}

TEST_F(InputInjectorTest, ButtonsAndMovesUpdateTheHeldButtons) {
  injector_.inject_command(button(MouseButton::kLeft, true));
  injector_.inject_command(button(MouseButton::kLeft, true));
  injector_.inject_command({InputCommand::MouseMove{5, 5, MouseButton::kRight}});
  EXPECT_EQ(injector_.held().button_mask(), 0b1);
  injector_.inject_command(button(MouseButton::kMiddle, false));  // not held: no change
  injector_.inject_command(button(MouseButton::kLeft, false));
  EXPECT_EQ(injector_.held().button_mask(), 0);
}

TEST_F(InputInjectorTest, MoveIsTheSameWithOrWithoutADragButton) {
  injector_.inject_command({InputCommand::MouseMove{960, 540, std::nullopt}});
  injector_.inject_command({InputCommand::MouseMove{960, 540, MouseButton::kLeft}});
  ASSERT_EQ(input_.calls.size(), 2u);
  EXPECT_EQ(input_.calls[0], InputCall::Mouse(0xC001, 32784, 32797));
  EXPECT_EQ(input_.calls[1], input_.calls[0]);
}

TEST_F(InputInjectorTest, ReleaseAllWithNothingHeldSendsNothing) {
  injector_.inject_command(release_all_command());
  injector_.inject_command(key(0x41, true));
  injector_.inject_command(key(0x41, false));
  input_.calls.clear();
  injector_.inject_command(release_all_command());
  EXPECT_THAT(input_.calls, IsEmpty());
}

TEST_F(InputInjectorTest, RefusedPressIsStillReleasedLater) {
  fakes::CapturingLogSink log;
  input_.refuse_all(5);
  injector_.inject_command(key(0x10, true));
  injector_.inject_command(button(MouseButton::kLeft, true));
  EXPECT_THAT(injector_.held().keys(), ElementsAre(0x10));

  // Releases that are refused too go on with the next entry, and everything is forgotten.
  input_.calls.clear();
  injector_.inject_command(key(0x41, true));
  injector_.release_all();
  EXPECT_THAT(input_.calls,
              ElementsAre(InputCall::Key(0x41, 0x1E, 0), InputCall::Key(0x41, 0x1E, 0x2),
                          InputCall::Key(0x10, 0x2A, 0x2), InputCall::Mouse(0x0004)));
  EXPECT_TRUE(injector_.held().empty());
  // One record only: the rest fell within the same 10 seconds.
  ASSERT_EQ(log.records.size(), 1u);
  EXPECT_EQ(log.records[0].message.rfind("injected key refused by Windows", 0), 0u);
}

TEST_F(InputInjectorTest, ConnectionEndReleasesOnTheInputDesktop) {
  ASSERT_TRUE(injector_.bind_input_desktop().success);
  injector_.inject_command(key(0x10, true));
  injector_.inject_command(button(MouseButton::kLeft, true));
  input_.calls.clear();
  desktops_.input_desktop_name = u"Winlogon";
  EXPECT_EQ(injector_.release_at_connection_end(), StatusOutcome::Success("Winlogon"));
  EXPECT_THAT(input_.calls, ElementsAre(InputCall::Key(0x10, 0x2A, 0x2), InputCall::Mouse(0x4)));
  EXPECT_TRUE(injector_.held().empty());
  EXPECT_EQ(desktops_.thread_desktop, injector_.binding().desktop());
  EXPECT_EQ(desktops_.opens.size(), 2u);  // a fresh open at connection end
}

TEST_F(InputInjectorTest, ConnectionEndWithoutADesktopKeepsEverythingHeld) {
  injector_.inject_command(key(0x10, true));
  injector_.inject_command(button(MouseButton::kRight, true));
  input_.calls.clear();

  desktops_.open_fails = true;
  EXPECT_EQ(injector_.release_at_connection_end(),
            StatusOutcome::Failure("OpenInputDesktop failed"));
  desktops_.open_fails = false;
  desktops_.attach_fails = true;
  EXPECT_EQ(injector_.release_at_connection_end(),
            StatusOutcome::Failure("SetThreadDesktop failed for Default"));
  EXPECT_THAT(input_.calls, IsEmpty());
  EXPECT_THAT(injector_.held().keys(), ElementsAre(0x10));
  EXPECT_EQ(injector_.held().button_mask(), 0b10);

  // The next client's release-all gets them.
  desktops_.attach_fails = false;
  injector_.inject_command(release_all_command());
  EXPECT_THAT(input_.calls, ElementsAre(InputCall::Key(0x10, 0x2A, 0x2), InputCall::Mouse(0x10)));
}

TEST_F(InputInjectorTest, ThousandConnectionCyclesLeaveOneDesktopHandle) {
  for (int cycle = 0; cycle < 1000; ++cycle) {
    ASSERT_TRUE(injector_.bind_input_desktop().success);
    injector_.inject_command(key(0x10, true));
    ASSERT_TRUE(injector_.release_at_connection_end().success);
  }
  EXPECT_EQ(desktops_.open_desktops(), 1u);
  EXPECT_EQ(ledger_.opened_total(), 2000u);
  EXPECT_THAT(desktops_.refused_closes, IsEmpty());
}

TEST_F(InputInjectorTest, SecureAttentionLoadsAndFreesTheLibraryEachTime) {
  injector_.inject_command({InputCommand::SecureAttention{}});
  injector_.inject_command({InputCommand::SecureAttention{}});
  EXPECT_THAT(libraries_.loaded, ElementsAre(u"sas.dll", u"sas.dll"));
  EXPECT_THAT(libraries_.looked_up, ElementsAre("SendSAS", "SendSAS"));
  EXPECT_THAT(libraries_.call_arguments, ElementsAre(false, false));
  EXPECT_THAT(libraries_.called_while_loaded, ElementsAre(true, true));
  EXPECT_EQ(ledger_.open_count("library"), 0u);
  EXPECT_THAT(input_.calls, IsEmpty());
}

TEST(SecureAttentionTest, FailuresFreeWhatWasLoaded) {
  fakes::HandleLedger ledger;
  fakes::FakeLibraryApi libraries(ledger);
  libraries.library_present = false;
  EXPECT_FALSE(send_secure_attention(libraries));

  libraries.library_present = true;
  libraries.export_present = false;
  EXPECT_FALSE(send_secure_attention(libraries));

  EXPECT_TRUE(libraries.call_arguments.empty());
  EXPECT_EQ(ledger.open_count(), 0u);
  EXPECT_TRUE(ledger.misuses().empty());
}

TEST_F(InputInjectorTest, MissingSecureAttentionDoesNotDisturbLaterCommands) {
  libraries_.library_present = false;
  injector_.inject_command(key(0x10, true));
  injector_.inject_command({InputCommand::SecureAttention{}});
  injector_.inject_command(key(0x41, true));
  EXPECT_THAT(injector_.held().keys(), ElementsAre(0x10, 0x41));
  EXPECT_EQ(input_.calls.size(), 2u);
}

}  // namespace
}  // namespace tarnu::windows_input
