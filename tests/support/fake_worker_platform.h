#pragma once

#include "fakes/event_journal.h"
#include "fakes/fake_file_system_api.h"
#include "fakes/fake_handle_api.h"
#include "fakes/fake_pipe_api.h"
#include "fakes/fake_session_api.h"
#include "fakes/fake_stop_signal_api.h"
#include "fakes/handle_ledger.h"
#include "worker/worker_platform.h"

namespace tarnu::support {

// Every platform area a worker uses, faked over one ledger and one journal, with
// ProgramData set as on a real machine. Script `pipes.connections` (and, for a stop,
// `stop.arrived`), then hand `platform` to the worker.
struct FakeWorkerPlatform {
  FakeWorkerPlatform() { files.environment[u"ProgramData"] = u"C:\\ProgramData"; }
  FakeWorkerPlatform(const FakeWorkerPlatform&) = delete;
  FakeWorkerPlatform& operator=(const FakeWorkerPlatform&) = delete;

  fakes::HandleLedger ledger;
  fakes::EventJournal journal;
  fakes::FakeHandleApi handles{ledger};
  fakes::FakeSessionApi sessions{ledger};
  fakes::FakePipeApi pipes{ledger, journal};
  fakes::FakeFileSystemApi files{ledger, journal};
  fakes::FakeStopSignalApi stop{journal};
  worker::WorkerPlatform platform{handles, sessions, pipes, files, stop};
};

}  // namespace tarnu::support
