// The package's custom actions (tarnu-installer-actions.dll, stored in the package's Binary
// table). Windows Installer runs them deferred and without impersonation, that is as
// LocalSystem, inside its own custom-action server: no program is started and no window can
// appear. A console program started the same way (reg.exe, sc.exe) would open a LocalSystem
// console window on the desktop of whoever started the installation, and a repair, which runs
// the same actions, may be started by a standard user.
//
// Keys, value names and the service are fixed here. CustomActionData carries at most one value
// and is checked strictly (sas_setting.h): the properties it is built from can be set by
// whoever starts the installation. Data that an action does not take changes nothing, as the
// package leaves alone a policy value it does not know.
//
// Return values: ERROR_SUCCESS, or ERROR_INSTALL_FAILURE when the change itself failed, which
// fails the installation for the actions whose Return is "check" only.

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <iterator>
#include <optional>
#include <string>

#include "installer_actions/sas_setting.h"

namespace {

using tarnu::installer_actions::is_remembered_sas;
using tarnu::installer_actions::parse_sas_policy;

// Where the package keeps the policy value it found before its first install. The parent is
// the product's key, removed with the last of what the product keeps there.
constexpr wchar_t kProductKey[] = L"SOFTWARE\\Tarnu";
constexpr wchar_t kMemoryKey[] = L"SOFTWARE\\Tarnu\\Input helper";
constexpr wchar_t kMemoryValue[] = L"SoftwareSASGenerationBefore";
constexpr wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr wchar_t kPolicyValue[] = L"SoftwareSASGeneration";
constexpr wchar_t kServiceName[] = L"TarnuInputService";
// The 64-bit view, which is where the system reads the policy, named explicitly.
constexpr REGSAM kView = KEY_WOW64_64KEY;

// Owns one handle and closes it once.
template <typename Handle, auto Close>
class Owned {
 public:
  Owned() = default;
  explicit Owned(Handle handle) : handle_(handle) {}
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (handle_ != nullptr) {
      Close(handle_);
    }
  }
  Handle get() const { return handle_; }
  // For the functions that hand a new handle out through a pointer; the owner is empty then.
  Handle* receive() { return &handle_; }

 private:
  Handle handle_ = nullptr;
};
using RegistryKey = Owned<HKEY, &::RegCloseKey>;
using ServiceHandle = Owned<SC_HANDLE, &::CloseServiceHandle>;

// One line in the installation's log (msiexec /l*v). The text goes in as a field, so that
// brackets in it are not formatted.
void log_line(MSIHANDLE install, const std::wstring& text) {
  PMSIHANDLE record = ::MsiCreateRecord(1);
  ::MsiRecordSetStringW(record, 0, L"Tarnu installer actions: [1]");
  ::MsiRecordSetStringW(record, 1, text.c_str());
  ::MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
}

// CustomActionData when it is short enough to be a value the actions take; nullopt otherwise.
std::optional<std::wstring> action_data(MSIHANDLE install) {
  wchar_t buffer[16] = {};
  DWORD length = std::size(buffer);
  if (::MsiGetPropertyW(install, L"CustomActionData", buffer, &length) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  return std::wstring(buffer, length);
}

UINT ignore_data(MSIHANDLE install, const wchar_t* action,
                 const std::optional<std::wstring>& data) {
  log_line(install, std::wstring(action) + L": ignored CustomActionData \"" +
                        data.value_or(L"(too long)") + L"\"; nothing changed");
  return ERROR_SUCCESS;
}

UINT result_of(MSIHANDLE install, const wchar_t* action, LSTATUS status) {
  if (status == ERROR_SUCCESS) {
    return ERROR_SUCCESS;
  }
  log_line(install,
           std::wstring(action) + L" failed with Windows error " + std::to_wstring(status));
  return ERROR_INSTALL_FAILURE;
}

LSTATUS write_value(const wchar_t* key_path, const wchar_t* name, DWORD type, const void* data,
                    DWORD size) {
  RegistryKey key;
  LSTATUS status =
      ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE | kView, nullptr, key.receive(), nullptr);
  if (status == ERROR_SUCCESS) {
    status = ::RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size);
  }
  return status;
}

// A value that is already gone is what was wanted.
LSTATUS delete_value(const wchar_t* key_path, const wchar_t* name) {
  RegistryKey key;
  LSTATUS status =
      ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_SET_VALUE | kView, key.receive());
  if (status == ERROR_SUCCESS) {
    status = ::RegDeleteValueW(key.get(), name);
  }
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

// Deletes the key when it holds neither values nor subkeys; a key with something in it is
// someone else's and stays.
LSTATUS delete_key_if_empty(const wchar_t* key_path) {
  DWORD subkeys = 0;
  DWORD values = 0;
  {
    RegistryKey key;
    LSTATUS status =
        ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_path, 0, KEY_QUERY_VALUE | kView, key.receive());
    if (status == ERROR_SUCCESS) {
      status = ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                                  &values, nullptr, nullptr, nullptr, nullptr);
    }
    if (status != ERROR_SUCCESS) {
      return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
    }
  }
  if (subkeys != 0 || values != 0) {
    return ERROR_SUCCESS;
  }
  const LSTATUS status = ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key_path, kView, 0);
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS set_policy(DWORD value) {
  return write_value(kPolicyKey, kPolicyValue, REG_DWORD, &value, sizeof(value));
}

// Restart 5 s after each of the first two failures and 30 s after later ones; the count of
// failures starts over after a day without one. Reboot message and command stay as they are.
DWORD set_service_recovery() {
  const ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (manager.get() == nullptr) {
    return ::GetLastError();
  }
  // A restart action needs SERVICE_START on the handle as well.
  const ServiceHandle service(
      ::OpenServiceW(manager.get(), kServiceName, SERVICE_CHANGE_CONFIG | SERVICE_START));
  if (service.get() == nullptr) {
    return ::GetLastError();
  }
  SC_ACTION actions[] = {
      {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 30000}};
  SERVICE_FAILURE_ACTIONSW failure{};
  failure.dwResetPeriod = 86400;
  failure.cActions = std::size(actions);
  failure.lpsaActions = actions;
  if (!::ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) {
    return ::GetLastError();
  }
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" {

// Remembers the policy value found before the first install: "absent" or 0 to 3, or "leave".
__declspec(dllexport) UINT __stdcall RememberSasValue(MSIHANDLE install) {
  const std::optional<std::wstring> data = action_data(install);
  if (!data || !is_remembered_sas(*data)) {
    return ignore_data(install, L"RememberSasValue", data);
  }
  const auto size = static_cast<DWORD>((data->size() + 1) * sizeof(wchar_t));
  return result_of(install, L"RememberSasValue",
                   write_value(kMemoryKey, kMemoryValue, REG_SZ, data->c_str(), size));
}

// Forgets it, and removes the product's keys when nothing else is left in them.
__declspec(dllexport) UINT __stdcall ForgetSasValue(MSIHANDLE install) {
  LSTATUS status = delete_value(kMemoryKey, kMemoryValue);
  if (status == ERROR_SUCCESS) {
    status = delete_key_if_empty(kMemoryKey);
  }
  if (status == ERROR_SUCCESS) {
    status = delete_key_if_empty(kProductKey);
  }
  return result_of(install, L"ForgetSasValue", status);
}

// Sets SoftwareSASGeneration to a value from 0 to 3 (REG_DWORD).
__declspec(dllexport) UINT __stdcall SetSasPolicy(MSIHANDLE install) {
  const std::optional<std::wstring> data = action_data(install);
  const std::optional<std::uint32_t> value = data ? parse_sas_policy(*data) : std::nullopt;
  if (!value) {
    return ignore_data(install, L"SetSasPolicy", data);
  }
  return result_of(install, L"SetSasPolicy", set_policy(*value));
}

// Deletes SoftwareSASGeneration.
__declspec(dllexport) UINT __stdcall DeleteSasPolicy(MSIHANDLE install) {
  return result_of(install, L"DeleteSasPolicy", delete_value(kPolicyKey, kPolicyValue));
}

// The service's recovery actions (see set_service_recovery).
__declspec(dllexport) UINT __stdcall SetServiceRecovery(MSIHANDLE install) {
  return result_of(install, L"SetServiceRecovery", static_cast<LSTATUS>(set_service_recovery()));
}

}  // extern "C"
