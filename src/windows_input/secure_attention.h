#pragma once

#include "platform/library_api.h"

namespace tarnu::windows_input {

// Raises the secure attention sequence (Ctrl+Alt+Del) through sas.dll, loaded and freed
// for this one request. False when sas.dll or its SendSAS export is missing; nobody reports
// more than that, since the request's outcome is not recorded anywhere.
bool send_secure_attention(platform::LibraryApi& libraries);

}  // namespace tarnu::windows_input
