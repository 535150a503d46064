#include "worker/status_file.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fakes/fake_event_log_api.h"
#include "support/fake_worker_platform.h"

namespace tarnu::worker {
namespace {

using fakes::narrow;

constexpr char kFolderSddl[] = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";

// A FILETIME with a sub-millisecond part, and its Unix time in milliseconds.
constexpr std::uint64_t kFileTime = 116444736000000000ULL + 17951868001234567ULL;
constexpr std::uint64_t kMilliseconds = 1795186800123ULL;

TEST(StatusFileTime, MillisecondsSinceUnixEpoch) {
  EXPECT_EQ(unix_time_milliseconds(kFileTime), kMilliseconds);
  EXPECT_EQ(unix_time_milliseconds(116444736000000000ULL), 0u);
  // Sub-millisecond parts are cut off, not rounded.
  EXPECT_EQ(unix_time_milliseconds(116444736000000000ULL + 19999), 1u);
  // A clock before 1970 gives 0 instead of wrapping round.
  EXPECT_EQ(unix_time_milliseconds(116444735999999999ULL), 0u);
  EXPECT_EQ(unix_time_milliseconds(0), 0u);
}

// The worker's platform, ProgramData set to C:\ProgramData, at kFileTime.
class WriteStatusTest : public ::testing::Test, public support::FakeWorkerPlatform {
 protected:
  WriteStatusTest() { files.file_time = kFileTime; }

  // Writes through one StatusFile per session, kept across the test's writes as the worker
  // keeps its own, so that every case also runs on reused buffers.
  void write(const StatusOutcome& outcome, std::uint32_t session = 1) {
    status_file(session).write(outcome);
  }
  StatusFile& status_file(std::uint32_t session = 1) {
    return status_files.try_emplace(session, files, handles, session, u"", event_log).first->second;
  }
  void TearDown() override {
    status_files.clear();
    EXPECT_EQ(ledger.open_count(), 0u);
    EXPECT_TRUE(ledger.misuses().empty());
  }

  fakes::FakeEventLogApi event_log;
  std::map<std::uint32_t, StatusFile> status_files;
};

// A shorter text replaces a longer one; a write that takes only part of the bytes is continued.
TEST_F(WriteStatusTest, ShorterTextReplacesLongerOneThroughShortWrites) {
  const std::u16string path = u"C:\\ProgramData\\Tarnu\\input-helper-status-s1.txt";
  files.write_limit = 3;
  write(StatusOutcome::Failure("invalid input command length: 65537"));
  EXPECT_EQ(files.files[path], "1795186800123\n\ninvalid input command length: 65537\n");
  files.file_time += 10'000 * 5;
  write(StatusOutcome::Success("Default"));
  EXPECT_EQ(files.files[path], "1795186800128\nDefault\n\n");
  // Emptied through its own handle once it had content; a new file needs nothing of that.
  EXPECT_EQ(files.truncations, 1);
}

// The file's path comes from ProgramData (from the temporary-files directory, which ends in
// a backslash, when it is not set) and the session, and ProgramData is read again on every
// write; each session's StatusFile writes its own file.
TEST_F(WriteStatusTest, PathFollowsProgramDataFromWriteToWrite) {
  const struct {
    std::optional<std::u16string> program_data;
    std::uint32_t session;
    std::u16string file;
    int temporary_directory_queries;
  } steps[] = {
      {u"C:\\Users\\Public\\Application Data\\Shared", 1,
       u"C:\\Users\\Public\\Application Data\\Shared\\Tarnu\\input-helper-status-s1.txt", 0},
      {u"D:\\x\\", 3, u"D:\\x\\Tarnu\\input-helper-status-s3.txt", 0},
      {u"D:\\data dir", 12, u"D:\\data dir\\Tarnu\\input-helper-status-s12.txt", 0},
      {std::nullopt, 4294967295u, u"C:\\Temp\\Tarnu\\input-helper-status-s4294967295.txt", 1},
      {u"", 1, u"Tarnu\\input-helper-status-s1.txt", 1},
      {u"E:", 2, u"E:\\Tarnu\\input-helper-status-s2.txt", 1},
  };
  for (const auto& step : steps) {
    files.environment.clear();
    if (step.program_data) {
      files.environment[u"ProgramData"] = *step.program_data;
    }
    write(StatusOutcome::Success("Default"), step.session);
    EXPECT_EQ(files.files[step.file], "1795186800123\nDefault\n\n") << narrow(step.file);
    EXPECT_EQ(files.temporary_directory_queries, step.temporary_directory_queries)
        << narrow(step.file);
  }
}

TEST_F(WriteStatusTest, FailuresAreSkippedSilently) {
  const std::u16string path = u"C:\\ProgramData\\Tarnu\\input-helper-status-s1.txt";

  // A directory where the file should be.
  files.directories.insert(u"C:\\ProgramData");
  files.directories.insert(u"C:\\ProgramData\\Tarnu");
  files.directories.insert(path);
  write(StatusOutcome::Success("Default"));
  EXPECT_EQ(files.files.count(path), 0u);
  files.directories.erase(path);

  // A folder that may not be written to keeps the previous content.
  write(StatusOutcome::Success("Default"));
  files.read_only_directories.insert(u"C:\\ProgramData\\Tarnu");
  write(StatusOutcome::Failure("OpenInputDesktop failed"));
  EXPECT_EQ(files.files[path], "1795186800123\nDefault\n\n");
  files.read_only_directories.clear();

  // A write that fails after the truncation leaves what got in.
  files.write_limit = 0;
  write(StatusOutcome::Success("Default"));
  EXPECT_EQ(files.files[path], "");

  // No temporary directory and no ProgramData: nothing to write to.
  files.environment.clear();
  files.temp_directory = Unexpected(platform::WindowsErrorCode{5});
  write(StatusOutcome::Success("Default"));
}

// The worker writes as SYSTEM where other accounts may have been first: it writes only into
// a folder that is no link and belongs to SYSTEM, Administrators or its own user, and only
// into a file that is no link and has no other name.
TEST_F(WriteStatusTest, WritesOnlyThroughAFolderAndFileThatAreItsOwn) {
  const std::u16string folder = u"C:\\ProgramData\\Tarnu";
  const std::u16string path = folder + u"\\input-helper-status-s1.txt";
  const std::string written = "1795186800123\nDefault\n\n";
  const std::string victim = "@echo off\r\ndel /q C:\\important\r\n";
  struct Case {
    const char* name;
    std::function<void(fakes::FakeFileSystemApi&)> arrange;
    // The file's content afterwards; nothing when it must not exist.
    std::optional<std::string> content;
  };
  const auto existing_folder = [folder](const char16_t* owner) {
    return [folder, owner](fakes::FakeFileSystemApi& f) {
      f.directories.insert(folder);
      f.owners[folder] = owner;
    };
  };
  // The victim's file in a folder of SYSTEM, then `more` done to it.
  const auto existing_file = [&](std::function<void(fakes::FakeFileSystemApi&)> more) {
    return [&, more](fakes::FakeFileSystemApi& f) {
      existing_folder(u"S-1-5-18")(f);
      f.files[path] = victim;
      more(f);
    };
  };
  const Case cases[] = {
      {"missing folder", [](fakes::FakeFileSystemApi&) {}, written},
      {"missing base and folder",
       [](fakes::FakeFileSystemApi& f) { f.directories.erase(u"C:\\ProgramData"); }, written},
      {"folder of SYSTEM", existing_folder(u"S-1-5-18"), written},
      {"folder of Administrators", existing_folder(u"S-1-5-32-544"), written},
      {"folder of the worker's own user", existing_folder(u"S-1-5-21-0-0-0-1000"), written},
      {"folder a user made first", existing_folder(u"S-1-5-21-7-7-7-1001"), std::nullopt},
      {"folder whose owner cannot be read",
       [&](fakes::FakeFileSystemApi& f) {
         existing_folder(u"S-1-5-18")(f);
         f.owner_error = 5;
       },
       std::nullopt},
      {"folder that is a junction",
       [&](fakes::FakeFileSystemApi& f) {
         existing_folder(u"S-1-5-18")(f);
         f.reparse_points.insert(folder);
       },
       std::nullopt},
      {"folder of Administrators that cannot be given its DACL",
       [&](fakes::FakeFileSystemApi& f) {
         existing_folder(u"S-1-5-32-544")(f);
         f.set_dacl_error = 5;
       },
       std::nullopt},
      {"file with a second hard link",
       existing_file([&](fakes::FakeFileSystemApi& f) { f.link_counts[path] = 2; }), victim},
      {"file that is a symbolic link",
       existing_file([&](fakes::FakeFileSystemApi& f) { f.reparse_points.insert(path); }), victim},
      {"file a user planted while the folder was open to them",
       existing_file([&](fakes::FakeFileSystemApi& f) { f.owners[path] = u"S-1-5-21-7-7-7-1001"; }),
       victim},
      {"plain file with older content", existing_file([](fakes::FakeFileSystemApi&) {}), written},
  };
  // What the event log hears of a refused folder (a refused file is the user's own doing
  // inside a folder that was the worker's, and is not reported).
  const std::map<std::string, std::string> refusals = {
      {"folder a user made first",
       "its owner is S-1-5-21-7-7-7-1001, not SYSTEM, Administrators or the helper's own account"},
      {"folder whose owner cannot be read",
       "its owner is unknown, not SYSTEM, Administrators or the helper's own account"},
      {"folder that is a junction", "it is not a plain folder (a link, or not a folder at all)"},
      {"folder of Administrators that cannot be given its DACL",
       "its DACL could not be replaced by the helper's own"},
  };
  for (const Case& c : cases) {
    support::FakeWorkerPlatform world;
    fakes::FakeFileSystemApi& f = world.files;
    f.file_time = kFileTime;
    f.directories.insert(u"C:\\ProgramData");
    c.arrange(f);
    const std::set<std::u16string> folders_before = f.directories;
    fakes::FakeEventLogApi events;
    StatusFile(f, world.handles, 1, u"S-1-5-21-0-0-0-1000", events)
        .write(StatusOutcome::Success("Default"));
    const auto refusal = refusals.find(c.name);
    if (refusal == refusals.end()) {
      EXPECT_TRUE(events.events.empty()) << c.name;
    } else {
      ASSERT_EQ(events.ids(), std::vector<std::uint32_t>{1300}) << c.name;
      EXPECT_EQ(events.events[0].inserts,
                (std::vector<std::string>{"C:\\ProgramData\\Tarnu", refusal->second}))
          << c.name;
    }
    if (c.content) {
      EXPECT_EQ(f.files[path], *c.content) << c.name;
    } else {
      EXPECT_EQ(f.files.count(path), 0u) << c.name;
    }
    if (folders_before.count(folder) == 0) {
      // The folder gets the protected DACL; folders made on the way to it, the default.
      ASSERT_FALSE(f.directory_security.empty()) << c.name;
      EXPECT_EQ(f.directory_security.back().first, folder) << c.name;
      for (const auto& [made, sddl] : f.directory_security) {
        EXPECT_EQ(narrow(sddl), made == folder ? kFolderSddl : "")
            << c.name << ": " << narrow(made);
      }
    } else {
      EXPECT_TRUE(f.directory_security.empty()) << c.name;
    }
    // A folder written into has the worker's DACL, whoever made it, and so has the file. A
    // file not written keeps its own: through a second name it may be anybody's.
    if (c.content == written) {
      EXPECT_EQ(narrow(f.dacl_of(folder)), kFolderSddl) << c.name;
      EXPECT_EQ(narrow(f.dacl_of(path)), "D:P(A;;FA;;;SY)(A;;FA;;;BA)") << c.name;
    } else {
      EXPECT_EQ(f.dacl_of(path), u"") << c.name;
    }
    EXPECT_EQ(world.ledger.open_count(), 0u) << c.name;
    EXPECT_TRUE(world.ledger.misuses().empty()) << c.name;
  }
}

TEST_F(WriteStatusTest, FolderThatPassedIsHeldAndNotCheckedAgain) {
  write(StatusOutcome::Success("Default"));
  write(StatusOutcome::Success("Winlogon"));
  EXPECT_EQ(files.inspections, 2);  // missing, then made and checked
  EXPECT_EQ(ledger.open_count("inspected object"), 1u);
  // Another base: the old folder is let go, the new one checked.
  files.environment[u"ProgramData"] = u"D:\\Data";
  files.directories.insert(u"D:\\Data");
  write(StatusOutcome::Success("Default"));
  EXPECT_EQ(files.inspections, 4);
  EXPECT_EQ(ledger.open_count("inspected object"), 1u);
  // A folder that failed is looked at again on the next write, and never held.
  files.environment[u"ProgramData"] = u"E:\\Data";
  files.directories.insert(u"E:\\Data");
  files.directories.insert(u"E:\\Data\\Tarnu");
  files.owners[u"E:\\Data\\Tarnu"] = u"S-1-5-21-7-7-7-1001";
  write(StatusOutcome::Failure("type: secret text"));
  write(StatusOutcome::Success("Default"));
  EXPECT_EQ(files.inspections, 6);
  // Refused at each write, reported once, with the folder and why, never what was written.
  ASSERT_EQ(event_log.ids(), std::vector<std::uint32_t>{1300});
  for (const std::string& insert : event_log.events[0].inserts) {
    EXPECT_EQ(insert.find("secret"), std::string::npos) << insert;
  }
  EXPECT_EQ(ledger.open_count("inspected object"), 0u);
  EXPECT_EQ(files.files.count(u"E:\\Data\\Tarnu\\input-helper-status-s1.txt"), 0u);
  // A file that does not open lets its folder go, to be checked again at the next write.
  files.environment[u"ProgramData"] = u"D:\\Data";
  files.directories.insert(u"D:\\Data\\Tarnu\\input-helper-status-s1.txt");
  write(StatusOutcome::Success("Default"));
  write(StatusOutcome::Success("Default"));
  EXPECT_EQ(files.inspections, 8);
  EXPECT_EQ(ledger.open_count("inspected object"), 0u);
}

// Besides SYSTEM and Administrators only the reader reads the file, nobody when there is
// none. A file left by an older worker is given the DACL at the first write after a change of
// reader, and no write in between does any security work; a file whose DACL cannot be set is
// not written.
TEST_F(WriteStatusTest, OnlyTheReaderReadsTheFile) {
  const std::u16string path = u"C:\\ProgramData\\Tarnu\\input-helper-status-s1.txt";
  const std::string nobody = "D:P(A;;FA;;;SY)(A;;FA;;;BA)";
  const std::string user = nobody + "(A;;FR;;;S-1-5-21-0-0-0-1000)";
  files.directories = {u"C:\\ProgramData", u"C:\\ProgramData\\Tarnu"};
  files.files[path] = "left by an older worker, readable by every interactive user";
  const struct {
    const char16_t* reader;
    std::string dacl;
    std::size_t given;
  } steps[] = {{u"", nobody, 2},
               {u"S-1-5-21-0-0-0-1000", user, 1},
               {u"S-1-5-21-0-0-0-1000", user, 0},
               {u"", nobody, 1}};
  for (const auto& step : steps) {
    status_file().set_reader(step.reader);
    const std::size_t before = files.dacls_given.size();
    write(StatusOutcome::Success("Default"));
    write(StatusOutcome::Success("Winlogon"));
    // The first step also gives the folder its DACL.
    EXPECT_EQ(files.dacls_given.size() - before, step.given) << step.dacl;
    EXPECT_EQ(narrow(files.dacl_of(path)), step.dacl);
    EXPECT_EQ(files.files[path], "1795186800123\nWinlogon\n\n");
  }
  status_file().set_reader(u"S-1-5-21-0-0-0-1001");
  files.set_dacl_error = 5;
  write(StatusOutcome::Success("Default"));
  EXPECT_EQ(files.files[path], "1795186800123\nWinlogon\n\n");
}

TEST(CreateDirectoryChain, CreatesOnlyWhatIsMissing) {
  struct Case {
    std::u16string directory;
    std::set<std::u16string> existing;
    std::vector<std::string> created;
  };
  const Case cases[] = {
      {u"C:\\ProgramData\\Tarnu", {u"C:\\ProgramData", u"C:\\ProgramData\\Tarnu"}, {}},
      {u"C:\\ProgramData\\Tarnu", {u"C:\\ProgramData"}, {"C:\\ProgramData\\Tarnu"}},
      {u"C:\\a\\b\\Tarnu", {}, {"C:\\a", "C:\\a\\b", "C:\\a\\b\\Tarnu"}},
      {u"Tarnu", {}, {"Tarnu"}},
      {u"x\\Tarnu", {}, {"x", "x\\Tarnu"}},
  };
  for (const Case& c : cases) {
    support::FakeWorkerPlatform world;
    world.files.directories = c.existing;
    create_directory_chain(world.files, c.directory);
    std::vector<std::string> created;
    for (const auto& [directory, sddl] : world.files.directory_security) {
      created.push_back(narrow(directory));
    }
    EXPECT_EQ(created, c.created) << narrow(c.directory);
  }
}

}  // namespace
}  // namespace tarnu::worker
