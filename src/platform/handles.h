#pragma once

#include <concepts>

#include "platform/types.h"

namespace tarnu::platform {

// How the platform releases an object of some kind.
enum class Release { kCloseHandle, kLocalFree, kCloseDesktop, kFreeLibrary, kNone };

// A platform object of one kind, as the portable code sees it: an opaque value, 0 meaning
// "none". Every kind is a type of its own, so that a token cannot be passed where a pipe is
// expected, and each kind names the one way it is released (see HandleApi, DesktopApi,
// LibraryApi): releasing a desktop with CloseHandle or a token with LocalFree does not
// compile. Only the Win32 side of the seam turns the value back into a pointer; the
// recording fakes hand out small counters instead.
template <typename Kind>
class Handle {
 public:
  using KindType = Kind;

  constexpr Handle() = default;
  constexpr explicit Handle(RawHandle value) : value_(value) {}

  constexpr RawHandle raw() const { return value_; }
  constexpr explicit operator bool() const { return value_ != 0; }
  friend constexpr bool operator==(Handle, Handle) = default;

 private:
  RawHandle value_ = 0;
};

// The kinds. `kRelease` says how an object of the kind is released.
struct FileKind {
  static constexpr Release kRelease = Release::kCloseHandle;
};
struct PipeKind {
  static constexpr Release kRelease = Release::kCloseHandle;
};
struct ProcessKind {
  static constexpr Release kRelease = Release::kCloseHandle;
};
struct ThreadKind {
  static constexpr Release kRelease = Release::kCloseHandle;
};
struct TokenKind {
  static constexpr Release kRelease = Release::kCloseHandle;
};
struct JobKind {
  static constexpr Release kRelease = Release::kCloseHandle;
};
struct EventKind {
  static constexpr Release kRelease = Release::kCloseHandle;
};
// Memory the platform allocated for the caller: a security descriptor, a SID's text, the
// argument vector of the command line, a system message's text.
struct SecurityDescriptorKind {
  static constexpr Release kRelease = Release::kLocalFree;
};
struct SidTextKind {
  static constexpr Release kRelease = Release::kLocalFree;
};
struct ArgumentVectorKind {
  static constexpr Release kRelease = Release::kLocalFree;
};
struct MessageTextKind {
  static constexpr Release kRelease = Release::kLocalFree;
};
struct DesktopKind {
  static constexpr Release kRelease = Release::kCloseDesktop;
};
struct ModuleKind {
  static constexpr Release kRelease = Release::kFreeLibrary;
};
// SERVICE_STATUS_HANDLE: owned by the service control manager, never released.
struct ServiceStatusKind {
  static constexpr Release kRelease = Release::kNone;
};

using FileHandle = Handle<FileKind>;
using PipeHandle = Handle<PipeKind>;
using ProcessHandle = Handle<ProcessKind>;
using ThreadHandle = Handle<ThreadKind>;
using TokenHandle = Handle<TokenKind>;
using JobHandle = Handle<JobKind>;
using EventHandle = Handle<EventKind>;
using SecurityDescriptor = Handle<SecurityDescriptorKind>;
using SidText = Handle<SidTextKind>;
using ArgumentVector = Handle<ArgumentVectorKind>;
using MessageText = Handle<MessageTextKind>;
using DesktopHandle = Handle<DesktopKind>;
using ModuleHandle = Handle<ModuleKind>;
using ServiceStatusHandle = Handle<ServiceStatusKind>;

// Kinds released by CloseHandle, and by LocalFree.
template <typename Kind>
concept KernelObjectKind = Kind::kRelease == Release::kCloseHandle;
template <typename Kind>
concept LocalMemoryKind = Kind::kRelease == Release::kLocalFree;

}  // namespace tarnu::platform
