// nvr-routes: the route catalogue, from the route tables linked into it and
// the recorded examples.
//
//   nvr-routes --fixture F --template T --out DIR   writes DIR/openapi.json,
//                                                   DIR/api/index.html and DIR/api/openapi.json
//   nvr-routes --check F      checks the fixture against the tables (exit 1 when stale)
//   nvr-routes --list         prints every registered route code, one a line
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/nvr-routes/catalog.h"

namespace fs = std::filesystem;
using namespace nvr::catalog;

namespace {

int usage() {
  std::cerr << "usage: nvr-routes --fixture F --template T --out DIR | --check F | --list\n";
  return 2;
}

nvr::Json load_fixture(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  nvr::Json fixture = nvr::json_parse(text.str());
  if (!fixture || !json_object_is_type(fixture.get(), json_type_object)) {
    std::cerr << "nvr-routes: " << path << " is not a JSON object\n";
    return nullptr;
  }
  return fixture;
}

bool write_file(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) std::cerr << "nvr-routes: cannot write " << path << "\n";
  return static_cast<bool>(out);
}

int check(const std::string& fixture_path) {
  nvr::Json fixture = load_fixture(fixture_path);
  if (!fixture) return 1;
  auto routes = registered_routes();
  FixtureCheck result = check_fixture(routes, fixture.get());
  for (const auto& code : result.unknown)
    std::cerr << "stale fixture: " << code << " is not a registered route\n";
  for (const auto& code : result.unaccounted)
    std::cerr << "stale fixture: " << code
              << " has no example and is not listed as not exercised\n";
  std::cout << routes.size() << " routes registered, "
            << routes.size() - result.not_exercised.size() - result.unaccounted.size()
            << " with a recorded example, " << result.not_exercised.size() << " not exercised\n";
  return result.ok() ? 0 : 1;
}

int generate(const std::string& fixture_path, const std::string& template_path,
             const std::string& out_dir) {
  nvr::Json fixture = load_fixture(fixture_path);
  if (!fixture) return 1;
  std::ifstream in(template_path, std::ios::binary);
  std::stringstream page_template;
  page_template << in.rdbuf();
  if (page_template.str().find("/*ROUTES*/") == std::string::npos) {
    std::cerr << "nvr-routes: " << template_path << " has no /*ROUTES*/ mark\n";
    return 1;
  }
  auto routes = registered_routes();
  std::string document = openapi_document(routes, fixture.get());
  std::string page = catalogue_page(page_template.str(), routes, fixture.get());
  fs::path out(out_dir);
  bool ok = write_file(out / "openapi.json", document) &&
            write_file(out / "api" / "openapi.json", document) &&
            write_file(out / "api" / "index.html", page);
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string fixture, page_template, out;
  bool list = false;
  std::string check_path;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto next = [&](std::string* value) {
      if (i + 1 >= argc) return false;
      *value = argv[++i];
      return true;
    };
    if (arg == "--list") {
      list = true;
    } else if (arg == "--check") {
      if (!next(&check_path)) return usage();
    } else if (arg == "--fixture") {
      if (!next(&fixture)) return usage();
    } else if (arg == "--template") {
      if (!next(&page_template)) return usage();
    } else if (arg == "--out") {
      if (!next(&out)) return usage();
    } else {
      return usage();
    }
  }
  if (list) {
    for (const auto& route : registered_routes()) std::cout << route.code << "\n";
    return 0;
  }
  if (!check_path.empty()) return check(check_path);
  if (fixture.empty() || page_template.empty() || out.empty()) return usage();
  return generate(fixture, page_template, out);
}
