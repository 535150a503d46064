#pragma once

// What FileSystemApi does, written once and run against the recording fake (native tree) and
// against the Win32 class (Windows tree, under Wine). A world gives the interface and arranges
// what a case needs: a folder of its own, files with content, hard links, environment
// variables.

#include <gtest/gtest.h>

#include "contract/contract_text.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system_api.h"
#include "platform/handle_api.h"

namespace tarnu::contract {

class FileSystemWorld {
 public:
  virtual ~FileSystemWorld() = default;

  virtual platform::FileSystemApi& api() = 0;
  virtual platform::HandleApi& handles() = 0;
  // An empty folder that belongs to this case, without a trailing backslash.
  virtual std::u16string folder() = 0;
  virtual void make_file(const std::u16string& path, std::string_view content) = 0;
  virtual std::string content(const std::u16string& path) = 0;
  // A second name for an existing file.
  virtual void make_hard_link(const std::u16string& existing, const std::u16string& link) = 0;
  // Sets (or, with nothing, removes) a variable of the process's environment.
  virtual void set_environment(const std::u16string& name,
                               const std::optional<std::u16string>& value) = 0;
  // Makes `folder` (no trailing backslash) the process's temporary-files directory, as the
  // TMP variable does.
  virtual void use_temporary_folder(const std::u16string& folder) = 0;
  // The SID text of the user the process runs as.
  virtual std::u16string process_user_sid() = 0;
};

class FileSystemContract : public ContractTest<FileSystemWorld> {};

}  // namespace tarnu::contract
