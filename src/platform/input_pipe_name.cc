#include "platform/input_pipe_name.h"

namespace tarnu::platform {

std::u16string input_pipe_name(std::uint32_t session) {
  const std::string digits = std::to_string(session);
  std::u16string name = u"\\\\.\\pipe\\tarnu-input-s";
  name.append(digits.begin(), digits.end());
  return name;
}

}  // namespace tarnu::platform
