// Sample records for the record catalogue (see qvdb_catalog.h).
#include "platform/qvdb_catalog.h"

#include <strings.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/qvdb_internal.h"

using namespace qvdb_internal;

void db_fill_sample(const DbRecord& desc, void* record, uint32_t seed) {
  unsigned char* base = static_cast<unsigned char*>(record);
  memset(base, 0, desc.size);
  for (const DbField& f : desc.fields) {
    if (uint64_t{f.offset} + f.size > desc.size) continue;
    unsigned char* p = base + f.offset;
    uint32_t start = seed * 31u + f.offset;
    switch (f.type) {
      case DbType::Text:
        for (uint32_t i = 0; i + 1 < f.size; ++i)
          p[i] = static_cast<unsigned char>('a' + (start + i) % 26);
        p[f.size - 1] = '\0';
        break;
      case DbType::F64: {
        // A value with all mantissa bits in use (a random bit pattern could be a NaN).
        double v = (seed + 1.0) / 3.0 + f.offset * 1e-7;
        memcpy(p, &v, 8);
        break;
      }
      default:  // integers and blobs: bytes 1 to 255, so also high bits and negative values
        for (uint32_t i = 0; i < f.size; ++i)
          p[i] = static_cast<unsigned char>(1 + (start + i * 7) % 255);
        break;
    }
  }
}

int db_seed_catalog(const char* path, int* stored) {
  if (stored) *stored = 0;
  DbBatch batch(path);
  int written = 0;
  for (const DbCatalogEntry& entry : db_record_catalog()) {
    const DbRecord& desc = *entry.record;
    const DbField* key = nullptr;
    for (const DbField& f : desc.fields)
      if (desc.key_column && strcasecmp(f.column, desc.key_column) == 0) key = &f;
    std::vector<unsigned char> record(desc.size);
    for (int row = 0; row < entry.rows; ++row) {
      db_fill_sample(desc, record.data(), static_cast<uint32_t>(row));
      if (key && key->type == DbType::Text) {
        std::string text = std::to_string(row).substr(0, key->size - 1);
        memset(record.data() + key->offset, 0, key->size);
        memcpy(record.data() + key->offset, text.data(), text.size());
      } else if (key) {
        store_int(key->type, record.data() + key->offset, row);
      }
      // A failed write fails the batch: commit() reports it.
      (void)db_write(path, desc, record.data(), entry.table ? entry.table : "");
      ++written;
    }
  }
  if (batch.commit() != 0) return -1;
  if (stored) *stored = written;
  return 0;
}
