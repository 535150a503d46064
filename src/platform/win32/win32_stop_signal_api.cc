#include "platform/win32/win32_stop_signal_api.h"

#include <windows.h>

#include <atomic>
#include <mutex>

#include "platform/win32/win32_call_support.h"
#include "platform/win32/win32_handle_api.h"

namespace tarnu::platform::win32 {
namespace {

// How often the watcher cancels the main thread's blocking call until it is acknowledged.
constexpr DWORD kCancelIntervalMilliseconds = 10;

// The APC does nothing: being queued is what ends an alertable SleepEx.
void CALLBACK wake_up(ULONG_PTR) {}

class Win32StopWatcher final : public StopSignalApi {
 public:
  // Takes over all three handles.
  Win32StopWatcher(HANDLE stop_event, HANDLE main_thread, HANDLE quit)
      : stop_event_(stop_event), main_thread_(main_thread), quit_(quit) {}
  Win32StopWatcher(const Win32StopWatcher&) = delete;
  Win32StopWatcher& operator=(const Win32StopWatcher&) = delete;

  ~Win32StopWatcher() override {
    ::SetEvent(quit_);
    if (thread_ != nullptr) {
      ::WaitForSingleObject(thread_, INFINITE);
      ::CloseHandle(thread_);
    }
    ::CloseHandle(quit_);
    ::CloseHandle(main_thread_);
    ::CloseHandle(stop_event_);
  }

  bool start() {
    thread_ = ::CreateThread(nullptr, 0, &Win32StopWatcher::watch, this, 0, nullptr);
    return thread_ != nullptr;
  }

  bool stop_requested() override { return requested_.load(std::memory_order_acquire); }

  void acknowledge_stop() override {
    // Under the lock, so that no cancel is on its way once this returns.
    std::lock_guard lock(mutex_);
    acknowledged_ = true;
    ::SetEvent(quit_);
  }

 private:
  static DWORD WINAPI watch(void* self) {
    static_cast<Win32StopWatcher*>(self)->watch();
    return 0;
  }

  void watch() {
    const HANDLE waits[] = {stop_event_, quit_};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
      return;
    }
    requested_.store(true, std::memory_order_release);
    ::QueueUserAPC(&wake_up, main_thread_, 0);
    do {
      std::lock_guard lock(mutex_);
      if (acknowledged_) {
        return;
      }
      ::CancelSynchronousIo(main_thread_);
    } while (::WaitForSingleObject(quit_, kCancelIntervalMilliseconds) == WAIT_TIMEOUT);
  }

  HANDLE stop_event_;
  HANDLE main_thread_;
  HANDLE quit_;
  HANDLE thread_ = nullptr;
  std::atomic<bool> requested_{false};
  std::mutex mutex_;
  bool acknowledged_ = false;
};

}  // namespace

Expected<std::unique_ptr<StopSignalApi>, WindowsErrorCode> watch_stop_event(RawHandle stop_event) {
  const HANDLE event = to_handle(stop_event);
  if (::WaitForSingleObject(event, 0) == WAIT_FAILED) {
    const auto failure = last_error();
    ::CloseHandle(event);
    return failure;
  }
  // GetCurrentThread() is a pseudo-handle that means whichever thread uses it: the watcher
  // needs a real handle to this one (CancelSynchronousIo and QueueUserAPC need
  // THREAD_TERMINATE and THREAD_SET_CONTEXT, which the same access gives).
  HANDLE main_thread = nullptr;
  if (!::DuplicateHandle(::GetCurrentProcess(), ::GetCurrentThread(), ::GetCurrentProcess(),
                         &main_thread, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
    const auto failure = last_error();
    ::CloseHandle(event);
    return failure;
  }
  HANDLE quit = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (quit == nullptr) {
    const auto failure = last_error();
    ::CloseHandle(main_thread);
    ::CloseHandle(event);
    return failure;
  }
  auto watcher = std::make_unique<Win32StopWatcher>(event, main_thread, quit);
  if (!watcher->start()) {
    // The watcher's destructor closes the three handles.
    return last_error();
  }
  return std::unique_ptr<StopSignalApi>(std::move(watcher));
}

}  // namespace tarnu::platform::win32
