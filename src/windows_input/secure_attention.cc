#include "windows_input/secure_attention.h"

namespace tarnu::windows_input {

bool send_secure_attention(platform::LibraryApi& libraries) {
  // sas.dll is no KnownDLL: by its bare name alone, a copy planted beside the executable
  // would be loaded first. Only the one in System32 is taken.
  const platform::ScopedLibrary sas(libraries, libraries.load_system_library(u"sas.dll"));
  if (!sas) {
    return false;
  }
  const platform::RawProcedure send_sas = libraries.get_proc_address(sas.get(), "SendSAS");
  if (send_sas == 0) {
    return false;
  }
  // AsUser FALSE: the caller is a service-started process, not the user's own.
  libraries.call_void_bool_procedure(send_sas, false);
  return true;
}

}  // namespace tarnu::windows_input
