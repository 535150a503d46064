#include "fakes/fake_input_api.h"

#include <ostream>

namespace tarnu::fakes {

std::ostream& operator<<(std::ostream& out, const InputCall& call) {
  if (call.kind == InputCall::Kind::kSetCursorPos) {
    return out << "SetCursorPos(" << call.x << ", " << call.y << ")";
  }
  const platform::InputRecord& r = call.record;
  out << std::hex << std::showbase;
  if (r.type == platform::InputRecord::Type::kKeyboard) {
    out << "key{vk " << r.virtual_key << ", scan " << r.scan_code << ", flags " << r.flags << "}";
  } else {
    out << "mouse{flags " << r.flags << std::dec << ", dx " << r.dx << ", dy " << r.dy << ", data "
        << static_cast<std::int32_t>(r.mouse_data) << "}";
  }
  return out << std::dec << std::noshowbase;
}

platform::SendInputResult FakeInputApi::send_input(const platform::InputRecord& record) {
  calls.push_back(InputCall::Sent(record));
  return refusal_ ? platform::SendInputResult{0, *refusal_}
                  : platform::SendInputResult{1, platform::kErrorSuccess};
}

void FakeInputApi::set_cursor_pos(std::int32_t x, std::int32_t y) {
  calls.push_back(InputCall::Cursor(x, y));
}

std::int32_t FakeInputApi::get_system_metrics(int index) {
  metric_queries.push_back(index);
  switch (index) {
    case platform::kSmXVirtualScreen:
      return left;
    case platform::kSmYVirtualScreen:
      return top;
    case platform::kSmCxVirtualScreen:
      return width;
    case platform::kSmCyVirtualScreen:
      return height;
    default:
      return 0;
  }
}

std::uint32_t FakeInputApi::map_virtual_key(std::uint32_t code, std::uint32_t map_type) {
  map_types.push_back(map_type);
  const auto it = scan_codes.find(code);
  return it == scan_codes.end() ? 0 : it->second;
}

}  // namespace tarnu::fakes
