#include "fakes/fake_library_api.h"

namespace tarnu::fakes {
namespace {

constexpr platform::RawProcedure kExportAddress = 0x7000;

}  // namespace

platform::ModuleHandle FakeLibraryApi::load_system_library(const std::u16string& name) {
  loaded.push_back(name);
  if (!library_present) {
    return {};
  }
  module_ = ledger_.open_as<platform::ModuleHandle>("library");
  return module_;
}

platform::RawProcedure FakeLibraryApi::get_proc_address(platform::ModuleHandle module,
                                                        const std::string& name) {
  looked_up.push_back(name);
  if (!export_present || !ledger_.is_open(module)) {
    return 0;
  }
  return kExportAddress;
}

void FakeLibraryApi::call_void_bool_procedure(platform::RawProcedure procedure, bool argument) {
  call_arguments.push_back(argument);
  called_while_loaded.push_back(procedure == kExportAddress && module_ && ledger_.is_open(module_));
}

void FakeLibraryApi::free_library(platform::ModuleHandle module) {
  ledger_.release(module.raw(), Release::kFreeLibrary);
}

}  // namespace tarnu::fakes
