#include "worker/pipe_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "common/command_encoder.h"
#include "fakes/fake_pipe_api.h"
#include "fakes/recording_command_injector.h"
#include "protocol/decode_input_command.h"
#include "support/fake_worker_platform.h"
#include "support/payload_bytes.h"
#include "worker/session_worker.h"

namespace tarnu::worker {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<std::string>;

using support::concat;
using tools::length_prefix;

// {type: "mouseMove", x: 100, y: 200, drag_button: nil}
const Bytes kMove = support::example_bytes("MouseMove");
// {type: "key", key_code: 0x41, down: true}
const Bytes kKeyDown = support::example_bytes("Key");
// {type: "releaseAll"}
const Bytes kReleaseAll = support::example_bytes("ReleaseAll");

Bytes frame(const Bytes& payload) { return tools::frame_payload(payload); }

const std::u16string kStatusPath = u"C:\\ProgramData\\Tarnu\\input-helper-status-s1.txt";

// The journal line of one status write at the fake clock's time (0 ms).
std::string ok(const std::string& text) { return "write 0\n" + text + "\n\n"; }
std::string failed(const std::string& text) { return "write 0\n\n" + text + "\n"; }
// How every failure's write begins: an empty success line.
constexpr char kFailures[] = "write 0\n\n";

int count(const Events& events, const std::string& event) {
  return static_cast<int>(std::count(events.begin(), events.end(), event));
}

// How every scripted run ends: the fake's instance stops being one, and the worker releases
// what is held before it gives up.
constexpr char kFatalAtEnd[] = "ConnectNamedPipe failed with Windows error 6";
Events ending(Events events) {
  events.insert(events.end(), {"end of script", "release at connection end", ok("Default")});
  return events;
}

class PipeServerTest : public ::testing::Test, public support::FakeWorkerPlatform {
 public:
  void connect(std::vector<Bytes> chunks,
               std::optional<platform::WindowsErrorCode> end_error = platform::kErrorBrokenPipe) {
    pipes.connections.push_back({std::nullopt, std::move(chunks), end_error});
  }

  // Runs the worker until the scripted clients are used up (the instance then stops being
  // one) and returns its journal.
  Events serve() {
    const Status ended = run_session_worker(
        platform,
        [this] {
          ++injectors_made;
          auto injector = std::make_unique<fakes::RecordingCommandInjector>(journal);
          injector->bind_outcome = bind_outcome;
          injector->release_outcome = release_outcome;
          return injector;
        },
        [this](std::span<const std::uint8_t> payload) {
          ++decodes;
          return protocol::decode_input_command(payload);
        });
    stopped = ended.has_value();
    fatal = ended ? std::string() : ended.error();
    return journal.events();
  }

  void TearDown() override {
    EXPECT_EQ(ledger.open_count(), 0u) << "handles left open";
    EXPECT_TRUE(ledger.misuses().empty());
  }

  // The journal's lines that begin with `kind`, in order: what was injected ("inject "),
  // written to the status file ("write "; failures: kFailures), the back-off pauses ("pause ").
  Events only(const std::string& kind) const {
    Events lines;
    for (const std::string& event : journal.events()) {
      if (event.starts_with(kind)) {
        lines.push_back(event);
      }
    }
    return lines;
  }

  std::vector<std::string> sddl_texts() const {
    std::vector<std::string> texts;
    for (const auto& text : pipes.sddl_texts) {
      texts.push_back(fakes::narrow(text));
    }
    return texts;
  }

  StatusOutcome bind_outcome = StatusOutcome::Success("Default");
  StatusOutcome release_outcome = StatusOutcome::Success("Default");
  std::string fatal;
  bool stopped = false;
  int injectors_made = 0;
  int decodes = 0;
};

TEST_F(PipeServerTest, FramesReassembledFromPartialReads) {
  const Bytes key = frame(kKeyDown);
  connect({{0x24},
           {0x00, 0x00, 0x00},
           Bytes(kMove.begin(), kMove.begin() + 5),
           Bytes(kMove.begin() + 5, kMove.begin() + 30),
           Bytes(kMove.begin() + 30, kMove.end()),
           // Two frames in one write, then one split inside its length.
           concat({frame(kReleaseAll), Bytes(key.begin(), key.begin() + 2)}),
           Bytes(key.begin() + 2, key.end())});
  serve();
  EXPECT_EQ(only("inject "),
            (Events{"inject move 100 200", "inject release-all", "inject key 65 down"}));
  EXPECT_EQ(fatal, kFatalAtEnd);
  EXPECT_EQ(fakes::narrow(pipes.pipe_names.at(0)), "\\\\.\\pipe\\tarnu-input-s1");
}

TEST_F(PipeServerTest, LengthOutOfRangeEndsTheConnection) {
  struct Case {
    std::uint32_t length;
    const char* status;
  };
  const Case cases[] = {{0, "invalid input command length: 0"},
                        {65537, "invalid input command length: 65537"},
                        {0xFFFFFFFF, "invalid input command length: 4294967295"}};
  for (const Case& c : cases) {
    journal.clear();
    pipes.read_sizes.clear();
    // Whatever follows the bad length is never read.
    connect({concat({length_prefix(c.length), frame(kKeyDown)})});
    serve();
    EXPECT_EQ(only("write "), (Events{failed(c.status), ok("Default"), ok("Default")})) << c.length;
    EXPECT_EQ(pipes.read_sizes.size(), 1u) << c.length;
  }
  EXPECT_EQ(decodes, 0);
  EXPECT_TRUE(only("inject ").empty());
}

TEST_F(PipeServerTest, LargestPayloadIsAccepted) {
  // A command followed by padding up to the limit; bytes after the value are ignored.
  Bytes payload = kKeyDown;
  payload.resize(65536, 0xc1);
  connect({frame(payload)});
  serve();
  EXPECT_EQ(only("inject "), Events{"inject key 65 down"});
}

TEST_F(PipeServerTest, ClientGoneMidFrameGetsNoDecode) {
  // Gone inside the payload (the read fails), inside the length, and with a 0-byte read.
  connect({length_prefix(36), Bytes(kMove.begin(), kMove.begin() + 10)});
  connect({{0x24, 0x00}});
  connect({frame(kKeyDown)}, std::nullopt);
  const Events events = serve();
  EXPECT_EQ(only("inject "), Events{"inject key 65 down"});
  EXPECT_EQ(decodes, 1);
  // Each departure released what was held, and so did the worker at the end.
  EXPECT_EQ(count(events, "release at connection end"), 4);
  // The injector state outlives connections; the SID is looked up at creation and again
  // before every later wait.
  EXPECT_EQ(injectors_made, 1);
  EXPECT_EQ(sessions.token_queries, 4);
}

TEST_F(PipeServerTest, BadPayloadIsRecordedAndTheNextFrameCarriedOut) {
  connect({frame({0x81, 0xa4, 0x74, 0x79, 0x70, 0x65, 0xa5, 0x6d, 0x6f, 0x75, 0x73, 0x65}),
           frame({0xc0}), frame(kKeyDown)});
  serve();
  EXPECT_EQ(only("write "),
            (Events{failed("decode input command: unknown variant `mouse`, expected one of "
                           "`mouseMove`, `mouseButton`, `scroll`, `key`, `releaseAll`, "
                           "`secureAttention`"),
                    failed("decode input command: invalid type: unit value, expected internally "
                           "tagged enum InputCommand"),
                    ok("Default"), ok("Default"), ok("Default")}));
  EXPECT_EQ(only("inject "), Events{"inject key 65 down"});
}

TEST_F(PipeServerTest, FailedBindingIsRecordedAndTheCommandStillInjected) {
  bind_outcome = StatusOutcome::Failure("OpenInputDesktop failed");
  release_outcome = StatusOutcome::Failure("OpenInputDesktop failed");
  connect({frame(kKeyDown)});
  serve();
  EXPECT_EQ(only("write "), Events(3, failed("OpenInputDesktop failed")));
  EXPECT_EQ(only("inject "), Events{"inject key 65 down"});
}

// One instance for the worker's whole life: clients come and go on it, failed waits back
// off, and clients of other sessions are turned away unread, with no bind and no release (what
// the session's own client held stays held until its connection ends).
TEST_F(PipeServerTest, OneInstanceServesEveryClient) {
  using Connection = fakes::FakePipeApi::Connection;
  struct Case {
    const char* name;
    std::vector<Connection> script;
    Events injected;
    Events failures;
    Events pauses;
    int reads;
  };
  const Connection key = {std::nullopt, {frame(kKeyDown)}};
  const Connection release = {std::nullopt, {frame(kReleaseAll)}};
  const Case table[] = {
      {"clients come first, or come and go before the wait",
       {{platform::kErrorPipeConnected, {frame(kReleaseAll)}}, {platform::kErrorNoData, {}}, key},
       {"inject release-all", "inject key 65 down"},
       {},
       {"pause 10"},
       6},
      {"failed waits back off up to a second, and a served client starts over",
       [] {
         std::vector<Connection> script(9, Connection{platform::kErrorNoData, {}});
         script.insert(script.end(), {{std::nullopt, {}}, {platform::kErrorNoData, {}}});
         return script;
       }(),
       {},
       {},
       {"pause 10", "pause 20", "pause 40", "pause 80", "pause 160", "pause 320", "pause 640",
        "pause 1000", "pause 1000", "pause 10"},
       1},
      {"a client of another session is refused unread, and the next one served",
       {{std::nullopt, {frame(kReleaseAll)}, 109, std::uint32_t{2}}, key},
       {"inject key 65 down"},
       {failed("pipe client from session 2 refused")},
       {},
       3},
      {"a client whose session cannot be told is refused too",
       {{std::nullopt, {frame(kReleaseAll)}, 109, Unexpected(platform::WindowsErrorCode{87})},
        release},
       {"inject release-all"},
       {failed("GetNamedPipeClientSessionId failed with Windows error 87")},
       {},
       3},
  };
  for (const Case& c : table) {
    journal.clear();
    pipes.read_sizes.clear();
    pipes.instances_created = 0;
    for (const Connection& connection : c.script) {
      pipes.connections.push_back(connection);
    }
    const Events events = serve();
    EXPECT_EQ(only("inject "), c.injected) << c.name;
    EXPECT_EQ(only(kFailures), c.failures) << c.name;
    EXPECT_EQ(only("pause "), c.pauses) << c.name;
    // Every client that connected is disconnected from the one instance, none of them closes it.
    EXPECT_EQ(count(events, "connect"), static_cast<int>(c.script.size())) << c.name;
    EXPECT_EQ(count(events, "disconnect"), static_cast<int>(c.script.size())) << c.name;
    EXPECT_EQ(pipes.instances_created, 1) << c.name;
    EXPECT_EQ(static_cast<int>(pipes.read_sizes.size()), c.reads) << c.name;
    EXPECT_EQ(fatal, kFatalAtEnd) << c.name;
  }
}

TEST_F(PipeServerTest, AccessFollowsTheSessionUserOnTheSameInstance) {
  // The user logs off after the first client, another logs on after the second; the SDDL
  // is applied once per change, never for a lookup that finds the same user.
  for (int client = 0; client < 4; ++client) {
    connect({});
  }
  sessions.users_by_lookup = {u"S-1-5-21-0-0-0-1000", std::nullopt, u"S-1-5-21-0-0-0-1001",
                              u"S-1-5-21-0-0-0-1001", u"S-1-5-21-0-0-0-1001"};
  serve();
  // Owned by the worker's own user, which clients check.
  EXPECT_EQ(sddl_texts(),
            (std::vector<std::string>{
                "O:S-1-5-18D:P(A;;GA;;;SY)(A;;GA;;;S-1-5-21-0-0-0-1000)S:(ML;;NWNRNX;;;ME)",
                "O:S-1-5-18D:P(A;;GA;;;SY)(A;;GA;;;IU)S:(ML;;NWNRNX;;;ME)",
                "O:S-1-5-18D:P(A;;GA;;;SY)(A;;GA;;;S-1-5-21-0-0-0-1001)S:(ML;;NWNRNX;;;ME)"}));
  EXPECT_EQ(count(journal.events(), "set pipe security"), 2);
  EXPECT_EQ(pipes.instances_created, 1);
  // The status file's reader follows: nobody while nobody is logged on, then the new user.
  const std::pair<std::u16string, std::u16string> unread{kStatusPath,
                                                         u"D:P(A;;FA;;;SY)(A;;FA;;;BA)"};
  EXPECT_EQ(std::count(files.dacls_given.begin(), files.dacls_given.end(), unread), 1);
  EXPECT_EQ(fakes::narrow(files.dacl_of(kStatusPath)),
            "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;S-1-5-21-0-0-0-1001)");
}

// Only "nobody logged on" admits the interactive users. Any other failed lookup, at start or
// later, leaves the instance (and the name) to SYSTEM and waits for no client: the worker
// pauses, looks again, and waits for clients once a lookup succeeds.
TEST_F(PipeServerTest, AFailedLookupServesNobodyUntilOneSucceeds) {
  const Unexpected<platform::WindowsErrorCode> denied(platform::kErrorAccessDenied);
  const std::string system_only = "O:S-1-5-18D:P(A;;GA;;;SY)S:(ML;;NWNRNX;;;ME)";
  const std::string user =
      "O:S-1-5-18D:P(A;;GA;;;SY)(A;;GA;;;S-1-5-21-0-0-0-1000)S:(ML;;NWNRNX;;;ME)";
  sessions.users_by_lookup = {denied, denied, u"S-1-5-21-0-0-0-1000", denied,
                              u"S-1-5-21-0-0-0-1000"};
  connect({});
  connect({});
  EXPECT_EQ(serve(), ending({"create pipe", "pause 10", "pause 20", "set pipe security", "connect",
                             "release at connection end", ok("Default"), "disconnect",
                             "set pipe security", "pause 10", "set pipe security", "connect",
                             "release at connection end", ok("Default"), "disconnect"}));
  EXPECT_EQ(sddl_texts(), (std::vector<std::string>{system_only, user, system_only, user}));
}

TEST_F(PipeServerTest, NoWaitWithTheAccessOfAUserWhoHasGone) {
  // Applying the new DACL fails twice: the worker backs off and tries again rather than
  // waiting for a client with the old user's access.
  connect({});
  connect({});
  sessions.users_by_lookup = {u"S-1-5-21-0-0-0-1000", std::nullopt};
  pipes.set_security_failures = 2;
  EXPECT_EQ(serve(), ending({"create pipe", "connect", "release at connection end", ok("Default"),
                             "disconnect", "set pipe security failed", "pause 10",
                             "set pipe security failed", "pause 20", "set pipe security", "connect",
                             "release at connection end", ok("Default"), "disconnect"}));
}

TEST_F(PipeServerTest, StatusFolderOfAnotherUserIsNotWrittenAndFramesAreStillServed) {
  files.directories = {u"C:\\ProgramData", u"C:\\ProgramData\\Tarnu"};
  files.owners[u"C:\\ProgramData\\Tarnu"] = u"S-1-5-21-7-7-7-1001";
  connect({frame(kKeyDown), frame(kReleaseAll)});
  serve();
  EXPECT_EQ(only("inject "), (Events{"inject key 65 down", "inject release-all"}));
  EXPECT_TRUE(only("write ").empty());
  EXPECT_TRUE(files.files.empty());
}

// The service's stop, in each state of the server: what was held is released and recorded
// as at a client's departure, the command being injected is completed first and nothing is
// read or injected after, and the worker returns success.
TEST_F(PipeServerTest, AStopReleasesAsADepartureDoesWhateverTheServerIsDoing) {
  constexpr platform::WindowsErrorCode kCancelled = 995;  // ERROR_OPERATION_ABORTED
  const auto after = [this](std::string event) {
    return [this, event] { return count(journal.events(), event) > 0; };
  };
  const Bytes move = frame(kMove);
  const Events key_served = {"connect", "bind", ok("Default"), "inject key 65 down"};
  struct Case {
    const char* name;
    std::vector<fakes::FakePipeApi::Connection> script;
    std::function<bool()> arrived;
    Events before_stop;
    bool connected;  // a client is still there to be disconnected
  };
  const Case table[] = {
      {"waiting for a client (the wait is cancelled)",
       {{kCancelled, {}}},
       after("connect"),
       {"connect"},
       false},
      {"in a back-off pause",
       {{platform::kErrorNoData, {}}},
       after("pause 10"),
       {"connect", "disconnect", "pause 10"},
       false},
      // A key down, then half a move frame, then the read is cancelled.
      {"reading a frame (the read is cancelled)",
       {{std::nullopt, {frame(kKeyDown), Bytes(move.begin(), move.begin() + 10)}, kCancelled}},
       [this] { return pipes.read_sizes.size() >= 5; },
       key_served,
       true},
      {"between two commands",
       {{std::nullopt, {frame(kKeyDown), move}}},
       after("inject key 65 down"),
       key_served,
       true},
  };
  for (const Case& c : table) {
    journal.clear();
    pipes.connections.assign(c.script.begin(), c.script.end());
    stop.arrived = c.arrived;
    Events expected = {"create pipe"};
    expected.insert(expected.end(), c.before_stop.begin(), c.before_stop.end());
    expected.insert(expected.end(),
                    {"stop acknowledged", "release at connection end", ok("Default")});
    if (c.connected) {
      expected.push_back("disconnect");
    }
    EXPECT_EQ(serve(), expected) << c.name;
    EXPECT_TRUE(stopped && fatal.empty()) << c.name;
  }
}

TEST_F(PipeServerTest, FatalFailuresNameTheCallAndTheCode) {
  struct Case {
    const char* expected;
    std::function<void(PipeServerTest&)> arrange;
    int injectors;
  };
  const Case cases[] = {
      {"ProcessIdToSessionId failed with Windows error 5",
       [](PipeServerTest& t) { t.sessions.session = Unexpected(platform::WindowsErrorCode{5}); },
       0},
      {"ConvertStringSecurityDescriptorToSecurityDescriptorW failed with Windows error 1336",
       [](PipeServerTest& t) { t.pipes.sddl_error = 1336; }, 1},
      // Another process holds the name (Windows reports 5 for the first-instance flag, Wine
      // 231).
      {"CreateNamedPipeW failed with Windows error 5",
       [](PipeServerTest& t) { t.pipes.create_error = 5; }, 1},
  };
  for (const Case& c : cases) {
    injectors_made = 0;
    journal.clear();
    sessions.session = std::uint32_t{1};
    pipes.sddl_error.reset();
    pipes.create_error.reset();
    c.arrange(*this);
    connect({frame(kKeyDown)});
    serve();
    EXPECT_EQ(fatal, c.expected);
    EXPECT_EQ(injectors_made, c.injectors) << c.expected;
    // Nothing can be held before the first client: no release, no status write.
    EXPECT_EQ(count(journal.events(), "release at connection end"), 0) << c.expected;
    EXPECT_EQ(ledger.open_count(), 0u) << c.expected;
    pipes.connections.clear();
  }
}

// The service writes "--stop-event <decimal handle value>" right after "--worker"; nothing
// else is taken for a handle (0: no option; nothing: an error).
TEST(StopEventArgumentTest, OnlyADecimalHandleValueRightAfterTheRole) {
  const std::pair<std::vector<std::u16string>, std::optional<platform::RawHandle>> cases[] = {
      {{}, 0},
      {{u"extra", u"--stop-event", u"12"}, 0},
      {{u"--stop-event", u"260"}, 260},
      {{u"--stop-event", u"18446744073709551615"}, 18446744073709551615u},
      {{u"--stop-event"}, std::nullopt},
      {{u"--stop-event", u""}, std::nullopt},
      {{u"--stop-event", u"0"}, std::nullopt},
      {{u"--stop-event", u"-4"}, std::nullopt},
      {{u"--stop-event", u"0x104"}, std::nullopt},
      {{u"--stop-event", u"18446744073709551616"}, std::nullopt},
      {{u"--stop-event", u"\xFF14"}, std::nullopt},  // a full-width digit
  };
  for (const auto& [after_role, expected] : cases) {
    std::vector<std::u16string> arguments = {u"C:\\helper.exe", u"--worker"};
    arguments.insert(arguments.end(), after_role.begin(), after_role.end());
    const auto handle = stop_event_argument(arguments);
    EXPECT_EQ(handle ? std::optional(*handle) : std::nullopt, expected)
        << (after_role.empty() ? "" : fakes::narrow(after_role.back()));
  }
  EXPECT_EQ(
      stop_event_argument(std::vector<std::u16string>{u"x", u"--worker", u"--stop-event"}).error(),
      "expected a handle number after --stop-event");
}

}  // namespace
}  // namespace tarnu::worker
