#pragma once

#include "platform/expected.h"
#include "platform/library_api.h"

namespace tarnu::windows_input {

inline constexpr char kSasLibraryUnavailable[] =
    "SAS.dll is not available on this Windows installation";
inline constexpr char kSendSasUnavailable[] = "SendSAS entry point is not available";

// Raises the secure attention sequence (Ctrl+Alt+Del) through sas.dll, loaded and freed
// for this one request.
Status send_secure_attention(platform::LibraryApi& libraries);

}  // namespace tarnu::windows_input
