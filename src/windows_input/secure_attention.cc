#include "windows_input/secure_attention.h"

namespace tarnu::windows_input {

Status send_secure_attention(platform::LibraryApi& libraries) {
  // The bare name: the system directory is searched as for any system library.
  const platform::ScopedLibrary sas(libraries, libraries.load_library(u"sas.dll"));
  if (!sas) {
    return Unexpected(std::string(kSasLibraryUnavailable));
  }
  const platform::RawProcedure send_sas = libraries.get_proc_address(sas.get(), "SendSAS");
  if (send_sas == 0) {
    return Unexpected(std::string(kSendSasUnavailable));
  }
  // AsUser FALSE: the caller is a service-started process, not the user's own.
  libraries.call_void_bool_procedure(send_sas, false);
  return {};
}

}  // namespace tarnu::windows_input
