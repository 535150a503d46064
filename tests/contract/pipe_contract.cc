#include "contract/contract.h"

#include <vector>

namespace tarnu::contract {
namespace {

using platform::ScopedPipe;
using platform::ScopedSecurityDescriptor;
using platform::WindowsErrorCode;

// The shape of the worker's descriptor: SYSTEM and one user, nobody else, and nothing below
// medium integrity. Every case creates and connects with the label on.
constexpr std::u16string_view kPipeSddl =
    u"D:P(A;;GA;;;SY)(A;;GRGW;;;S-1-5-21-1-2-3-1001)S:(ML;;NWNRNX;;;ME)";
// ERROR_INVALID_SECURITY_DESCR.
constexpr WindowsErrorCode kInvalidSecurityDescriptor = 1338;

class PipeCase {
 public:
  explicit PipeCase(World& world) : world_(world) {
    auto descriptor = world.pipes().security_descriptor_from_sddl(kPipeSddl);
    EXPECT_TRUE(descriptor);
    if (descriptor) {
      descriptor_ = ScopedSecurityDescriptor(world.handles(), *descriptor);
    }
  }

  Expected<ScopedPipe, WindowsErrorCode> create(const std::u16string& name) {
    auto pipe = world_.pipes().create_input_pipe(name, descriptor_.get());
    if (!pipe) {
      return Unexpected(pipe.error());
    }
    return ScopedPipe(world_.handles(), *pipe);
  }

  // The connected client is of the process's own session, and what it wrote arrives in
  // order, however the reads split it, each read at most its buffer. Its close ends the
  // stream (Windows may give a read of 0 bytes, Wine gives 109; the worker treats both as the
  // end). Then the instance is disconnected.
  void expect_client_wrote(const ScopedPipe& pipe, std::size_t chunk, std::string_view bytes) {
    const auto session = world_.pipes().client_session_id(pipe.get());
    ASSERT_TRUE(session);
    EXPECT_EQ(*session, world_.own_session());
    std::string text;
    std::vector<std::uint8_t> buffer(chunk);
    for (int reads = 0; reads < 100; ++reads) {
      const auto read = world_.pipes().read_file(pipe.get(), buffer);
      if (!read || *read == 0) {
        EXPECT_EQ(read ? platform::kErrorBrokenPipe : read.error(), platform::kErrorBrokenPipe);
        EXPECT_EQ(text, bytes);
        world_.pipes().disconnect_named_pipe(pipe.get());
        return;
      }
      EXPECT_LE(*read, chunk);
      text.append(buffer.begin(), buffer.begin() + *read);
    }
    ADD_FAILURE() << "the stream did not end";
  }

  const ScopedSecurityDescriptor& descriptor() const { return descriptor_; }

 private:
  World& world_;
  ScopedSecurityDescriptor descriptor_;
};

// FILE_FLAG_FIRST_PIPE_INSTANCE: while an instance of the name exists, nobody creates
// another (Windows: 5; Wine: 231). Once it is closed the name is free again.
TEST_F(PipeContract, ANameWithAnInstanceCannotBeCreatedAgain) {
  PipeCase pipes(*world_);
  const std::u16string name = world_->unique_pipe_name();
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
// 535, which the worker takes as connected.
TEST_F(PipeContract, AClientThatCameFirstIsConnectedAndItsBytesArrive) {
  PipeCase pipes(*world_);
  const std::u16string name = world_->unique_pipe_name();
  auto pipe = pipes.create(name);
  ASSERT_TRUE(pipe);
  const auto client = world_->open_client(name);
  ASSERT_TRUE(client) << client.error();
  world_->client_write(*client, "hello ");
  world_->client_write(*client, "pipe");
  const auto connected = world_->pipes().connect_named_pipe(pipe->get());
  ASSERT_FALSE(connected);
  EXPECT_EQ(connected.error(), platform::kErrorPipeConnected);
  world_->close_client(*client);
  pipes.expect_client_wrote(*pipe, 3, "hello pipe");
}

// A client that came and left before the wait: 232, and nothing of it can be read. After the
// disconnect the next wait takes the next client (the instance refuses clients between the
// disconnect and that wait: 231).
TEST_F(PipeContract, AClientThatLeftBeforeTheWaitGives232UntilDisconnected) {
  PipeCase pipes(*world_);
  const std::u16string name = world_->unique_pipe_name();
  auto pipe = pipes.create(name);
  ASSERT_TRUE(pipe);
  const auto gone = world_->open_client(name);
  ASSERT_TRUE(gone) << gone.error();
  world_->client_write(*gone, "lost");
  world_->close_client(*gone);
  const auto connected = world_->pipes().connect_named_pipe(pipe->get());
  ASSERT_FALSE(connected);
  EXPECT_EQ(connected.error(), platform::kErrorNoData);

  world_->pipes().disconnect_named_pipe(pipe->get());
  world_->client_during_next_wait(name, "kept");
  ASSERT_TRUE(world_->pipes().connect_named_pipe(pipe->get()));
  pipes.expect_client_wrote(*pipe, 64, "kept");
}

// The DACL of a descriptor is applied to the live instance (created with WRITE_DAC); a
// descriptor without a DACL is refused rather than open the pipe to everyone.
TEST_F(PipeContract, PipeSecurityIsReplacedOnlyByADescriptorWithADacl) {
  PipeCase pipes(*world_);
  auto pipe = pipes.create(world_->unique_pipe_name());
  ASSERT_TRUE(pipe);
  EXPECT_TRUE(world_->pipes().set_pipe_security(pipe->get(), pipes.descriptor().get()));

  const auto no_dacl = world_->pipes().security_descriptor_from_sddl(u"O:SY");
  ASSERT_TRUE(no_dacl);
  ScopedSecurityDescriptor owner_only(world_->handles(), *no_dacl);
  const auto refused = world_->pipes().set_pipe_security(pipe->get(), owner_only.get());
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), kInvalidSecurityDescriptor);

  const auto garbled = world_->pipes().security_descriptor_from_sddl(u"not a descriptor");
  if (garbled) {
    ScopedSecurityDescriptor leaked(world_->handles(), *garbled);
  }
  ASSERT_FALSE(garbled);
  EXPECT_EQ(garbled.error(), platform::kErrorInvalidParameter);
}

}  // namespace
}  // namespace tarnu::contract
