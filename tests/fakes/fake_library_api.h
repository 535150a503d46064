#pragma once

#include <string>
#include <vector>

#include "fakes/handle_ledger.h"
#include "platform/library_api.h"

namespace tarnu::fakes {

// Libraries against a ledger: one library with at most one export.
class FakeLibraryApi final : public platform::LibraryApi {
 public:
  explicit FakeLibraryApi(HandleLedger& ledger) : ledger_(ledger) {}

  // What the system offers.
  bool library_present = true;
  bool export_present = true;

  std::vector<std::u16string> loaded;
  std::vector<std::string> looked_up;
  // The argument of each call of the export, and whether its library was loaded then.
  std::vector<bool> call_arguments;
  std::vector<bool> called_while_loaded;

  platform::ModuleHandle load_system_library(const std::u16string& name) override {
    loaded.push_back(name);
    if (!library_present) {
      return {};
    }
    module_ = ledger_.open_as<platform::ModuleHandle>("library");
    return module_;
  }
  platform::RawProcedure get_proc_address(platform::ModuleHandle module,
                                          const std::string& name) override {
    looked_up.push_back(name);
    return export_present && ledger_.is_open(module) ? kExportAddress : 0;
  }
  void call_void_bool_procedure(platform::RawProcedure procedure, bool argument) override {
    call_arguments.push_back(argument);
    called_while_loaded.push_back(procedure == kExportAddress && module_ &&
                                  ledger_.is_open(module_));
  }
  void free_library(platform::ModuleHandle module) override {
    ledger_.release(module.raw(), Release::kFreeLibrary);
  }

 private:
  static constexpr platform::RawProcedure kExportAddress = 0x7000;

  HandleLedger& ledger_;
  platform::ModuleHandle module_;
};

}  // namespace tarnu::fakes
