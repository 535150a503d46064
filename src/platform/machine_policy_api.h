#pragma once

#include <cstdint>
#include <optional>

#include "platform/expected.h"
#include "platform/types.h"

namespace tarnu::platform {

// Machine settings the service checks when it starts, read only.
class MachinePolicyApi {
 public:
  virtual ~MachinePolicyApi() = default;

  // RegGetValueW(HKEY_LOCAL_MACHINE,
  // L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System",
  // L"SoftwareSASGeneration", RRF_RT_REG_DWORD): who may raise Ctrl+Alt+Del in software
  // (0 nobody, 1 services, 2 Ease of Access programs, 3 both). Empty when the value (or its
  // key) is absent; fails with the error of any other refusal, a value of another type
  // included (ERROR_UNSUPPORTED_TYPE).
  virtual Expected<std::optional<std::uint32_t>, WindowsErrorCode> software_sas_generation() = 0;
};

}  // namespace tarnu::platform
