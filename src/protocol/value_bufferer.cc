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

std::optional<DecodeFault> ValueBufferer::buffer_value() {
  auto header = reader_.read_header();
  if (!header) {
    return header.error();
  }
  return buffer_contents(*header);
}

std::optional<DecodeFault> ValueBufferer::buffer_contents(const BufferedValue& header) {
  const std::size_t index = values_.size();
  values_.push_back(header);
  if (header.kind != ValueKind::kArray && header.kind != ValueKind::kMap &&
      header.kind != ValueKind::kExt) {
    return std::nullopt;
  }
  if (!budget_.enter()) {
    return make_fault(FaultCode::kDepthLimit);
  }
  if (header.kind == ValueKind::kExt) {
    auto fault = reader_.read_ext_contents(values_[index]);
    budget_.leave();
    return fault;
  }
  const std::uint64_t nested =
      std::uint64_t{header.count} * (header.kind == ValueKind::kMap ? 2 : 1);
  const std::uint64_t ahead =
      std::min({nested, std::uint64_t{reader_.remaining()}, kMaxReservedValues});
  values_.reserve(values_.size() + static_cast<std::size_t>(ahead));
  for (std::uint64_t i = 0; i < nested; ++i) {
    if (auto fault = buffer_value()) {
      return fault;
    }
  }
  budget_.leave();
  values_[index].extent = static_cast<std::uint32_t>(values_.size() - index);
  return std::nullopt;
}

}  // namespace tarnu::protocol
