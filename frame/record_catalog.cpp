// The record catalogue of the whole program: the modules' lists joined, in
// the order of the module list. A module adds its <module>_record_catalog()
// here.
#include <array>
#include <vector>

#include "platform/qvdb_catalog.h"

std::span<const DbCatalogEntry> db_record_catalog() {
  static const std::vector<DbCatalogEntry> all = [] {
    const std::array lists = {
        storage_record_catalog(), video_record_catalog(),   cameras_record_catalog(),
        record_record_catalog(),  network_record_catalog(), ptz_record_catalog(),
        system_record_catalog(),  alarm_record_catalog(),
    };
    std::vector<DbCatalogEntry> joined;
    for (auto list : lists) joined.insert(joined.end(), list.begin(), list.end());
    return joined;
  }();
  return all;
}
