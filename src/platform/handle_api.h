#pragma once

#include "platform/handles.h"
#include "platform/scoped_object.h"

namespace tarnu::platform {

// Releasing the two kinds of object that every area of the seam hands out: kernel objects
// (files, pipes, processes, threads, tokens, jobs, events: CloseHandle) and memory the platform
// allocated for the caller (security descriptors, SID texts, argument vectors: LocalFree).
// Each takes only handles of the kinds it releases.
class HandleApi {
 public:
  virtual ~HandleApi() = default;

  // CloseHandle; the result is not examined anywhere in the product.
  template <KernelObjectKind Kind>
  void close_handle(Handle<Kind> handle) {
    close_kernel_object(handle.raw());
  }
  // LocalFree.
  template <LocalMemoryKind Kind>
  void local_free(Handle<Kind> memory) {
    free_local_memory(memory.raw());
  }

 private:
  virtual void close_kernel_object(RawHandle handle) = 0;
  virtual void free_local_memory(RawHandle memory) = 0;
};

// Owners of one kernel object, closed with CloseHandle.
template <KernelObjectKind Kind>
using ScopedKernelObject =
    ScopedObject<ReleasedBy<HandleApi, Handle<Kind>, &HandleApi::close_handle<Kind>>>;
using ScopedFile = ScopedKernelObject<FileKind>;
using ScopedPipe = ScopedKernelObject<PipeKind>;
using ScopedProcess = ScopedKernelObject<ProcessKind>;
using ScopedThread = ScopedKernelObject<ThreadKind>;
using ScopedToken = ScopedKernelObject<TokenKind>;
using ScopedJob = ScopedKernelObject<JobKind>;
using ScopedEvent = ScopedKernelObject<EventKind>;

// Owners of one allocation of the platform's, freed with LocalFree.
template <LocalMemoryKind Kind>
using ScopedLocalMemory =
    ScopedObject<ReleasedBy<HandleApi, Handle<Kind>, &HandleApi::local_free<Kind>>>;
using ScopedSecurityDescriptor = ScopedLocalMemory<SecurityDescriptorKind>;
using ScopedSidText = ScopedLocalMemory<SidTextKind>;
using ScopedArgumentVector = ScopedLocalMemory<ArgumentVectorKind>;
using ScopedMessageText = ScopedLocalMemory<MessageTextKind>;

}  // namespace tarnu::platform
