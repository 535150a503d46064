// The file system contract against the in-memory fake.

#include "contract/contract.h"
#include "fakes/fake_file_system_api.h"
#include "fakes/fake_handle_api.h"

namespace tarnu::contract {
namespace {

class FakeFileSystemWorld final : public FileSystemWorld {
 public:
  FakeFileSystemWorld() {
    files_.directories.insert(u"C:\\Work");
    files_.default_owner = kUser;
  }
  ~FakeFileSystemWorld() override {
    EXPECT_EQ(ledger_.open_count(), 0u);
    EXPECT_TRUE(ledger_.misuses().empty());
  }

  platform::FileSystemApi& api() override { return files_; }
  platform::HandleApi& handles() override { return handles_; }
  std::u16string folder() override { return u"C:\\Work"; }
  void make_file(const std::u16string& path, std::string_view content) override {
    files_.files[path] = std::string(content);
  }
  std::string content(const std::u16string& path) override { return files_.files.at(path); }
  void make_hard_link(const std::u16string& existing, const std::u16string& link) override {
    files_.files[link] = files_.files.at(existing);
    files_.link_counts[existing] = files_.link_counts[link] = 2;
  }
  void set_environment(const std::u16string& name,
                       const std::optional<std::u16string>& value) override {
    if (value) {
      files_.environment[name] = *value;
    } else {
      files_.environment.erase(name);
    }
  }
  void use_temporary_folder(const std::u16string& folder) override {
    files_.temp_directory = folder + u"\\";
  }
  std::u16string process_user_sid() override { return kUser; }

 private:
  static constexpr const char16_t* kUser = u"S-1-5-21-1-2-3-1001";
  fakes::HandleLedger ledger_;
  fakes::EventJournal journal_;
  fakes::FakeHandleApi handles_{ledger_};
  fakes::FakeFileSystemApi files_{ledger_, journal_};
};

std::unique_ptr<FileSystemWorld> fake_world() { return std::make_unique<FakeFileSystemWorld>(); }

INSTANTIATE_TEST_SUITE_P(Fake, FileSystemContract, ::testing::Values(&fake_world));

}  // namespace
}  // namespace tarnu::contract
