#include "contract/contract.h"

#include <vector>

namespace tarnu::contract {
namespace {

using platform::ScopedPipe;
using platform::ScopedSecurityDescriptor;
using platform::WindowsErrorCode;

// The shape of the worker's descriptor: SYSTEM and one user, nobody else.
constexpr std::u16string_view kPipeSddl = u"D:P(A;;GA;;;SY)(A;;GRGW;;;S-1-5-21-1-2-3-1001)";
// ERROR_INVALID_SECURITY_DESCR.
constexpr WindowsErrorCode kInvalidSecurityDescriptor = 1338;

class PipeCase {
 public:
  explicit PipeCase(PipeWorld& world) : world_(world) {
    auto descriptor = world.api().security_descriptor_from_sddl(kPipeSddl);
    EXPECT_TRUE(descriptor);
    if (descriptor) {
      descriptor_ = ScopedSecurityDescriptor(world.handles(), *descriptor);
    }
  }

  Expected<ScopedPipe, WindowsErrorCode> create(const std::u16string& name) {
    auto pipe = world_.api().create_input_pipe(name, descriptor_.get());
    if (!pipe) {
      return Unexpected(pipe.error());
    }
    return ScopedPipe(world_.handles(), *pipe);
  }

  // Reads until the stream ends (a failure, or a read of 0 bytes): what arrived and how the
  // stream ended (0 for a read of 0 bytes).
  std::pair<std::string, WindowsErrorCode> read_to_end(const ScopedPipe& pipe, std::size_t chunk) {
    std::string text;
    std::vector<std::uint8_t> buffer(chunk);
    for (int reads = 0; reads < 100; ++reads) {
      const auto read = world_.api().read_file(pipe.get(), buffer);
      if (!read) {
        return {text, read.error()};
      }
      EXPECT_LE(*read, chunk);
      if (*read == 0) {
        return {text, platform::kErrorSuccess};
      }
      text.append(buffer.begin(), buffer.begin() + *read);
    }
    ADD_FAILURE() << "the stream did not end";
    return {text, platform::kErrorSuccess};
  }

  const ScopedSecurityDescriptor& descriptor() const { return descriptor_; }

 private:
  PipeWorld& world_;
  ScopedSecurityDescriptor descriptor_;
};

// FILE_FLAG_FIRST_PIPE_INSTANCE: while an instance of the name exists, nobody creates
// another (Windows: 5; Wine: 231). Once it is closed the name is free again.
TEST_P(PipeContract, ANameWithAnInstanceCannotBeCreatedAgain) {
  PipeCase pipes(*world_);
  const std::u16string name = world_->unique_name();
  {
    auto first = pipes.create(name);
    ASSERT_TRUE(first);
    const auto second = pipes.create(name);
    ASSERT_FALSE(second);
    EXPECT_TRUE(second.error() == platform::kErrorAccessDenied ||
                second.error() == platform::kErrorPipeBusy)
        << second.error();
  }
  EXPECT_TRUE(pipes.create(name));
}

// A client that opened the pipe before the wait and is still there: ConnectNamedPipe says
// 535, which the worker takes as connected. What the client wrote arrives in order, however
// the reads split it, each read at most its buffer; the client's close ends the stream
// (Windows may give a read of 0 bytes, Wine gives 109; the worker treats both as the end).
TEST_P(PipeContract, AClientThatCameFirstIsConnectedAndItsBytesArrive) {
  PipeCase pipes(*world_);
  const std::u16string name = world_->unique_name();
  auto pipe = pipes.create(name);
  ASSERT_TRUE(pipe);
  const auto client = world_->open_client(name);
  ASSERT_TRUE(client) << client.error();
  world_->client_write(*client, "hello ");
  world_->client_write(*client, "pipe");
  const auto connected = world_->api().connect_named_pipe(pipe->get());
  ASSERT_FALSE(connected);
  EXPECT_EQ(connected.error(), platform::kErrorPipeConnected);

  const auto session = world_->api().client_session_id(pipe->get());
  ASSERT_TRUE(session);
  EXPECT_EQ(*session, world_->own_session());

  world_->close_client(*client);
  const auto [text, end] = pipes.read_to_end(*pipe, 3);
  EXPECT_EQ(text, "hello pipe");
  EXPECT_TRUE(end == platform::kErrorBrokenPipe || end == platform::kErrorSuccess) << end;
  world_->api().disconnect_named_pipe(pipe->get());
}

// A client that came and left before the wait: 232, and nothing of it can be read. After the
// disconnect the next wait takes the next client (the instance refuses clients between the
// disconnect and that wait: 231).
TEST_P(PipeContract, AClientThatLeftBeforeTheWaitGives232UntilDisconnected) {
  PipeCase pipes(*world_);
  const std::u16string name = world_->unique_name();
  auto pipe = pipes.create(name);
  ASSERT_TRUE(pipe);
  const auto gone = world_->open_client(name);
  ASSERT_TRUE(gone) << gone.error();
  world_->client_write(*gone, "lost");
  world_->close_client(*gone);
  const auto connected = world_->api().connect_named_pipe(pipe->get());
  ASSERT_FALSE(connected);
  EXPECT_EQ(connected.error(), platform::kErrorNoData);

  world_->api().disconnect_named_pipe(pipe->get());
  world_->client_during_next_wait(name, "kept");
  ASSERT_TRUE(world_->api().connect_named_pipe(pipe->get()));
  const auto session = world_->api().client_session_id(pipe->get());
  ASSERT_TRUE(session);
  EXPECT_EQ(*session, world_->own_session());
  const auto [text, end] = pipes.read_to_end(*pipe, 64);
  EXPECT_EQ(text, "kept");
  EXPECT_TRUE(end == platform::kErrorBrokenPipe || end == platform::kErrorSuccess) << end;
  world_->api().disconnect_named_pipe(pipe->get());
}

// The DACL of a descriptor is applied to the live instance (created with WRITE_DAC); a
// descriptor without a DACL is refused rather than open the pipe to everyone.
TEST_P(PipeContract, PipeSecurityIsReplacedOnlyByADescriptorWithADacl) {
  PipeCase pipes(*world_);
  auto pipe = pipes.create(world_->unique_name());
  ASSERT_TRUE(pipe);
  EXPECT_TRUE(world_->api().set_pipe_security(pipe->get(), pipes.descriptor().get()));

  const auto no_dacl = world_->api().security_descriptor_from_sddl(u"O:SY");
  ASSERT_TRUE(no_dacl);
  ScopedSecurityDescriptor owner_only(world_->handles(), *no_dacl);
  const auto refused = world_->api().set_pipe_security(pipe->get(), owner_only.get());
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), kInvalidSecurityDescriptor);

  const auto garbled = world_->api().security_descriptor_from_sddl(u"not a descriptor");
  if (garbled) {
    ScopedSecurityDescriptor leaked(world_->handles(), *garbled);
  }
  ASSERT_FALSE(garbled);
  EXPECT_EQ(garbled.error(), platform::kErrorInvalidParameter);
}

}  // namespace
}  // namespace tarnu::contract
