// The run-time lookup of exports of System32 libraries, against the real loader (Windows tree,
// run under Wine).

#include "platform/win32/system_procedure.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnu::platform::win32 {
namespace {

using QueryUserToken = BOOL(WINAPI*)(ULONG, PHANDLE);

// An export is found, or there is no function and the code of the call that failed, for the
// caller's error text. A library that exists only beside the test program is not found:
// System32 alone is searched.
TEST(SystemProcedureTest, FindsTheExportOrKeepsTheWindowsError) {
  wchar_t own[MAX_PATH];
  ASSERT_GT(::GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
  std::wstring beside = own;
  beside.replace(beside.find_last_of(L'\\') + 1, std::wstring::npos, L"tarnu-beside-only.dll");
  // Any loadable DLL will do; the test program itself is not one, so copy a system library.
  wchar_t system[MAX_PATH];
  ASSERT_GT(::GetSystemDirectoryW(system, MAX_PATH), 0u);
  const std::wstring source = std::wstring(system) + L"\\wtsapi32.dll";
  ASSERT_TRUE(::CopyFileW(source.c_str(), beside.c_str(), FALSE));
  struct Case {
    const wchar_t* library;
    const char* name;
    WindowsErrorCode error;
  };
  const Case cases[] = {
      {L"wtsapi32.dll", "WTSQueryUserToken", 0},
      {L"wtsapi32.dll", "NoSuchExport", ERROR_PROC_NOT_FOUND},
      {L"no-such-library-tarnu.dll", "WTSQueryUserToken", ERROR_MOD_NOT_FOUND},
      {L"tarnu-beside-only.dll", "WTSQueryUserToken", ERROR_MOD_NOT_FOUND},
  };
  for (const Case& c : cases) {
    const SystemProcedure<QueryUserToken> query(c.library, c.name);
    EXPECT_EQ(query.function() != nullptr, c.error == 0) << c.library << " " << c.name;
    EXPECT_EQ(query.error(), c.error) << c.library << " " << c.name;
  }
  ::DeleteFileW(beside.c_str());
}

}  // namespace
}  // namespace tarnu::platform::win32
