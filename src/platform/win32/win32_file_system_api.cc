#include "platform/win32/win32_file_system_api.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>

#include "platform/handle_api.h"
#include "platform/win32/system_procedure.h"
#include "platform/win32/win32_call_support.h"
#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {

// The attribute bits the portable code looks at, held to the SDK's.
static_assert(kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY);
static_assert(kFileAttributeReparsePoint == FILE_ATTRIBUTE_REPARSE_POINT);

namespace {

using GetTempPathFunction = DWORD(WINAPI*)(DWORD, LPWSTR);

// GetTempPath2W exists from Windows 11 and Server 2022 on (and gives SYSTEM a private
// directory); older systems have only GetTempPathW, so the newer one is looked up at run
// time.
GetTempPathFunction get_temp_path_function() {
  static const SystemProcedure<GetTempPathFunction> newer(L"kernel32.dll", "GetTempPath2W");
  return newer.function() != nullptr ? newer.function() : &::GetTempPathW;
}

}  // namespace

bool Win32FileSystemApi::environment_variable(const char16_t* name, std::u16string& value) {
  // Whatever storage the buffer has is offered first, so that a value which fit last time
  // is read without touching the heap.
  value.resize(std::max<std::size_t>(value.capacity(), 64));
  for (;;) {
    // A set but empty variable also gives 0, and leaves the last error untouched.
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length =
        ::GetEnvironmentVariableW(wide(name), wide(value), static_cast<DWORD>(value.size()));
    if (length == 0) {
      value.clear();
      return last_error_code() != ERROR_ENVVAR_NOT_FOUND;
    }
    if (length < value.size()) {
      value.resize(length);
      return true;
    }
    // Too small: length is the size needed, terminator included.
    value.resize(length);
  }
}

Expected<void, WindowsErrorCode> Win32FileSystemApi::temporary_directory(std::u16string& path) {
  const GetTempPathFunction get_temp_path = get_temp_path_function();
  path.resize(std::max<std::size_t>(path.capacity(), MAX_PATH + 1));
  for (;;) {
    const DWORD length = get_temp_path(static_cast<DWORD>(path.size()), wide(path));
    if (length == 0) {
      const WindowsErrorCode error = last_error_code();
      path.clear();
      return Unexpected(error);
    }
    if (length < path.size()) {
      path.resize(length);
      return {};
    }
    path.resize(length + 1);
  }
}

Expected<void, WindowsErrorCode> Win32FileSystemApi::create_directory(const std::u16string& path) {
  if (!::CreateDirectoryW(wide(path), nullptr)) {
    return last_error();
  }
  return {};
}

Expected<void, WindowsErrorCode> Win32FileSystemApi::create_directory_with_security(
    const std::u16string& path, std::u16string_view sddl) {
  const auto descriptor = descriptor_from_sddl(sddl);
  if (!descriptor) {
    return Unexpected(descriptor.error());
  }
  const ScopedSecurityDescriptor owned(handle_api(), *descriptor);
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = to_pointer(owned.get());
  attributes.bInheritHandle = FALSE;
  if (!::CreateDirectoryW(wide(path), &attributes)) {
    return last_error();
  }
  return {};
}

Expected<FileHandle, WindowsErrorCode> Win32FileSystemApi::open_for_inspection(
    const std::u16string& path) {
  // Backup semantics: the only way CreateFileW opens a folder. No FILE_SHARE_DELETE: nobody
  // renames the folder away while it is held.
  HANDLE object = ::CreateFileW(wide(path), READ_CONTROL | WRITE_DAC | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (object == INVALID_HANDLE_VALUE) {
    return last_error();
  }
  return wrap<FileHandle>(object);
}

Expected<SecurityDescriptor, WindowsErrorCode> Win32FileSystemApi::security_descriptor_from_sddl(
    std::u16string_view sddl) {
  return descriptor_from_sddl(sddl);
}

Expected<FileHandle, WindowsErrorCode> Win32FileSystemApi::open_or_create_for_writing(
    const std::u16string& path, SecurityDescriptor security_descriptor) {
  // OPEN_ALWAYS rather than CREATE_ALWAYS: an existing file is not truncated before the
  // caller has looked at what it is. The descriptor counts only when the file is created.
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = to_pointer(security_descriptor);
  attributes.bInheritHandle = FALSE;
  HANDLE file =
      ::CreateFileW(wide(path), GENERIC_WRITE | WRITE_DAC | FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes,
                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return last_error();
  }
  return wrap<FileHandle>(file);
}

Expected<void, WindowsErrorCode> Win32FileSystemApi::set_protected_dacl(
    FileHandle file, SecurityDescriptor security_descriptor) {
  if (const auto dacl = present_dacl(security_descriptor); !dacl) {
    return Unexpected(dacl.error());
  }
  // The descriptor goes to the object as it is (NtSetSecurityObject): no inheritance is
  // worked out from the parent and nothing below a folder is touched.
  if (!::SetKernelObjectSecurity(to_handle(file),
                                 DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                 to_pointer(security_descriptor))) {
    return last_error();
  }
  return {};
}

Expected<FileFacts, WindowsErrorCode> Win32FileSystemApi::file_facts(FileHandle file) {
  // Two small queries rather than GetFileInformationByHandle, which asks for everything
  // (the volume too) and fails on objects that are not disk files under Wine.
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_STANDARD_INFO standard{};
  if (!::GetFileInformationByHandleEx(to_handle(file), FileAttributeTagInfo, &tag, sizeof(tag)) ||
      !::GetFileInformationByHandleEx(to_handle(file), FileStandardInfo, &standard,
                                      sizeof(standard))) {
    return last_error();
  }
  return FileFacts{tag.FileAttributes, standard.NumberOfLinks,
                   static_cast<std::uint64_t>(standard.EndOfFile.QuadPart)};
}

Expected<void, WindowsErrorCode> Win32FileSystemApi::owner_sid_text(FileHandle file,
                                                                    std::u16string& text) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  // GetSecurityInfo returns its error rather than setting the last error.
  const DWORD result =
      ::GetSecurityInfo(to_handle(file), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                        nullptr, nullptr, nullptr, &descriptor);
  if (result != ERROR_SUCCESS) {
    return Unexpected(static_cast<WindowsErrorCode>(result));
  }
  // `owner` points into `descriptor`, which is freed last.
  const ScopedSecurityDescriptor owned_descriptor(handle_api(),
                                                  wrap<SecurityDescriptor>(descriptor));
  if (owner == nullptr) {
    return Unexpected(static_cast<WindowsErrorCode>(ERROR_INVALID_SID));
  }
  LPWSTR sid_text = nullptr;
  if (!::ConvertSidToStringSidW(owner, &sid_text)) {
    return last_error();
  }
  const ScopedSidText owned_text(handle_api(), wrap<SidText>(sid_text));
  text.assign(reinterpret_cast<const char16_t*>(sid_text));
  return {};
}

Expected<void, WindowsErrorCode> Win32FileSystemApi::truncate(FileHandle file) {
  if (!::SetEndOfFile(to_handle(file))) {
    return last_error();
  }
  return {};
}

Expected<std::uint32_t, WindowsErrorCode> Win32FileSystemApi::write_file(
    FileHandle file, std::span<const std::uint8_t> bytes) {
  DWORD written = 0;
  if (!::WriteFile(to_handle(file), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                   nullptr)) {
    return last_error();
  }
  return static_cast<std::uint32_t>(written);
}

std::uint64_t Win32FileSystemApi::precise_system_time() {
  FILETIME now{};
  ::GetSystemTimePreciseAsFileTime(&now);
  return (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

FileSystemApi& file_system_api() {
  static Win32FileSystemApi api;
  return api;
}

}  // namespace tarnu::platform::win32
