// Feeds arbitrary payloads to the decoder. Beyond the sanitizers' checks (the input buffer is
// exactly as long as the payload, so any over-read is caught), every answer must be a whole
// command or one error text with the decoder's prefix, and the same bytes must always get
// the same answer.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string_view>

#include "protocol/decode_input_command.h"

namespace {

constexpr std::string_view kPrefix = "decode input command: ";

[[noreturn]] void fail(const char* what) {
  std::fputs(what, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> payload(data, size);
  const auto first = tarnu::protocol::decode_input_command(payload);
  const auto second = tarnu::protocol::decode_input_command(payload);
  if (first.has_value() != second.has_value()) {
    fail("answers differ");
  }
  if (first) {
    if (!(*first == *second) || first->value.valueless_by_exception()) {
      fail("commands differ");
    }
    return 0;
  }
  const std::string& error = first.error();
  if (error != second.error()) {
    fail("error texts differ");
  }
  if (error.size() <= kPrefix.size() ||
      std::string_view(error).substr(0, kPrefix.size()) != kPrefix) {
    fail("error text without the decoder's prefix");
  }
  return 0;
}
