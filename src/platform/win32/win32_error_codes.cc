// The Windows error codes that the portable code copies (platform/types.h), held to the
// SDK's: a wrong copy fails the Windows build instead of passing every native test, whose
// fakes read the same copy.

#include <windows.h>

#include "platform/types.h"

namespace tarnu::platform {

static_assert(kErrorSuccess == ERROR_SUCCESS);
static_assert(kErrorFileNotFound == ERROR_FILE_NOT_FOUND);
static_assert(kErrorPathNotFound == ERROR_PATH_NOT_FOUND);
static_assert(kErrorAccessDenied == ERROR_ACCESS_DENIED);
static_assert(kErrorInvalidHandle == ERROR_INVALID_HANDLE);
static_assert(kErrorInvalidParameter == ERROR_INVALID_PARAMETER);
static_assert(kErrorBrokenPipe == ERROR_BROKEN_PIPE);
static_assert(kErrorCallNotImplemented == ERROR_CALL_NOT_IMPLEMENTED);
static_assert(kErrorAlreadyExists == ERROR_ALREADY_EXISTS);
static_assert(kErrorPipeBusy == ERROR_PIPE_BUSY);
static_assert(kErrorNoData == ERROR_NO_DATA);
static_assert(kErrorPipeNotConnected == ERROR_PIPE_NOT_CONNECTED);
static_assert(kErrorPipeConnected == ERROR_PIPE_CONNECTED);
static_assert(kErrorNoToken == ERROR_NO_TOKEN);
static_assert(kErrorFailedServiceControllerConnect == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);

}  // namespace tarnu::platform
