#pragma once

// What the Windows worlds of the contract tests share (Windows tree only).

#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>

namespace tarnu::contract {

inline const wchar_t* wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline std::u16string from_wide(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

// A name no other case or run uses: the process id and a counter.
inline std::u16string unique_suffix() {
  static int counter = 0;
  return std::u16string(u"tarnu-contract-") +
         std::u16string(
             reinterpret_cast<const char16_t*>(std::to_wstring(::GetCurrentProcessId()).c_str())) +
         u"-" +
         std::u16string(reinterpret_cast<const char16_t*>(std::to_wstring(++counter).c_str()));
}

// Deletes a folder and everything in it.
inline void remove_tree(const std::wstring& folder) {
  WIN32_FIND_DATAW entry{};
  HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name == L"." || name == L"..") {
        continue;
      }
      const std::wstring path = folder + L"\\" + name;
      if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        remove_tree(path);
      } else {
        ::DeleteFileW(path.c_str());
      }
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
  }
  EXPECT_TRUE(::RemoveDirectoryW(folder.c_str())) << "error " << ::GetLastError();
}

// The SID text of the process's token user.
inline std::u16string process_user_sid_text() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
    return u"";
  }
  alignas(TOKEN_USER) unsigned char buffer[256];
  DWORD size = 0;
  std::u16string text;
  if (::GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &size)) {
    LPWSTR sid = nullptr;
    if (::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &sid)) {
      text = from_wide(sid);
      ::LocalFree(sid);
    }
  }
  ::CloseHandle(token);
  return text;
}

}  // namespace tarnu::contract
