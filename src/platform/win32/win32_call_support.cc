#include "platform/win32/win32_call_support.h"

#include <sddl.h>

#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {

std::u16string system_message(WindowsErrorCode code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
  if (length == 0 || text == nullptr) {
    return {};
  }
  ScopedMessageText owner(handle_api(), wrap<MessageText>(text));
  std::u16string message(reinterpret_cast<const char16_t*>(text), length);
  while (!message.empty() &&
         (message.back() == u'\r' || message.back() == u'\n' || message.back() == u' ')) {
    message.pop_back();
  }
  return message;
}

Expected<SecurityDescriptor, WindowsErrorCode> descriptor_from_sddl(std::u16string_view sddl) {
  const std::u16string text(sddl);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(wide(text), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
    return last_error();
  }
  return wrap<SecurityDescriptor>(descriptor);
}

Expected<PACL, WindowsErrorCode> present_dacl(SecurityDescriptor descriptor) {
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!::GetSecurityDescriptorDacl(to_pointer(descriptor), &present, &dacl, &defaulted)) {
    return last_error();
  }
  if (!present || dacl == nullptr) {
    return Unexpected(static_cast<WindowsErrorCode>(ERROR_INVALID_SECURITY_DESCR));
  }
  return dacl;
}

}  // namespace tarnu::platform::win32
