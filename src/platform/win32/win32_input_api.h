#pragma once

#include "platform/input_api.h"

namespace tarnu::platform::win32 {

class Win32InputApi final : public InputApi {
 public:
  SendInputResult send_input(const InputRecord& record) override;
  void set_cursor_pos(std::int32_t x, std::int32_t y) override;
  std::int32_t get_system_metrics(int index) override;
  std::uint32_t map_virtual_key(std::uint32_t code, std::uint32_t map_type) override;
};

// The process-wide instance; it has no state.
InputApi& input_api();

}  // namespace tarnu::platform::win32
