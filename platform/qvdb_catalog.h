// The record catalogue: every settings record kind the program knows, for the
// tools and tests that go over all of them (nvr-db seed-all, the round-trip
// test). Each module lists its descriptors in a <module>_record_catalog()
// (modules/<module>/records_catalog.cpp); frame/record_catalog.cpp joins the
// lists.
#pragma once

#include <cstdint>
#include <span>

#include "platform/qvdb.h"

struct DbCatalogEntry {
  const DbRecord* record;
  int rows;                     // 1, or 64: a row per channel
  const char* table = nullptr;  // the name it is stored under instead of record->table
};

// Every module's descriptors.
std::span<const DbCatalogEntry> db_record_catalog();

// The modules' lists (frame/record_catalog.cpp joins them).
std::span<const DbCatalogEntry> system_record_catalog();

// Fills record[desc.size] with a sample that differs with `seed`: every byte
// of every field non-zero, texts printable and NUL-terminated, doubles finite;
// bytes outside the fields are 0.
void db_fill_sample(const DbRecord& desc, void* record, uint32_t seed);

// Stores a sample record of every catalogue kind in `path` (rows 0 to
// rows - 1, the key field holding the row number), in one transaction. 0, or
// -1 when it could not be stored; *stored gets the number of records written.
int db_seed_catalog(const char* path, int* stored);
