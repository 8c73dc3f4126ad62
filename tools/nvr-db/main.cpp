// nvr-db: shows and seeds the settings of a device root.
//
//   nvr-db [--root DIR] [--file qvdb|anpr|oem|PATH] COMMAND
//     get KEY            the stored value of a parameter (or its default)
//     set KEY VALUE      stores a parameter (an integer when VALUE is one)
//     params             every stored parameter
//     tables             the record kinds stored, and the file's other tables
//     dump KIND          the records of a kind (or the rows of a table), one
//                        "column=value ..." line each
//     seed-defaults      stores the parameter defaults that are not stored yet
//     seed-all           stores a sample record of every kind the program
//                        knows (a row per channel for per-channel kinds)
#include <sqlite3.h>
#include <stdlib.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "frame/json.h"
#include "platform/device_path.h"
#include "platform/qvdb.h"
#include "platform/qvdb_catalog.h"

namespace {

int usage() {
  fputs(
      "usage: nvr-db [--root DIR] [--file qvdb|anpr|oem|PATH] COMMAND\n"
      "  get KEY | set KEY VALUE | params | tables | dump KIND | seed-defaults | seed-all\n",
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

sqlite3* open_read_only(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    fprintf(stderr, "nvr-db: cannot open %s\n", path.c_str());
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

// Prints every row of a query as "column=value ..." lines.
int print_rows(const std::string& path, const std::string& sql) {
  sqlite3* db = open_read_only(path);
  if (db == nullptr) return 1;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr);
  while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
      const unsigned char* value = sqlite3_column_text(stmt, i);
      printf("%s%s=%s", i ? " " : "", sqlite3_column_name(stmt, i),
             value ? reinterpret_cast<const char*>(value) : "NULL");
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

// Prints the records of a kind, one "column=value ..." line each (texts as
// they are, arrays as JSON); 1 when the file holds none of that kind.
int print_records(const std::string& path, const char* kind, bool* found) {
  *found = false;
  sqlite3* db = open_read_only(path);
  if (db == nullptr) return 1;
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v2(
      db, "SELECT data FROM records WHERE kind = ?1 ORDER BY \"key\", rowid", -1, &stmt, nullptr);
  if (rc == SQLITE_OK) sqlite3_bind_text(stmt, 1, kind, -1, SQLITE_STATIC);
  while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
    *found = true;
    const char* data = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    nvr::Json object = nvr::json_parse(data ? data : "");
    if (!nvr::json_is(object.get(), json_type_object)) {
      printf("(not readable) %s\n", data ? data : "NULL");
    } else {
      bool first = true;
      json_object_object_foreach(object.get(), key, value) {
        const char* text = json_object_is_type(value, json_type_string)
                               ? json_object_get_string(value)
                               : json_object_to_json_string_ext(value, JSON_C_TO_STRING_PLAIN);
        printf("%s%s=%s", first ? "" : " ", key, text);
        first = false;
      }
      putchar('\n');
    }
    rc = SQLITE_OK;
  }
  bool missing_table = rc != SQLITE_DONE && strncmp(sqlite3_errmsg(db), "no such table", 13) == 0;
  int result = rc == SQLITE_DONE || missing_table ? 0 : 1;
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
  if (command == "dump" && args == 1) {
    // A record kind; else a table of the file (the parameters, the schedules).
    bool found = false;
    int rc = print_records(path, arg[0], &found);
    if (rc != 0 || found) return rc;
    return print_rows(path, "SELECT * FROM " + quoted(arg[0]) + " ORDER BY rowid");
  }
  if (command == "seed-all" && args == 0) {
    int stored = 0;
    if (db_seed_catalog(path.c_str(), &stored) != 0) {
      fprintf(stderr, "nvr-db: cannot store the sample records in %s\n", path.c_str());
      return 1;
    }
    printf("%d records of %zu kinds stored\n", stored, db_record_catalog().size());
    return 0;
  }
  if (command == "seed-defaults" && args == 0) {
    DbBatch batch(path.c_str());
    for (const ParamDefault& d : param_defaults()) {
      if (check_param_key(path.c_str(), d.key) == 0) continue;
      // A failed write fails the batch: commit() reports it.
      if (d.is_int)
        (void)set_param_int(path.c_str(), d.key, atoi(d.value));
      else
        (void)set_param_value(path.c_str(), d.key, d.value);
    }
    if (batch.commit() != 0) {
      fprintf(stderr, "nvr-db: cannot store the defaults in %s\n", path.c_str());
      return 1;
    }
    return 0;
  }
  return usage();
}
