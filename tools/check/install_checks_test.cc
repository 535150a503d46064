#include "check/install_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tarnu::check {
namespace {

// A sound install on Windows, as an elevated administrator sees it, with --connect.
InstallFacts healthy() {
  InstallFacts facts;
  facts.machine = {"1.0.0", "host", "10.0.19045", "", true, 1, "C:\\Program Files"};
  ServiceFacts& service = facts.service;
  service.registered = true;
  service.image_path = "\"C:\\Program Files\\Tarnu\\tarnu-input-helper.exe\" --service";
  service.account = "LocalSystem";
  service.start_type = 2;
  service.recovery = std::vector<RecoveryAction>{{1, 5000}, {1, 5000}, {1, 30000}};
  service.recovery_reset_s = 86400;
  service.state = 4;
  service.process_id = 100;
  HelperProcess worker;
  worker.process_id = 200;
  worker.parent_id = 100;
  worker.session = 1;
  worker.in_job = true;
  worker.privileges = {"SeTcbPrivilege", "SeChangeNotifyPrivilege", "SeCreateGlobalPrivilege"};
  worker.user_sid = "S-1-5-18";
  HelperProcess service_process;
  service_process.process_id = 100;
  service_process.parent_id = 4;
  service_process.session = 0;
  facts.helpers = {service_process, worker};
  facts.pipe = {"\\\\.\\pipe\\tarnu-input-s1",
                PipeState::available,
                "",
                true,
                true,
                200,
                1,
                "S-1-5-18",
                "S-1-5-18",
                ""};
  facts.status_folder = {"C:\\ProgramData\\Tarnu",
                         true,
                         true,
                         false,
                         "S-1-5-32-544",
                         "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                         ""};
  facts.status_file = {
      "C:\\ProgramData\\Tarnu\\input-helper-status-s1.txt",       true, false, false, "S-1-5-18",
      "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;S-1-5-21-1-2-3-1001)", ""};
  facts.sas.software_sas.value = 1;
  facts.sas.enable_lua.value = 1;
  facts.executable = {"C:\\Program Files\\Tarnu\\tarnu-input-helper.exe", true, "1.0.0.0", 0, ""};
  facts.event_source = {true, "C:\\Program Files\\Tarnu\\tarnu-input-helper.exe", 7};
  return facts;
}

const CheckResult& find(const std::vector<CheckResult>& results, const std::string& id) {
  static const CheckResult missing{"(missing)", Status::fail, "", ""};
  for (const CheckResult& result : results) {
    if (result.id == id) {
      return result;
    }
  }
  return missing;
}

TEST(InstallChecks, HealthyInstallPassesEveryCheckOnce) {
  const std::vector<CheckResult> results = run_checks(healthy());
  EXPECT_EQ(results.size(), 21u);
  for (const CheckResult& result : results) {
    EXPECT_EQ(result.status, Status::ok) << result.id << ": " << result.detail;
  }
  EXPECT_EQ(exit_status(results), 0);
}

struct Row {
  const char* name;
  std::function<void(InstallFacts&)> change;
  const char* id;
  Status expected;
  const char* detail_has = "";
};

class BrokenInstall : public testing::TestWithParam<Row> {};

TEST_P(BrokenInstall, GivesItsVerdict) {
  InstallFacts facts = healthy();
  GetParam().change(facts);
  const std::vector<CheckResult> results = run_checks(facts);
  const CheckResult& result = find(results, GetParam().id);
  EXPECT_EQ(status_name(result.status), status_name(GetParam().expected)) << result.detail;
  EXPECT_NE(result.detail.find(GetParam().detail_has), std::string::npos) << result.detail;
  if (result.status == Status::fail || result.status == Status::warn) {
    EXPECT_FALSE(result.fix.empty());
  }
}

void as_wine(InstallFacts& f) {
  f.machine.wine_version = "8.0";
  f.helpers[1].user_sid = f.pipe.server_user_sid = f.pipe.owner_sid = "S-1-5-21-0-0-0-1000";
}

const Row kRows[] = {
    {"unregistered", [](InstallFacts& f) { f.service = {}; }, "service.registered", Status::fail},
    {"unregistered_skips_config", [](InstallFacts& f) { f.service = {}; }, "service.start",
     Status::skipped},
    {"manager_refuses", [](InstallFacts& f) { f.service.error = "OpenSCManagerW: denied"; },
     "service.registered", Status::fail, "denied"},
    {"unquoted_path",
     [](InstallFacts& f) {
       f.service.image_path = "C:\\Program Files\\Tarnu\\tarnu-input-helper.exe --service";
     },
     "service.image-path", Status::fail, "unquoted"},
    {"unquoted_path_under_wine",
     [](InstallFacts& f) {
       as_wine(f);
       f.service.image_path = "C:\\Program Files\\Tarnu\\tarnu-input-helper.exe --service";
     },
     "service.image-path", Status::warn, "Wine"},
    {"image_elsewhere",
     [](InstallFacts& f) { f.service.image_path = "\"C:\\Users\\a\\Downloads\\x.exe\" --service"; },
     "service.image-path", Status::fail, "Downloads"},
    {"account_user", [](InstallFacts& f) { f.service.account = ".\\admin"; }, "service.account",
     Status::fail},
    {"manual_start", [](InstallFacts& f) { f.service.start_type = 3; }, "service.start",
     Status::fail},
    {"delayed_start", [](InstallFacts& f) { f.service.delayed_start = true; }, "service.start",
     Status::warn},
    {"no_recovery", [](InstallFacts& f) { f.service.recovery->clear(); }, "service.recovery",
     Status::fail},
    {"other_recovery", [](InstallFacts& f) { f.service.recovery->pop_back(); }, "service.recovery",
     Status::warn, "restart/5000"},
    {"recovery_under_wine", as_wine, "service.recovery", Status::skipped, "Wine 8.0"},
    {"stopped", [](InstallFacts& f) { f.service.state = 1; }, "service.running", Status::fail},
    {"stopped_skips_worker", [](InstallFacts& f) { f.service.state = 1; }, "worker.privileges",
     Status::skipped},
    {"no_worker", [](InstallFacts& f) { f.helpers.pop_back(); }, "worker.process", Status::fail},
    {"two_workers", [](InstallFacts& f) { f.helpers.push_back(f.helpers[1]); }, "worker.process",
     Status::fail},
    {"stray_helper",
     [](InstallFacts& f) {
       f.helpers.push_back(f.helpers[1]);
       f.helpers.back().process_id = 300;
       f.helpers.back().parent_id = 50;
     },
     "worker.process", Status::warn, "300"},
    {"worker_elsewhere", [](InstallFacts& f) { f.helpers[1].session = 2; }, "worker.session",
     Status::fail},
    {"no_console_session", [](InstallFacts& f) { f.machine.console_session = kNoSession; },
     "worker.session", Status::skipped},
    {"outside_a_job", [](InstallFacts& f) { f.helpers[1].in_job = false; }, "worker.job",
     Status::fail},
    {"debug_privilege",
     [](InstallFacts& f) { f.helpers[1].privileges->push_back("SeDebugPrivilege"); },
     "worker.privileges", Status::fail, "SeDebugPrivilege"},
    {"token_unreadable_standard_user",
     [](InstallFacts& f) {
       f.machine.elevated = false;
       f.helpers[1].privileges.reset();
       f.helpers[1].error = "OpenProcess: Access is denied";
     },
     "worker.privileges", Status::skipped, "elevation"},
    {"worker_as_user", [](InstallFacts& f) { f.helpers[1].user_sid = "S-1-5-21-9-9-9-1000"; },
     "worker.user", Status::fail},
    {"worker_user_under_wine", as_wine, "worker.user", Status::skipped, "one user"},
    {"no_pipe", [](InstallFacts& f) { f.pipe.state = PipeState::absent; }, "pipe.present",
     Status::fail},
    {"busy_pipe", [](InstallFacts& f) { f.pipe.state = PipeState::busy; }, "pipe.server",
     Status::skipped, "serving a client"},
    {"not_connected", [](InstallFacts& f) { f.pipe.connect_asked = false; }, "pipe.server",
     Status::skipped, "--connect"},
    {"impostor_server", [](InstallFacts& f) { f.pipe.server_process_id = 666; }, "pipe.server",
     Status::fail, "666"},
    {"server_not_system", [](InstallFacts& f) { f.pipe.owner_sid = "S-1-5-21-9-9-9-1000"; },
     "pipe.server", Status::fail},
    {"server_under_wine", as_wine, "pipe.server", Status::skipped, "served by the worker"},
    {"no_status_folder", [](InstallFacts& f) { f.status_folder.exists = false; }, "status.folder",
     Status::fail},
    {"junction_folder", [](InstallFacts& f) { f.status_folder.reparse_point = true; },
     "status.folder", Status::fail, "reparse"},
    {"folder_opened_up",
     [](InstallFacts& f) { f.status_folder.dacl_sddl += "(A;OICI;0x1301bf;;;BU)"; },
     "status.folder-dacl", Status::fail, "BU"},
    {"folder_inherits",
     [](InstallFacts& f) { f.status_folder.dacl_sddl = "D:AI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"; },
     "status.folder-dacl", Status::fail},
    {"folder_owned_by_user",
     [](InstallFacts& f) { f.status_folder.owner_sid = "S-1-5-21-1-2-3-1001"; },
     "status.folder-dacl", Status::fail, "owned by"},
    {"folder_dacl_under_wine", as_wine, "status.folder-dacl", Status::skipped, "Wine"},
    {"file_for_everyone",
     [](InstallFacts& f) { f.status_file.dacl_sddl = "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;WD)"; },
     "status.file", Status::fail},
    {"file_not_written", [](InstallFacts& f) { f.status_file.exists = false; }, "status.file",
     Status::ok, "not written yet"},
    {"sas_off", [](InstallFacts& f) { f.sas.software_sas.value = 0; }, "sas.policy", Status::fail},
    {"sas_ease_of_access_only", [](InstallFacts& f) { f.sas.software_sas.value = 2; }, "sas.policy",
     Status::fail},
    {"sas_absent", [](InstallFacts& f) { f.sas.software_sas.value.reset(); }, "sas.policy",
     Status::fail, "absent"},
    {"sas_by_group_policy",
     [](InstallFacts& f) {
       f.sas.software_sas.value = 0;
       f.sas.set_by_group_policy = true;
     },
     "sas.policy", Status::fail, "Group Policy"},
    {"sas_both", [](InstallFacts& f) { f.sas.software_sas.value = 3; }, "sas.policy", Status::ok},
    {"uac_off", [](InstallFacts& f) { f.sas.enable_lua.value = 0; }, "sas.uac", Status::fail},
    {"unsigned",
     [](InstallFacts& f) { f.executable.trust = static_cast<std::int32_t>(0x800B0100u); },
     "signature", Status::warn, "TRUST_E_NOSIGNATURE"},
    {"tampered",
     [](InstallFacts& f) { f.executable.trust = static_cast<std::int32_t>(0x80096010u); },
     "signature", Status::fail, "TRUST_E_BAD_DIGEST"},
    {"signature_under_wine", as_wine, "signature", Status::skipped, "Wine"},
    {"no_executable", [](InstallFacts& f) { f.executable.exists = false; }, "signature",
     Status::fail},
    {"older_helper", [](InstallFacts& f) { f.executable.version = "0.9.0.0"; }, "version",
     Status::warn, "0.9.0.0"},
    {"no_event_source", [](InstallFacts& f) { f.event_source = {}; }, "eventlog.source",
     Status::warn},
    {"event_file_elsewhere",
     [](InstallFacts& f) { f.event_source.message_file = "C:\\Users\\Public\\evil.dll"; },
     "eventlog.source", Status::fail, "evil.dll"},
};

INSTANTIATE_TEST_SUITE_P(Rows, BrokenInstall, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& row) { return row.param.name; });

TEST(InstallChecks, ExitStatusIsTheWorstOutcome) {
  const auto with = [](std::vector<Status> statuses) {
    std::vector<CheckResult> results;
    for (Status status : statuses) {
      results.push_back({"x", status, "", ""});
    }
    return exit_status(results);
  };
  EXPECT_EQ(with({Status::ok, Status::skipped}), 0);
  EXPECT_EQ(with({Status::ok, Status::warn, Status::skipped}), 2);
  EXPECT_EQ(with({Status::warn, Status::fail}), 1);
}

TEST(InstallChecks, JsonCarriesMachineChecksAndExitStatus) {
  InstallFacts facts = healthy();
  facts.machine.computer_name = "a\"b\\c";
  facts.sas.enable_lua.value = 0;
  const std::string json = render_json(facts.machine, run_checks(facts));
  for (const char* part : {"\"tool\": \"tarnu-input-check\"", "\"version\": \"1.0.0\"",
                           "\"computer_name\": \"a\\\"b\\\\c\"", "\"wine_version\": null",
                           "\"console_session\": 1", "\"elevated\": true",
                           "{\"id\": \"sas.uac\", \"status\": \"fail\", \"detail\": \"EnableLUA 0:",
                           "\"exit_status\": 1\n}"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
  const std::string table = render_table(facts.machine, run_checks(facts));
  EXPECT_NE(table.find("sas.uac             fail     EnableLUA 0"), std::string::npos) << table;
  EXPECT_NE(table.find("fix: turn User Account Control on"), std::string::npos) << table;
}

}  // namespace
}  // namespace tarnu::check
