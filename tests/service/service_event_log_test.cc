#include "service/service_event_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#define TARNU_WIDEN(text) L##text
#define TARNU_WIDE(text) TARNU_WIDEN(text)
#endif

#include "fakes/fake_event_log_api.h"
#include "fakes/fake_monotonic_clock.h"
#include "platform/event_ids.h"

namespace tarnu::service {
namespace {

using namespace std::chrono_literals;
using Level = platform::EventLevel;

class ServiceEventLogTest : public testing::Test {
 protected:
  fakes::FakeEventLogApi event_log;
  fakes::FakeMonotonicClock clock;
  ServiceEventLog log{event_log, clock};
};

// Launch failures every 2 s for an hour and more: the first at once, then one per 10 minutes,
// each carrying the failures since the one before.
TEST_F(ServiceEventLogTest, RepeatedLaunchFailuresAreReportedOncePerTenMinutesWithTheirCount) {
  const LaunchFailure failure{"CreateProcessAsUserW", "Access is denied. (Windows error 5)"};
  for (int pass = 0; pass <= 1800; ++pass) {  // 0 s to 3600 s
    clock.time = pass * 2s;
    log.worker_launch_failed(failure);
  }
  std::vector<std::string> counts;
  for (const auto& event : event_log.events) {
    EXPECT_EQ(event.level, Level::kError);
    EXPECT_EQ(event.id, 1100u);
    EXPECT_EQ(event.inserts[0], "CreateProcessAsUserW");
    EXPECT_EQ(event.inserts[1], "Access is denied. (Windows error 5)");
    counts.push_back(event.inserts[2]);
  }
  // At 0 s, 600 s, ..., 3600 s.
  EXPECT_EQ(counts, (std::vector<std::string>{"1", "300", "300", "300", "300", "300", "300"}));
}

TEST_F(ServiceEventLogTest, EachRepeatedKindHasItsOwnLimit) {
  log.worker_launch_failed({"CreateEventW", "Windows error 1450"});
  log.pipe_name_held(u"\\\\.\\pipe\\tarnu-input-s1", {});
  clock.time = 599s;
  log.worker_launch_failed({"CreateEventW", "Windows error 1450"});
  log.pipe_name_held(u"\\\\.\\pipe\\tarnu-input-s1", {});
  EXPECT_EQ(event_log.ids(), (std::vector<std::uint32_t>{1100, 1101}));
}

TEST_F(ServiceEventLogTest, ThePipeHolderIsNamedAsFarAsItIsKnown) {
  const struct {
    PipeHolder holder;
    const char* who;
  } cases[] = {
      {{368u, u"C:\\Users\\mallory\\squat.exe"}, "process ID 368, C:\\Users\\mallory\\squat.exe"},
      {{368u, u""}, "process ID 368, image unknown"},
      {{std::nullopt, u""}, "process ID and image unknown"},
  };
  for (const auto& c : cases) {
    fakes::FakeEventLogApi fresh;
    ServiceEventLog once{fresh, clock};
    once.pipe_name_held(u"\\\\.\\pipe\\tarnu-input-s3", c.holder);
    ASSERT_EQ(fresh.events.size(), 1u) << c.who;
    EXPECT_EQ(fresh.events[0].inserts,
              (std::vector<std::string>{"\\\\.\\pipe\\tarnu-input-s3", c.who, "1"}));
  }
}

TEST_F(ServiceEventLogTest, WarnsUnlessTheSasPolicyLetsServicesRaiseCtrlAltDel) {
  using Value = Expected<std::optional<std::uint32_t>, platform::WindowsErrorCode>;
  const struct {
    Value value;
    const char* warning;  // the value as the event shows it; none: no event
  } cases[] = {
      {std::optional<std::uint32_t>(1), nullptr},
      {std::optional<std::uint32_t>(3), nullptr},
      {std::optional<std::uint32_t>(), "absent"},
      {std::optional<std::uint32_t>(0), "0"},
      {std::optional<std::uint32_t>(2), "2"},
      {std::optional<std::uint32_t>(7), "7"},
      {Unexpected(platform::WindowsErrorCode{1630}), "unreadable (Windows error 1630)"},
  };
  for (const auto& c : cases) {
    fakes::FakeEventLogApi fresh;
    ServiceEventLog once{fresh, clock};
    once.check_sas_policy(c.value);
    if (c.warning == nullptr) {
      EXPECT_TRUE(fresh.events.empty());
      continue;
    }
    ASSERT_EQ(fresh.events.size(), 1u) << c.warning;
    EXPECT_EQ(fresh.events[0].level, Level::kWarning);
    EXPECT_EQ(fresh.events[0].id, 1200u);
    EXPECT_EQ(fresh.events[0].inserts, std::vector<std::string>{c.warning});
  }
}

// The executable's message table and the IDs the code writes are one list: each ID in both,
// with its level and as many inserts as its text uses.
TEST(EventMessageTableTest, MatchesTheIdsLevelsAndInsertsTheCodeWrites) {
  std::ifstream file(TARNU_EVENT_MESSAGES);
  ASSERT_TRUE(file) << TARNU_EVENT_MESSAGES;
  struct Message {
    std::string symbol;
    std::size_t inserts = 0;
  };
  std::map<std::uint32_t, Message> table;
  std::uint32_t id = 0;
  bool in_text = false;
  bool severity = false;
  for (std::string line; std::getline(file, line);) {
    if (in_text) {
      in_text = line != ".";
      // %1 to %9 are inserts; %n, %. and %% are not.
      for (std::size_t at = line.find('%'); at != std::string::npos; at = line.find('%', at + 2)) {
        if (at + 1 < line.size() && line[at + 1] >= '1' && line[at + 1] <= '9') {
          table[id].inserts = std::max<std::size_t>(table[id].inserts, line[at + 1] - '0');
        }
      }
    } else if (line.starts_with("MessageId=")) {
      id = static_cast<std::uint32_t>(std::stoul(line.substr(10)));
    } else if (line.starts_with("SymbolicName=")) {
      table[id].symbol = line.substr(13);
    } else if (line.starts_with("Language=")) {
      in_text = true;
    } else if (line.starts_with("Severity=")) {
      severity = true;
    }
  }
  ASSERT_EQ(table.size(), std::size(platform::kEventDefinitions));
  for (const auto& definition : platform::kEventDefinitions) {
    const auto found = table.find(definition.id);
    ASSERT_NE(found, table.end()) << definition.id;
    EXPECT_EQ(found->second.symbol, definition.symbol) << definition.id;
    EXPECT_EQ(found->second.inserts, definition.inserts) << definition.id;
  }
  // No severity in the table: the ID written is the ID shown, the level comes with the call.
  EXPECT_FALSE(severity);
}

#ifdef _WIN32
// What the Event Viewer shows: each message of the executable's table, found by the ID the
// code writes, with the inserts in their places.
TEST(EventMessageTableTest, TheExecutableFormatsEveryEventWithItsInserts) {
  const HMODULE helper =
      ::LoadLibraryExW(TARNU_WIDE(TARNU_HELPER_EXE), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  ASSERT_NE(helper, nullptr) << ::GetLastError();
  for (const auto& definition : platform::kEventDefinitions) {
    std::vector<std::wstring> inserts;
    std::vector<DWORD_PTR> arguments;
    for (std::size_t i = 1; i <= definition.inserts; ++i) {
      inserts.push_back(L"<insert " + std::to_wstring(i) + L">");
    }
    for (const std::wstring& insert : inserts) {
      arguments.push_back(reinterpret_cast<DWORD_PTR>(insert.c_str()));
    }
    wchar_t text[2048] = {};
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, helper,
                         definition.id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, 2048,
                         reinterpret_cast<va_list*>(arguments.data()));
    ASSERT_GT(length, 0u) << definition.id << ": " << ::GetLastError();
    const std::wstring message(text, length);
    for (const std::wstring& insert : inserts) {
      EXPECT_NE(message.find(insert), std::wstring::npos) << definition.id;
    }
  }
  ::FreeLibrary(helper);
}
#endif

}  // namespace
}  // namespace tarnu::service
