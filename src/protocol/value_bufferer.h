#pragma once

#include <optional>

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

  // Reads the next value whole and appends it.
  std::optional<DecodeFault> buffer_value();

  // Appends a value whose header was just read, then reads its contents.
  std::optional<DecodeFault> buffer_contents(const BufferedValue& header);

 private:
  PayloadReader& reader_;
  NestingBudget& budget_;
  BufferedValues& values_;
};

}  // namespace tarnu::protocol
