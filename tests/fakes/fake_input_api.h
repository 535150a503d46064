#pragma once

#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <vector>

#include "platform/input_api.h"

namespace tarnu::fakes {

// One call that leaves a trace on the screen: an event sent, or a cursor placed.
struct InputCall {
  enum class Kind { kSendInput, kSetCursorPos };

  Kind kind = Kind::kSendInput;
  platform::InputRecord record{};
  std::int32_t x = 0;
  std::int32_t y = 0;

  static InputCall Sent(const platform::InputRecord& record) {
    return {Kind::kSendInput, record, 0, 0};
  }
  static InputCall Mouse(std::uint32_t flags, std::int32_t dx = 0, std::int32_t dy = 0,
                         std::uint32_t mouse_data = 0) {
    return Sent(platform::InputRecord::Mouse(flags, dx, dy, mouse_data));
  }
  static InputCall Key(std::uint16_t virtual_key, std::uint16_t scan_code, std::uint32_t flags) {
    return Sent(platform::InputRecord::Keyboard(virtual_key, scan_code, flags));
  }
  static InputCall Cursor(std::int32_t x, std::int32_t y) {
    return {Kind::kSetCursorPos, {}, x, y};
  }
  bool operator==(const InputCall&) const = default;
};

std::ostream& operator<<(std::ostream& out, const InputCall& call);

// Synthetic input on a scripted virtual screen, recording every event in order.
class FakeInputApi final : public platform::InputApi {
 public:
  // The virtual screen the metrics report.
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 1920;
  std::int32_t height = 1080;
  // MapVirtualKeyW(code, 0) results; codes not listed map to 0.
  std::map<std::uint32_t, std::uint32_t> scan_codes;

  std::vector<InputCall> calls;
  std::vector<int> metric_queries;
  std::vector<std::uint32_t> map_types;

  // Refuses every event from now on with the given error.
  void refuse_all(platform::WindowsErrorCode error) { refusal_ = error; }

  platform::SendInputResult send_input(const platform::InputRecord& record) override {
    calls.push_back(InputCall::Sent(record));
    return refusal_ ? platform::SendInputResult{0, *refusal_}
                    : platform::SendInputResult{1, platform::kErrorSuccess};
  }
  void set_cursor_pos(std::int32_t x, std::int32_t y) override {
    calls.push_back(InputCall::Cursor(x, y));
  }
  std::int32_t get_system_metrics(int index) override;
  std::uint32_t map_virtual_key(std::uint32_t code, std::uint32_t map_type) override {
    map_types.push_back(map_type);
    const auto it = scan_codes.find(code);
    return it == scan_codes.end() ? 0 : it->second;
  }

 private:
  std::optional<platform::WindowsErrorCode> refusal_;
};

}  // namespace tarnu::fakes
