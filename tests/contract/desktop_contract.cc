#include "contract/contract.h"

#include <array>
#include <span>
#include <string>

namespace tarnu::contract {
namespace {

using platform::ScopedDesktop;

// DESKTOP_READOBJECTS | DESKTOP_CREATEWINDOW | DESKTOP_JOURNALRECORD |
// DESKTOP_JOURNALPLAYBACK | DESKTOP_WRITEOBJECTS | DESKTOP_SWITCHDESKTOP, as the injector asks.
constexpr std::uint32_t kAccess = 0x000001B3;
// MOUSEEVENTF_MOVE; VK_A.
constexpr std::uint32_t kMouseMove = 0x0001;
constexpr std::uint32_t kVirtualKeyA = 0x41;

// The desktop that receives input is "Default" (the test bed, and a user's unlocked
// session). Each open is a handle of its own. The name query succeeds only when the name and
// its terminator fit (8 units), and either way reports the bytes needed, terminator included.
TEST_F(DesktopContract, TheInputDesktopIsDefault) {
  platform::DesktopApi& desktops = world_->desktops();
  ScopedDesktop first(desktops, desktops.open_input_desktop(0, false, kAccess));
  ScopedDesktop second(desktops, desktops.open_input_desktop(0, false, kAccess));
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  EXPECT_NE(first.get(), second.get());
  for (const std::size_t units : {0, 2, 7, 8, 64}) {
    std::array<char16_t, 64> buffer{};
    std::uint32_t needed = 0;
    EXPECT_EQ(desktops.get_user_object_name(first.get(), std::span(buffer).first(units), needed),
              units >= 8)
        << units << " units";
    EXPECT_EQ(needed, sizeof(u"Default")) << units << " units";
    if (units >= 8) {
      EXPECT_EQ(narrow(buffer.data()), "Default");
    }
  }
}

// Screen metrics and key translation; a relative move by nothing is inserted like any other
// event and moves nothing.
TEST_F(DesktopContract, ScreenMetricsKeyTranslationAndAHarmlessEvent) {
  platform::InputApi& input = world_->input();
  EXPECT_GT(input.get_system_metrics(platform::kSmCxVirtualScreen), 0);
  EXPECT_GT(input.get_system_metrics(platform::kSmCyVirtualScreen), 0);
  EXPECT_EQ(input.get_system_metrics(9999), 0);
  EXPECT_NE(input.map_virtual_key(kVirtualKeyA, platform::kMapVkToVsc), 0u);
  EXPECT_EQ(input.map_virtual_key(0xFF, platform::kMapVkToVsc), 0u);
  const auto sent = input.send_input(platform::InputRecord::Mouse(kMouseMove, 0, 0, 0));
  EXPECT_EQ(sent.inserted, 1u);
  EXPECT_EQ(sent.error, platform::kErrorSuccess);
}

}  // namespace
}  // namespace tarnu::contract
