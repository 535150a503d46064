#pragma once

#include "platform/scoped_object.h"
#include "platform/types.h"

namespace tarnu::platform {

// Releasing the two kinds of object that every area of the seam hands out: kernel handles
// (CloseHandle) and memory the platform allocated for the caller (LocalFree).
class HandleApi {
 public:
  virtual ~HandleApi() = default;

  // CloseHandle; the result is not examined anywhere in the product.
  virtual void close_handle(RawHandle handle) = 0;
  // LocalFree, for security descriptors, SID texts and argument vectors.
  virtual void local_free(RawHandle memory) = 0;
};

using ScopedHandle = ScopedObject<ReleasedBy<HandleApi, &HandleApi::close_handle>>;
using ScopedLocalMemory = ScopedObject<ReleasedBy<HandleApi, &HandleApi::local_free>>;

}  // namespace tarnu::platform
