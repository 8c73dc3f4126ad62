// The record catalogue of the whole program: the modules' lists joined, in
// the order of the module list. A module adds its <module>_record_catalog()
// here.
#include <array>
#include <vector>

#include "platform/qvdb_catalog.h"

std::span<const DbCatalogEntry> db_record_catalog() {
  static const std::vector<DbCatalogEntry> all = [] {
    const std::array lists = {
        system_record_catalog(),
    };
    std::vector<DbCatalogEntry> joined;
    for (auto list : lists) joined.insert(joined.end(), list.begin(), list.end());
    return joined;
  }();
  return all;
}
