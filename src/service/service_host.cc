#include "service/service_host.h"

#include <atomic>
#include <cassert>
#include <chrono>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "service/event_queue.h"
#include "service/event_receiver.h"
#include "service/event_sender.h"
#include "service/handler_context.h"
#include "service/service_dispatcher.h"
#include "service/service_event_log.h"
#include "service/service_status.h"
#include "service/supervise_worker.h"

namespace tarnu::service {
namespace {

// One dispatcher run: the platform the service works through and every handler context
// handed to the dispatcher, kept until the dispatcher has returned.
struct ServiceRun {
  explicit ServiceRun(const ServicePlatform& platform_areas) : host(platform_areas) {}

  HandlerContext* keep(std::unique_ptr<HandlerContext> context) {
    std::lock_guard lock(mutex);
    contexts.push_back(std::move(context));
    return contexts.back().get();
  }

  ServicePlatform host;
  std::mutex mutex;
  std::vector<std::unique_ptr<HandlerContext>> contexts;
};

// The dispatcher calls service_entry without a context of its own.
std::atomic<ServiceRun*> g_run{nullptr};

}  // namespace

Expected<void, platform::WinapiError> run_service_dispatcher(const ServicePlatform& host) {
  ServiceRun run(host);
  ServiceRun* idle = nullptr;
  const bool installed = g_run.compare_exchange_strong(idle, &run);
  assert(installed && "one dispatcher run at a time");
  (void)installed;
  Expected<void, platform::WindowsErrorCode> dispatched =
      host.control.start_dispatcher(kServiceName, &service_entry);
  g_run.store(nullptr);
  if (!dispatched) {
    return Unexpected(platform::WinapiError{dispatched.error()});
  }
  return {};
}

void service_entry(std::uint32_t /*argc*/, char16_t** /*argv*/) {
  ServiceRun* run = g_run.load();
  if (run == nullptr) {
    return;
  }
  // Copied so that nothing of the run is touched once SERVICE_STOPPED has let the
  // dispatcher return.
  const ServicePlatform host = run->host;

  auto [sender, receiver] = make_event_queue();
  // Our own sending end keeps the queue connected for as long as the supervisor runs,
  // whatever the handler does with its end.
  EventSender kept = sender.clone();
  HandlerContext* context = run->keep(std::make_unique<HandlerContext>(std::move(sender)));

  const platform::ServiceStatusHandle status_handle =
      host.control.register_control_handler(kServiceName, &handle_service_control, context);
  if (!status_handle) {
    context->release();
    return;
  }

  if (!report_service_status(host.control, status_handle, platform::kServiceRunning,
                             kRunningControlsAccepted, 0, std::chrono::nanoseconds::zero())) {
    return;
  }
  ServiceEventLog log(host.event_log, host.clock);
  log.service_started(host.version);
  // Checked once: Ctrl+Alt+Del requests come to the worker, which can only fail them.
  log.check_sas_policy(host.policy.software_sas_generation());

  // Reported from this thread, as every other report: the stop is under way, and the
  // worker's release may take up to its bound.
  supervise_worker(receiver, host.processes, host.handles, log, [&] {
    (void)report_service_status(host.control, status_handle, platform::kServiceStopPending, 0, 1,
                                kStopPendingWaitHint);
  });
  log.service_stopped();

  // Nobody to tell when this fails: the dispatcher is all that is left.
  (void)report_service_status(host.control, status_handle, platform::kServiceStopped, 0, 0,
                              std::chrono::nanoseconds::zero());
  receiver.reset();
  kept.reset();
}

std::uint32_t handle_service_control(std::uint32_t control, std::uint32_t event_type,
                                     void* /*event_data*/, void* context) {
  if (context == nullptr) {
    return control == platform::kServiceControlInterrogate ? platform::kErrorSuccess
                                                           : platform::kErrorCallNotImplemented;
  }
  return static_cast<HandlerContext*>(context)->handle(control, event_type);
}

}  // namespace tarnu::service
