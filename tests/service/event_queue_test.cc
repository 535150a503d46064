#include "service/event_queue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "service/event_receiver.h"
#include "service/event_sender.h"

namespace tarnu::service {
namespace {

using std::chrono::milliseconds;

TEST(EventQueueTest, DeliversInOrderSentThenTimesOut) {
  auto [sender, receiver] = make_event_queue();
  sender.send(ServiceEvent::SessionChanged);
  sender.send(ServiceEvent::Stop);
  sender.send(ServiceEvent::SessionChanged);
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::SessionChanged);
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::Stop);
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::SessionChanged);
  EXPECT_EQ(receiver.receive_for(milliseconds(1)), ReceiveOutcome::TimedOut);
}

TEST(EventQueueTest, DisconnectsOnlyWhenEverySenderIsGoneAndNothingIsLeft) {
  auto [sender, receiver] = make_event_queue();
  EventSender second = sender.clone();
  second.send(ServiceEvent::Stop);
  second.reset();
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::Stop);
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::TimedOut);

  sender.send(ServiceEvent::SessionChanged);
  {
    EventSender moved = std::move(sender);  // the moved-from end no longer counts
  }
  // What was sent before the last end went is still received first.
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::SessionChanged);
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::Disconnected);
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::Disconnected);
}

TEST(EventQueueTest, SendAfterTheReceiverIsGoneIsDropped) {
  auto [sender, receiver] = make_event_queue();
  receiver.reset();
  sender.send(ServiceEvent::Stop);  // neither blocks nor fails
  EXPECT_EQ(receiver.receive_for(milliseconds(0)), ReceiveOutcome::Disconnected);
}

TEST(EventQueueTest, WaitingReceiverWakesForAnEventOrTheLastSenderGoing) {
  for (const bool sends : {true, false}) {
    auto [sender, receiver] = make_event_queue();
    std::thread other([s = std::move(sender), sends]() mutable {
      std::this_thread::sleep_for(milliseconds(20));
      sends ? s.send(ServiceEvent::Stop) : s.reset();
    });
    EXPECT_EQ(receiver.receive_for(std::chrono::minutes(5)),
              sends ? ReceiveOutcome::Stop : ReceiveOutcome::Disconnected);
    other.join();
  }
}

TEST(EventQueueTest, ManySendersOnManyThreadsLoseNothing) {
  constexpr int kThreads = 4;
  constexpr int kEach = 500;
  auto [sender, receiver] = make_event_queue();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([s = sender.clone()] {
      for (int i = 0; i < kEach; ++i) {
        s.send(ServiceEvent::SessionChanged);
      }
    });
  }
  sender.reset();
  int received = 0;
  while (receiver.receive_for(std::chrono::minutes(5)) == ReceiveOutcome::SessionChanged) {
    ++received;
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(received, kThreads * kEach);
}

}  // namespace
}  // namespace tarnu::service
