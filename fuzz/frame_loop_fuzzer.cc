// Fuzzes the worker's frame loop: arbitrary byte streams, cut at arbitrary read boundaries,
// over several client connections, go through the real pipe server (on the fake pipe) into
// an injector that records what it is asked to do. Besides the sanitizers' own checks:
// - the loop does exactly what a straightforward reading of the frame layer says: each
//   whole frame decoded, a bad length ending the connection, a partial frame dropped, one
//   end-of-connection release per connection, and the status writes in between;
// - every command the loop injects (the journal names each) is one the decoder accepts:
//   encoded again and decoded, it comes back equal;
// - no read asks for more than a frame can hold, and nothing is left open.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/command_encoder.h"
#include "fakes/fake_pipe_api.h"
#include "fakes/recording_command_injector.h"
#include "platform/windows_error.h"
#include "protocol/decode_input_command.h"
#include "support/fake_worker_platform.h"
#include "worker/pipe_server.h"
#include "worker/session_worker.h"

namespace {

using namespace tarnu;
using Bytes = std::vector<std::uint8_t>;
using Events = std::vector<std::string>;

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "frame loop fuzzer: %s\n", what);
    std::abort();
  }
}

std::string status(const std::string& success, const std::string& failure) {
  return "write 0\n" + success + "\n" + failure + "\n";
}

// What the frame loop must do with one connection's whole stream.
void expect_connection(const Bytes& stream, Events& events) {
  std::size_t at = 0;
  while (stream.size() - at >= 4) {
    const std::uint32_t length = static_cast<std::uint32_t>(stream[at]) |
                                 static_cast<std::uint32_t>(stream[at + 1]) << 8 |
                                 static_cast<std::uint32_t>(stream[at + 2]) << 16 |
                                 static_cast<std::uint32_t>(stream[at + 3]) << 24;
    at += 4;
    if (length == 0 || length > worker::kMaxPayloadLength) {
      events.push_back(status("", "invalid input command length: " + std::to_string(length)));
      break;
    }
    if (stream.size() - at < length) {
      break;
    }
    const auto decoded =
        protocol::decode_input_command(std::span<const std::uint8_t>(stream.data() + at, length));
    at += length;
    if (decoded) {
      const auto again = protocol::decode_input_command(tools::encode_input_command(*decoded));
      check(again && *again == *decoded, "a decoded command does not decode to itself");
      events.push_back("bind");
      events.push_back(status("Default", ""));
      events.push_back("inject " + fakes::describe(*decoded));
    } else {
      events.push_back(status("", decoded.error()));
    }
  }
  events.push_back("release at connection end");
  events.push_back(status("Default", ""));
  events.push_back("disconnect");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  support::FakeWorkerPlatform fake;

  // Up to four connections; each stream cut into reads of 1 to 300 bytes. Sizes and flags
  // come from the input's end, stream bytes from its front.
  // One pipe instance for the whole run; a client that came and went before the wait makes
  // the worker back off, a served one starts the back-off over.
  Events expected = {"create pipe"};
  std::uint32_t pause = 0;
  const int connections = input.ConsumeIntegralInRange<int>(1, 4);
  for (int c = 0; c < connections; ++c) {
    fakes::FakePipeApi::Connection connection;
    switch (input.ConsumeIntegralInRange<int>(0, 15)) {
      case 0:
        connection.connect_error = platform::kErrorPipeConnected;
        break;
      case 1:
        connection.connect_error = platform::kErrorNoData;  // the client came and went
        break;
      case 2:
        connection.client_session = std::uint32_t{2};  // another session's client
        break;
      default:
        break;
    }
    if (input.ConsumeBool()) {
      connection.end_error.reset();  // the stream ends with a read of 0 bytes
    }
    Bytes stream;
    while (input.remaining_bytes() > 0 && !input.ConsumeBool()) {
      Bytes chunk =
          input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(1, 300));
      if (chunk.empty()) {
        break;
      }
      stream.insert(stream.end(), chunk.begin(), chunk.end());
      connection.chunks.push_back(std::move(chunk));
    }
    expected.push_back("connect");
    if (connection.connect_error == platform::kErrorNoData) {
      pause = pause == 0 ? worker::kFirstBackOffMilliseconds
                         : std::min(pause * 2, worker::kLastBackOffMilliseconds);
      expected.push_back("disconnect");
      expected.push_back("pause " + std::to_string(pause));
    } else if (*connection.client_session != 1) {
      expected.push_back(status("", "pipe client from session 2 refused"));
      expected.push_back("disconnect");
    } else {
      expect_connection(stream, expected);
      pause = 0;
    }
    fake.pipes.connections.push_back(std::move(connection));
  }
  // The end of the script: the instance stops being one, and what is held is released.
  expected.push_back("end of script");
  expected.push_back("release at connection end");
  expected.push_back(status("Default", ""));

  const Status ended = worker::run_session_worker(
      fake.platform,
      [&] { return std::make_unique<fakes::RecordingCommandInjector>(fake.journal); },
      &protocol::decode_input_command);

  check(!ended && ended.error() == platform::windows_error_text("ConnectNamedPipe",
                                                                platform::kErrorInvalidHandle),
        "the loop ended other than by the end of the script");
  check(fake.pipes.instances_created == 1, "more than one pipe instance");
  check(fake.journal.events() == expected, "the frame loop did not do what the stream asks");
  for (const std::size_t asked : fake.pipes.read_sizes) {
    check(asked >= 1 && asked <= worker::kMaxPayloadLength, "a read of a size no frame needs");
  }
  check(fake.ledger.open_count() == 0 && fake.ledger.misuses().empty(),
        "a handle leaked or misused");
  return 0;
}
