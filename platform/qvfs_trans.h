// Names of the device log's type codes, in the language of the web pages.
//
// The log keeps numbers: a main type (by its index 1..6), a sub type (10 for
// "all", event 11..44, local operations 101..144, remote operations
// 200..228, exceptions 400..413, information 500..521, debug 600..603) and a
// parameter type (900..925, which settings an operation changed). The web
// pages and the CSV export show their names. Codes never collide between the
// three kinds, so one lookup serves them all.
//
// trans_init() chooses the language for the lookups that follow; a language
// the table does not know, and a code that a language has no own word for,
// give the English name. trans_deinit() returns to English.
#pragma once

#include <cstdint>

int32_t trans_init(const char* language);
// Copies the name of `code` into buffer[size] (cut, NUL-terminated); 0 when the
// code has a name, -1 (buffer empty) otherwise.
int32_t trans_get_value(int32_t code, char* buffer, int32_t size);
int32_t trans_deinit();

// 1 when the channel number of an entry of this main and sub type names a disk
// (a port) rather than a camera channel, else 0.
int32_t log_channo_is_disk(int32_t main_type, int64_t sub_type);
