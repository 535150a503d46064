#include "worker/pipe_server.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fakes/event_journal.h"
#include "fakes/fake_file_system_api.h"
#include "fakes/fake_handle_api.h"
#include "fakes/fake_pipe_api.h"
#include "fakes/fake_session_api.h"
#include "fakes/handle_ledger.h"
#include "fakes/recording_command_injector.h"
#include "protocol/decode_input_command.h"
#include "worker/session_worker.h"

namespace tarnu::worker {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<std::string>;

// {type: "mouseMove", x: 100, y: 200, drag_button: nil}
const Bytes kMove = {0x84, 0xa4, 0x74, 0x79, 0x70, 0x65, 0xa9, 0x6d, 0x6f, 0x75, 0x73, 0x65,
                     0x4d, 0x6f, 0x76, 0x65, 0xa1, 0x78, 0x64, 0xa1, 0x79, 0xcc, 0xc8, 0xab,
                     0x64, 0x72, 0x61, 0x67, 0x5f, 0x62, 0x75, 0x74, 0x74, 0x6f, 0x6e, 0xc0};
// {type: "key", key_code: 0x41, down: true}
const Bytes kKeyDown = {0x83, 0xa4, 0x74, 0x79, 0x70, 0x65, 0xa3, 0x6b, 0x65,
                        0x79, 0xa8, 0x6b, 0x65, 0x79, 0x5f, 0x63, 0x6f, 0x64,
                        0x65, 0x41, 0xa4, 0x64, 0x6f, 0x77, 0x6e, 0xc3};
// {type: "releaseAll"}
const Bytes kReleaseAll = {0x81, 0xa4, 0x74, 0x79, 0x70, 0x65, 0xaa, 0x72, 0x65,
                           0x6c, 0x65, 0x61, 0x73, 0x65, 0x41, 0x6c, 0x6c};

Bytes length_prefix(std::uint32_t length) {
  return {static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
          static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
}

// Byte by byte: GCC 12 at -O3 misjudges vector range inserts here (-Warray-bounds).
Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes bytes;
  for (const Bytes& part : parts) {
    for (const std::uint8_t byte : part) {
      bytes.push_back(byte);
    }
  }
  return bytes;
}

Bytes frame(const Bytes& payload) {
  return concat({length_prefix(static_cast<std::uint32_t>(payload.size())), payload});
}

// The journal line of one status write at the fake clock's time (0 ms).
std::string ok(const std::string& text) { return "write 0\n" + text + "\n\n"; }
std::string failed(const std::string& text) { return "write 0\n\n" + text + "\n"; }

class PipeServerTest : public ::testing::Test {
 public:
  PipeServerTest() { files.environment[u"ProgramData"] = u"C:\\ProgramData"; }

  void connect(std::vector<Bytes> chunks,
               std::optional<platform::WindowsErrorCode> end_error = platform::kErrorBrokenPipe) {
    pipes.connections.push_back({std::nullopt, std::move(chunks), end_error});
  }

  // Runs the worker until the scripted clients are used up (pipe creation then fails) and
  // returns its journal from the first client on.
  Events serve() {
    fatal = run_session_worker(
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
    return journal.events();
  }

  void TearDown() override {
    EXPECT_EQ(ledger.open_count(), 0u) << "handles left open";
    EXPECT_TRUE(ledger.misuses().empty());
  }

  fakes::HandleLedger ledger;
  fakes::EventJournal journal;
  fakes::FakeHandleApi handles{ledger};
  fakes::FakeSessionApi sessions{ledger};
  fakes::FakePipeApi pipes{ledger, journal};
  fakes::FakeFileSystemApi files{ledger, journal};
  WorkerPlatform platform{handles, sessions, pipes, files};
  StatusOutcome bind_outcome = StatusOutcome::Success("Default");
  StatusOutcome release_outcome = StatusOutcome::Success("Default");
  std::string fatal;
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
  EXPECT_EQ(serve(), (Events{"create pipe", "connect", "bind", ok("Default"), "inject move 100 200",
                             "bind", ok("Default"), "inject release-all", "bind", ok("Default"),
                             "inject key 65 down", "release at connection end", ok("Default"),
                             "disconnect", "create pipe failed"}));
  // Each read asks for what is still missing of the length or the payload.
  EXPECT_EQ(pipes.read_sizes, (std::vector<std::size_t>{4, 3, 36, 31, 6, 4, 17, 4, 2, 26, 4}));
  EXPECT_EQ(fatal, "CreateNamedPipeW failed with Windows error 231");
  EXPECT_EQ(fakes::narrow(pipes.pipe_names.at(0)), "\\\\.\\pipe\\tarnu-input-s1");
  EXPECT_EQ(fakes::narrow(pipes.sddl_texts.at(0)), "D:P(A;;GA;;;SY)(A;;GA;;;S-1-5-21-0-0-0-1000)");
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
    EXPECT_EQ(serve(),
              (Events{"create pipe", "connect", failed(c.status), "release at connection end",
                      ok("Default"), "disconnect", "create pipe failed"}))
        << c.length;
    EXPECT_EQ(pipes.read_sizes, std::vector<std::size_t>{4});
  }
  EXPECT_EQ(decodes, 0);
  // What remains in the file is the release's outcome.
  EXPECT_EQ(files.files[u"C:\\ProgramData\\Tarnu\\input-helper-status-s1.txt"], "0\nDefault\n\n");
}

TEST_F(PipeServerTest, LargestPayloadIsAccepted) {
  // A command followed by padding up to the limit; bytes after the value are ignored.
  Bytes payload = kKeyDown;
  payload.resize(65536, 0xc1);
  connect({frame(payload)});
  EXPECT_EQ(serve(), (Events{"create pipe", "connect", "bind", ok("Default"), "inject key 65 down",
                             "release at connection end", ok("Default"), "disconnect",
                             "create pipe failed"}));
}

TEST_F(PipeServerTest, ClientGoneMidFrameGetsNoDecode) {
  // Gone inside the payload (the read fails), inside the length, and with a 0-byte read.
  connect({length_prefix(36), Bytes(kMove.begin(), kMove.begin() + 10)});
  connect({{0x24, 0x00}});
  connect({frame(kKeyDown)}, std::nullopt);
  EXPECT_EQ(serve(), (Events{"create pipe", "connect", "release at connection end", ok("Default"),
                             "disconnect", "create pipe", "connect", "release at connection end",
                             ok("Default"), "disconnect", "create pipe", "connect", "bind",
                             ok("Default"), "inject key 65 down", "release at connection end",
                             ok("Default"), "disconnect", "create pipe failed"}));
  EXPECT_EQ(decodes, 1);
  // The injector state outlives connections; the SID is looked up for every instance.
  EXPECT_EQ(injectors_made, 1);
  EXPECT_EQ(sessions.token_queries, 4);
}

TEST_F(PipeServerTest, BadPayloadIsRecordedAndTheNextFrameCarriedOut) {
  connect({frame({0x81, 0xa4, 0x74, 0x79, 0x70, 0x65, 0xa5, 0x6d, 0x6f, 0x75, 0x73, 0x65}),
           frame({0xc0}), frame(kKeyDown)});
  EXPECT_EQ(serve(),
            (Events{"create pipe", "connect",
                    failed("decode input command: unknown variant `mouse`, expected one of "
                           "`mouseMove`, `mouseButton`, `scroll`, `key`, `releaseAll`, "
                           "`secureAttention`"),
                    failed("decode input command: invalid type: unit value, expected internally "
                           "tagged enum InputCommand"),
                    "bind", ok("Default"), "inject key 65 down", "release at connection end",
                    ok("Default"), "disconnect", "create pipe failed"}));
}

TEST_F(PipeServerTest, FailedBindingIsRecordedAndTheCommandStillInjected) {
  bind_outcome = StatusOutcome::Failure("OpenInputDesktop failed");
  release_outcome = StatusOutcome::Failure("OpenInputDesktop failed");
  connect({frame(kKeyDown)});
  EXPECT_EQ(serve(),
            (Events{"create pipe", "connect", "bind", failed("OpenInputDesktop failed"),
                    "inject key 65 down", "release at connection end",
                    failed("OpenInputDesktop failed"), "disconnect", "create pipe failed"}));
}

TEST_F(PipeServerTest, FailedConnectStartsAnotherInstanceAtOnce) {
  pipes.connections.push_back({platform::kErrorNoData, {frame(kKeyDown)}, 109});
  pipes.connections.push_back({platform::kErrorPipeConnected, {frame(kReleaseAll)}, 109});
  EXPECT_EQ(serve(), (Events{"create pipe", "connect", "create pipe", "connect", "bind",
                             ok("Default"), "inject release-all", "release at connection end",
                             ok("Default"), "disconnect", "create pipe failed"}));
}

TEST_F(PipeServerTest, UserLogOffOpensTheNextInstanceToInteractiveUsers) {
  connect({});
  connect({});
  serve();
  ASSERT_EQ(pipes.sddl_texts.size(), 3u);
  EXPECT_EQ(fakes::narrow(pipes.sddl_texts[0]), "D:P(A;;GA;;;SY)(A;;GA;;;S-1-5-21-0-0-0-1000)");
  sessions.user_sid.reset();
  journal.clear();
  connect({});
  serve();
  EXPECT_EQ(fakes::narrow(pipes.sddl_texts.back()), "D:P(A;;GA;;;SY)(A;;GA;;;IU)");
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
      {"CreateNamedPipeW failed with Windows error 5",
       [](PipeServerTest& t) { t.pipes.create_error_when_done = 5; }, 1},
      {"CreateNamedPipeW failed with Windows error 4294967295",
       [](PipeServerTest& t) { t.pipes.create_error_when_done = 0xFFFFFFFF; }, 1},
  };
  for (const Case& c : cases) {
    injectors_made = 0;
    sessions.session = std::uint32_t{1};
    pipes.sddl_error.reset();
    c.arrange(*this);
    serve();
    EXPECT_EQ(fatal, c.expected);
    EXPECT_EQ(injectors_made, c.injectors) << c.expected;
    EXPECT_EQ(ledger.open_count(), 0u) << c.expected;
  }
}

}  // namespace
}  // namespace tarnu::worker
