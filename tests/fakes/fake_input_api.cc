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

}  // namespace tarnu::fakes
