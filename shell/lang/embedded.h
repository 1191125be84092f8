#pragma once
// The language tables compiled into the program: one per window class, the
// bytes of tables/<WindowClass>.lng as they are in the source tree. The
// array is generated at build time (embed_tables.cmake) and ends with an
// all-null entry.
#include <cstddef>

namespace quorel::lang_data {

struct EmbeddedTable {
    const char* windowClass; // file name without ".lng", e.g. "TMainForm"
    const char* fileName;    // "TMainForm.lng"
    const unsigned char* data;
    size_t size;
};

extern const EmbeddedTable kTables[];
extern const size_t kTableCount;

} // namespace quorel::lang_data
