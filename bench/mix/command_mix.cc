#include "mix/command_mix.h"

#include "common/command_encoder.h"

namespace tarnu::bench {
namespace {

using protocol::InputCommand;

constexpr std::uint16_t kKeyA = 0x41;

// A pointer path that sweeps the screen without standing still: consecutive moves differ.
std::int32_t path_x(std::size_t index) { return 40 + static_cast<std::int32_t>(index * 37 % 1840); }
std::int32_t path_y(std::size_t index) { return 30 + static_cast<std::int32_t>(index * 23 % 1020); }

}  // namespace

InputCommand mix_command(std::size_t index) {
  const std::int32_t x = path_x(index);
  const std::int32_t y = path_y(index);
  switch (index % kMixCycle) {
    case 3:
      return {InputCommand::Key{kKeyA, true}};
    case 5:
      return {InputCommand::Key{kKeyA, false}};
    case 8:
      return {InputCommand::MouseButton{protocol::MouseButton::kLeft, true, x, y}};
    case 9:
    case 10:
      return {InputCommand::MouseMove{x, y, protocol::MouseButton::kLeft}};
    case 11:
      return {InputCommand::MouseButton{protocol::MouseButton::kLeft, false, x, y}};
    default:
      return {InputCommand::MouseMove{x, y, std::nullopt}};
  }
}

std::vector<std::uint8_t> mix_stream(std::size_t count, std::vector<std::size_t>* offsets) {
  std::vector<std::uint8_t> stream;
  if (offsets != nullptr) {
    offsets->clear();
  }
  for (std::size_t index = 0; index < count; ++index) {
    if (offsets != nullptr) {
      offsets->push_back(stream.size());
    }
    const std::vector<std::uint8_t> frame =
        tools::frame_payload(tools::encode_input_command(mix_command(index)));
    stream.insert(stream.end(), frame.begin(), frame.end());
  }
  if (offsets != nullptr) {
    offsets->push_back(stream.size());
  }
  return stream;
}

}  // namespace tarnu::bench
