// nvr-factory: lays out a device root and seeds its factory settings.
//
//   nvr-factory --root DIR
//
// Makes the device's folders below DIR (the ones the program and the core
// daemon expect to find) and stores what a recorder leaves the factory with:
// every parameter of the defaults table and the administrator account. Only
// what is missing is added: a parameter that is stored keeps its value, and
// the account is added only when no account is in use. So running it on a
// device that was already set up changes nothing.
//
// The root is required (--root, or NVR_ROOT): this tool never writes to the
// recorder's own absolute paths.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>

#include "modules/system/users_records.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"

namespace fs = std::filesystem;

namespace {

// The folders of a device root.
constexpr std::string_view kFolders[] = {
    nvr::devpath::kNandApp, nvr::devpath::kNand2,  nvr::devpath::kSsl,
    nvr::devpath::kTmp,     nvr::devpath::kShm,    "/var/run",
    nvr::devpath::kLangDir, nvr::devpath::kAppBin, "/www",
};

int usage() {
  fprintf(stderr, "usage: nvr-factory --root DIR\n");
  return 2;
}

bool lay_out_folders() {
  bool ok = true;
  for (std::string_view folder : kFolders) {
    std::error_code ec;
    const std::string path = nvr::dev_path(folder);
    fs::create_directories(path, ec);
    if (ec) {
      fprintf(stderr, "nvr-factory: cannot make %s: %s\n", path.c_str(), ec.message().c_str());
      ok = false;
    }
  }
  // The recorder's /tmp is writable by every process, as the upload
  // temporaries and lock files expect.
  chmod(nvr::dev_path(nvr::devpath::kTmp).c_str(), 01777);
  return ok;
}

// Stores every default parameter that is not stored yet; the number added, or
// -1 when the database could not be written.
int seed_parameters(const char* db) {
  DbBatch batch(db);
  int added = 0;
  for (const ParamDefault& param : param_defaults()) {
    if (check_param_key(db, param.key) == 0) continue;
    int rc = param.is_int ? set_param_int(db, param.key, atoi(param.value))
                          : add_param_value(db, param.key, param.value);
    if (rc != 0) return -1;
    ++added;
  }
  return batch.commit() == 0 ? added : -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root;
  if (const char* env = getenv("NVR_ROOT")) root = env;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--root") == 0 && i + 1 < argc) {
      root = argv[++i];
    } else {
      return usage();
    }
  }
  if (root.empty()) return usage();
  std::error_code ec;
  fs::create_directories(root, ec);
  root = fs::absolute(root, ec).lexically_normal().string();
  // Every device path below goes through the root from here on.
  setenv("NVR_ROOT", root.c_str(), 1);

  if (!lay_out_folders()) return 1;
  const char* db = nvr::qvdb_path();
  const int parameters = seed_parameters(db);
  if (parameters < 0) {
    fprintf(stderr, "nvr-factory: cannot store the parameters in %s\n", db);
    return 1;
  }
  const int account = seed_default_accounts(db);
  if (account < 0) {
    fprintf(stderr, "nvr-factory: cannot store the administrator account in %s\n", db);
    return 1;
  }
  printf("nvr-factory: %s: %d parameter%s added, %s\n", root.c_str(), parameters,
         parameters == 1 ? "" : "s",
         account == 1 ? "administrator account \"admin\" added" : "accounts kept");
  qvdb_close_all();
  return 0;
}
