#include "protocol/value_bufferer.h"

#include <algorithm>
#include <cstdint>

namespace tarnu::protocol {
namespace {

// A declared count is never trusted for memory: room reserved ahead for one container is
// capped at 1 MiB, and at the bytes left in the payload, since every value takes at least
// one byte. Beyond that, storage grows only as values are actually read.
constexpr std::uint64_t kMaxReservedValues = (1u << 20) / sizeof(BufferedValue);

}  // namespace

ValueBufferer::ValueBufferer(PayloadReader& reader, NestingBudget& budget, BufferedValues& values)
    : reader_(reader), budget_(budget), values_(values) {}

FaultCode ValueBufferer::buffer_contents(std::size_t index) {
  if (!budget_.enter()) {
    return FaultCode::kDepthLimit;
  }
  BufferedValue& container = values_[index];
  if (container.kind == ValueKind::kExt) {
    const FaultCode fault = reader_.read_ext_contents(container);
    budget_.leave();
    return fault;
  }
  const std::uint64_t nested =
      std::uint64_t{container.count} * (container.kind == ValueKind::kMap ? 2 : 1);
  const std::uint64_t ahead =
      std::min({nested, std::uint64_t{reader_.remaining()}, kMaxReservedValues});
  values_.reserve(values_.size() + static_cast<std::size_t>(ahead));
  // `container` may move from here on, as nested values are appended.
  for (std::uint64_t i = 0; i < nested; ++i) {
    if (const FaultCode fault = buffer_value(); fault != FaultCode::kNone) {
      return fault;
    }
  }
  budget_.leave();
  values_[index].extent = static_cast<std::uint32_t>(values_.size() - index);
  return FaultCode::kNone;
}

}  // namespace tarnu::protocol
