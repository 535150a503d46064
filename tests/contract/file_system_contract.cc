#include "contract/contract.h"

#include <cstdint>
#include <functional>
#include <span>

namespace tarnu::contract {
namespace {

using platform::ScopedFile;
using platform::WindowsErrorCode;

// The status folder's descriptor, as the worker makes it.
constexpr std::u16string_view kFolderSddl = u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr std::u16string_view kAdministrators = u"S-1-5-32-544";

// The status file's descriptor, as the worker makes it, with the process's user as reader.
platform::ScopedSecurityDescriptor file_descriptor(World& world) {
  const auto made = world.files().security_descriptor_from_sddl(
      u"D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;" + world.process_user_sid() + u")");
  EXPECT_TRUE(made);
  return made ? platform::ScopedSecurityDescriptor(world.handles(), *made)
              : platform::ScopedSecurityDescriptor();
}

std::span<const std::uint8_t> bytes(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// What is refused, and with which code: 2 for a missing name, 3 when a folder on the way is
// missing, 183 where a folder or a file already is, 87 for descriptor text that does not
// convert (and nothing is made), 5 for a folder opened for writing (CreateFileW without
// backup semantics).
TEST_F(FileSystemContract, RefusalsGiveTheirCodes) {
  platform::FileSystemApi& files = world_->files();
  const auto descriptor = file_descriptor(*world_);
  const std::u16string root = world_->folder();
  const std::u16string folder = root + u"\\made";
  const std::u16string file = root + u"\\file.txt";
  ASSERT_TRUE(files.create_directory(folder));
  world_->make_file(file, "x");
  const auto opened = [this](Expected<platform::FileHandle, WindowsErrorCode> result)
      -> Expected<void, WindowsErrorCode> {
    if (!result) {
      return Unexpected(result.error());
    }
    ScopedFile owner(world_->handles(), *result);
    return {};
  };
  const auto secured = [&](const std::u16string& path) {
    return files.create_directory_with_security(path, kFolderSddl);
  };
  struct Case {
    const char* what;
    std::function<Expected<void, WindowsErrorCode>()> call;
    WindowsErrorCode error;
  };
  const Case cases[] = {
      {"inspect a missing name",
       [&] { return opened(files.open_for_inspection(root + u"\\none")); },
       platform::kErrorFileNotFound},
      {"inspect under a missing folder",
       [&] { return opened(files.open_for_inspection(root + u"\\none\\x")); },
       platform::kErrorPathNotFound},
      {"write under a missing folder",
       [&] {
         return opened(files.open_or_create_for_writing(root + u"\\none\\x.txt", descriptor.get()));
       },
       platform::kErrorPathNotFound},
      {"folder under a missing folder",
       [&] { return files.create_directory(root + u"\\none\\sub"); }, platform::kErrorPathNotFound},
      {"secured folder under a missing folder", [&] { return secured(root + u"\\none\\sub"); },
       platform::kErrorPathNotFound},
      {"folder where a folder is", [&] { return files.create_directory(folder); },
       platform::kErrorAlreadyExists},
      {"secured folder where a folder is", [&] { return secured(folder); },
       platform::kErrorAlreadyExists},
      {"folder where a file is", [&] { return files.create_directory(file); },
       platform::kErrorAlreadyExists},
      {"secured folder where a file is", [&] { return secured(file); },
       platform::kErrorAlreadyExists},
      {"folder from garbled descriptor text",
       [&] {
         return files.create_directory_with_security(root + u"\\garbled", u"this is no descriptor");
       },
       platform::kErrorInvalidParameter},
      {"inspect what the garbled text made",
       [&] { return opened(files.open_for_inspection(root + u"\\garbled")); },
       platform::kErrorFileNotFound},
      {"open a folder for writing",
       [&] { return opened(files.open_or_create_for_writing(folder, descriptor.get())); },
       platform::kErrorAccessDenied},
  };
  for (const Case& c : cases) {
    const auto result = c.call();
    ASSERT_FALSE(result) << c.what;
    EXPECT_EQ(result.error(), c.error) << c.what;
  }
  EXPECT_EQ(world_->content(file), "x");
}

// OPEN_ALWAYS: an existing file is opened as it is, and a write lands at its start, over what
// was there; only truncate empties it.
TEST_F(FileSystemContract, OpenOrCreateKeepsContentUntilTruncated) {
  platform::FileSystemApi& files = world_->files();
  const auto descriptor = file_descriptor(*world_);
  const std::u16string path = world_->folder() + u"\\status.txt";
  world_->make_file(path, "hello world");
  {
    const auto opened = files.open_or_create_for_writing(path, descriptor.get());
    ASSERT_TRUE(opened);
    ScopedFile file(world_->handles(), *opened);
    const auto facts = files.file_facts(file.get());
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->size, 11u);
    const auto written = files.write_file(file.get(), bytes("HELLO"));
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, 5u);
  }
  EXPECT_EQ(world_->content(path), "HELLO world");
  {
    const auto opened = files.open_or_create_for_writing(path, descriptor.get());
    ASSERT_TRUE(opened);
    ScopedFile file(world_->handles(), *opened);
    ASSERT_TRUE(files.truncate(file.get()));
    const auto facts = files.file_facts(file.get());
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->size, 0u);
    ASSERT_TRUE(files.write_file(file.get(), bytes("new")));
    ASSERT_TRUE(files.write_file(file.get(), bytes(" line")));
  }
  EXPECT_EQ(world_->content(path), "new line");
}

// What file_facts and owner_sid_text report of what the process made: folders (plain and
// with the worker's descriptor), a file new from open_or_create_for_writing, a file with
// content and a file with a second name. Both names of a hard-linked file report two links; a
// folder reports one (not the Unix count of its subfolders, also under Wine), and nothing
// here is a reparse point. A file is marked for archiving (FILE_ATTRIBUTE_ARCHIVE, 0x20) and
// nothing else. Everything belongs to the process's user, or to Administrators when an
// elevated administrator makes it (Windows' default owner for such tokens).
TEST_F(FileSystemContract, FileFactsAndOwnersOfWhatTheProcessMade) {
  platform::FileSystemApi& files = world_->files();
  const auto descriptor = file_descriptor(*world_);
  const std::u16string folder = world_->folder() + u"\\sub";
  const std::u16string secured = world_->folder() + u"\\secured";
  const std::u16string fresh = world_->folder() + u"\\fresh.txt";
  const std::u16string single = world_->folder() + u"\\single.txt";
  const std::u16string linked = world_->folder() + u"\\linked.txt";
  const std::u16string link = world_->folder() + u"\\link.txt";
  ASSERT_TRUE(files.create_directory(folder));
  ASSERT_TRUE(files.create_directory_with_security(secured, kFolderSddl));
  {
    const auto created = files.open_or_create_for_writing(fresh, descriptor.get());
    ASSERT_TRUE(created);
    ScopedFile closed(world_->handles(), *created);
  }
  world_->make_file(single, "12345");
  world_->make_file(linked, "abc");
  world_->make_hard_link(linked, link);
  struct Case {
    std::u16string path;
    bool directory;
    std::uint32_t links;
    std::uint64_t size;
  };
  const Case cases[] = {
      {folder, true, 1, 0},  {secured, true, 1, 0}, {fresh, false, 1, 0},
      {single, false, 1, 5}, {linked, false, 2, 3}, {link, false, 2, 3},
  };
  const std::u16string user = world_->process_user_sid();
  for (const Case& c : cases) {
    const auto opened = files.open_for_inspection(c.path);
    ASSERT_TRUE(opened) << narrow(c.path);
    ScopedFile object(world_->handles(), *opened);
    const auto facts = files.file_facts(object.get());
    ASSERT_TRUE(facts) << narrow(c.path);
    if (c.directory) {
      EXPECT_EQ(facts->attributes &
                    (platform::kFileAttributeDirectory | platform::kFileAttributeReparsePoint),
                platform::kFileAttributeDirectory)
          << narrow(c.path);
    } else {
      EXPECT_EQ(facts->attributes, 0x20u) << narrow(c.path);
    }
    EXPECT_EQ(facts->link_count, c.links) << narrow(c.path);
    EXPECT_EQ(facts->size, c.size) << narrow(c.path);
    std::u16string owner = u"stale";
    ASSERT_TRUE(files.owner_sid_text(object.get(), owner)) << narrow(c.path);
    EXPECT_TRUE(owner == user || owner == kAdministrators)
        << narrow(c.path) << " owned by " << narrow(owner) << ", process user " << narrow(user);
  }
}

// Unset, empty and values around the first buffer (64 units) and far beyond it; the caller's
// buffer may hold a longer earlier value. Names are not case-sensitive.
TEST_F(FileSystemContract, EnvironmentVariablesOfAnyLength) {
  platform::FileSystemApi& files = world_->files();
  const std::u16string name = u"TARNU_CONTRACT_VALUE";
  const std::optional<std::size_t> lengths[] = {std::nullopt, 0, 1, 63, 64, 65, 1000, 20000, 3};
  std::u16string value = u"left over from before";
  for (const auto& length : lengths) {
    std::optional<std::u16string> expected;
    if (length) {
      expected = std::u16string();
      for (std::size_t i = 0; i < *length; ++i) {
        expected->push_back(static_cast<char16_t>(u'a' + i % 26));
      }
    }
    world_->set_environment(name, expected);
    const std::string label = length ? std::to_string(*length) + " units" : "unset";
    EXPECT_EQ(files.environment_variable(name.c_str(), value), expected.has_value()) << label;
    EXPECT_EQ(value, expected.value_or(u"")) << label;
    EXPECT_EQ(files.environment_variable(u"tarnu_contract_VALUE", value), expected.has_value())
        << label;
  }
}

// The temporary-files directory comes from TMP and always ends in a backslash. A TMP longer
// than MAX_PATH: GetTempPathW caps its result at MAX_PATH + 1 units; Wine fails with 206
// whatever the buffer. Either way the caller never gets a partial path.
TEST_F(FileSystemContract, TheTemporaryDirectoryIsWholeAndEndsInABackslash) {
  platform::FileSystemApi& files = world_->files();
  std::u16string path;
  ASSERT_TRUE(files.temporary_directory(path));
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.back(), u'\\') << narrow(path);

  const std::u16string folder = world_->folder() + u"\\tmp";
  ASSERT_TRUE(files.create_directory(folder));
  world_->use_temporary_folder(folder);
  path.assign(400, u'x');  // a longer earlier value in the caller's storage
  ASSERT_TRUE(files.temporary_directory(path));
  EXPECT_EQ(path, folder + u"\\") << narrow(path);
  const auto opened = files.open_for_inspection(path.substr(0, path.size() - 1));
  ASSERT_TRUE(opened);
  ScopedFile held(world_->handles(), *opened);

  world_->use_temporary_folder(folder + u"\\" + std::u16string(300, u'x'));
  path = u"stale";
  const auto result = files.temporary_directory(path);
  if (result) {
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.back(), u'\\');
  } else {
    EXPECT_NE(result.error(), platform::kErrorSuccess);
    EXPECT_EQ(path, u"");
  }
}

}  // namespace
}  // namespace tarnu::contract
