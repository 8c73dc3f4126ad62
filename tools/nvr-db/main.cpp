// nvr-db: shows and seeds the settings of a device root.
//
//   nvr-db [--root DIR] [--file qvdb|anpr|oem|PATH] COMMAND
//     get KEY            the stored value of a parameter (or its default)
//     set KEY VALUE      stores a parameter (an integer when VALUE is one)
//     params             every stored parameter
//     tables             the tables of the file
//     dump TABLE         the rows of a table, one "column=value" line each
//     seed-defaults      stores the parameter defaults that are not stored yet
#include <sqlite3.h>
#include <stdlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/device_path.h"
#include "platform/qvdb.h"

namespace {

int usage() {
  fputs(
      "usage: nvr-db [--root DIR] [--file qvdb|anpr|oem|PATH] COMMAND\n"
      "  get KEY | set KEY VALUE | params | tables | dump TABLE | seed-defaults\n",
      stderr);
  return 2;
}

std::string file_path(std::string_view file) {
  if (file == "qvdb") return nvr::qvdb_path();
  if (file == "anpr") return nvr::anpr_db_path();
  if (file == "oem") return nvr::oem_db_path();
  return std::string(file);
}

// A decimal integer that fits an int (anything else is stored as text).
bool is_integer(const char* text) {
  char* end = nullptr;
  errno = 0;
  long long value = strtoll(text, &end, 10);
  return *text != '\0' && *end == '\0' && errno == 0 && value >= INT_MIN && value <= INT_MAX;
}

// Prints every row of a query as "column=value ..." lines.
int print_rows(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    fprintf(stderr, "nvr-db: cannot open %s\n", path.c_str());
    sqlite3_close(db);
    return 1;
  }
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const unsigned char* value = sqlite3_column_text(stmt, i);
      printf("%s%s=%s", i ? " " : "", sqlite3_column_name(stmt, i),
             value ? reinterpret_cast<const char*>(value) : "NULL");
      rc = SQLITE_OK;
    }
    putchar('\n');
    rc = SQLITE_OK;
  }
  int result = rc == SQLITE_DONE ? 0 : 1;
  if (result) fprintf(stderr, "nvr-db: %s\n", sqlite3_errmsg(db));
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return result;
}

std::string quoted(std::string_view name) {
  std::string q = "\"";
  for (char c : name) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  std::string_view file = "qvdb";
  int i = 1;
  for (; i + 1 < argc && argv[i][0] == '-'; i += 2) {
    if (strcmp(argv[i], "--root") == 0)
      setenv("NVR_ROOT", argv[i + 1], 1);  // before any device path is made
    else if (strcmp(argv[i], "--file") == 0)
      file = argv[i + 1];
    else
      return usage();
  }
  if (i >= argc) return usage();
  std::string path = file_path(file);
  std::string_view command = argv[i];
  int args = argc - i - 1;
  char** arg = argv + i + 1;

  if (command == "get" && args == 1) {
    char value[1024];
    bool stored = get_param_value(path.c_str(), arg[0], value, sizeof value,
                                  param_default_text(arg[0], "")) == 0;
    printf("%s%s\n", value, stored ? "" : "  (not stored)");
    return 0;
  }
  if (command == "set" && args == 2) {
    int rc = is_integer(arg[1]) ? set_param_int(path.c_str(), arg[0], atoi(arg[1]))
                                : set_param_value(path.c_str(), arg[0], arg[1]);
    if (rc != 0) fprintf(stderr, "nvr-db: cannot store %s in %s\n", arg[0], path.c_str());
    return rc == 0 ? 0 : 1;
  }
  if (command == "params" && args == 0)
    return print_rows(path, "SELECT key, value FROM params ORDER BY key");
  if (command == "tables" && args == 0) {
    return qvdb_list_tables(
               path.c_str(), [](const char* table, void*) { puts(table); }, nullptr) == 0
               ? 0
               : 1;
  }
  if (command == "dump" && args == 1)
    return print_rows(path, "SELECT * FROM " + quoted(arg[0]) + " ORDER BY rowid");
  if (command == "seed-defaults" && args == 0) {
    DbBatch batch(path.c_str());
    for (const ParamDefault& d : param_defaults()) {
      if (check_param_key(path.c_str(), d.key) == 0) continue;
      const int stored = d.is_int ? set_param_int(path.c_str(), d.key, atoi(d.value))
                                  : set_param_value(path.c_str(), d.key, d.value);
      if (stored != 0) {
        fprintf(stderr, "nvr-db: cannot store %s in %s\n", d.key, path.c_str());
        return 1;
      }
    }
    if (batch.commit() != 0) {
      fprintf(stderr, "nvr-db: cannot store the defaults in %s\n", path.c_str());
      return 1;
    }
    return 0;
  }
  return usage();
}
