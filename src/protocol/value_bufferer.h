#pragma once

#include "protocol/buffered_value.h"
#include "protocol/decode_fault.h"
#include "protocol/nesting_budget.h"
#include "protocol/payload_reader.h"

namespace tarnu::protocol {

// Reads whole values, nested ones included, from the payload into the buffered values,
// spending the payload's nesting budget on every array, map and ext.
class ValueBufferer {
 public:
  ValueBufferer(PayloadReader& reader, NestingBudget& budget, BufferedValues& values);

  // Reads the next value whole and appends it. Returns the reading fault, or kNone.
  // Inline for the plain values that make up most payloads.
  [[nodiscard]] FaultCode buffer_value() {
    BufferedValue& value = values_.append();
    if (const FaultCode fault = reader_.read_header(value); fault != FaultCode::kNone) {
      return fault;
    }
    if (value.kind != ValueKind::kArray && value.kind != ValueKind::kMap &&
        value.kind != ValueKind::kExt) {
      return FaultCode::kNone;
    }
    return buffer_contents(values_.size() - 1);
  }

 private:
  // Reads the contents of the array, map or ext just appended at `index`.
  FaultCode buffer_contents(std::size_t index);

  PayloadReader& reader_;
  NestingBudget& budget_;
  BufferedValues& values_;
};

}  // namespace tarnu::protocol
