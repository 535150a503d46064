#pragma once

#include <functional>

#include "fakes/event_journal.h"
#include "platform/stop_signal_api.h"

namespace tarnu::fakes {

// The service's stop request, arriving when a test says: `arrived` is asked at every check,
// so a test points it at a moment of its script (the second ConnectNamedPipe, the fourth
// read, ...). Acknowledging is written to the journal as "stop acknowledged".
class FakeStopSignalApi final : public platform::StopSignalApi {
 public:
  explicit FakeStopSignalApi(EventJournal& journal) : journal_(journal) {}

  std::function<bool()> arrived = [] { return false; };

  bool stop_requested() override { return arrived(); }
  void acknowledge_stop() override { journal_.record("stop acknowledged"); }

 private:
  EventJournal& journal_;
};

}  // namespace tarnu::fakes
