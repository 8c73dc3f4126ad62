// Small file, text and copy helpers of the platform's standard library.
#pragma once

#include <cstddef>

// 0 when `path` (a real path) exists, -1 otherwise.
int qv_check_file_exist(const char* path);

// Copies everything from `fd_in` (from its current offset to its end) to
// `fd_out`, in the kernel where it can. 0 on success, -1 when a read or a
// write failed.
int qv_spliced_copy_ex(int fd_in, int fd_out);

// Standard Base64 ('+', '/', '=' padding). Line breaks and blanks in the text
// are skipped. Writes the bytes into `output`; returns their number, or -1
// when an argument is null, the text is not Base64 or the bytes do not fit in
// `size`.
int qv_base64_decode(const char* input, int length, unsigned char* output, int size);

// Percent-encodes every byte of `input` other than A-Z a-z 0-9 - _ . ~ into
// `output` (NUL-terminated). A text that does not fit is cut before the first
// character that does not fit whole. Returns the length written, -1 for a null
// argument or a zero size.
int get_url_encode(const char* input, char* output, int size);

// Decodes each "%xx" (two hex digits) of `input` into `output`
// (NUL-terminated, cut to size - 1 bytes); other characters are copied as they
// are. `output` may be `input` (decoding never lengthens a text). Returns the
// length written, -1 for a null argument or a zero size.
int get_url_decode(const char* input, char* output, int size);

// Runs a program (argv[0], found through PATH; no shell) and reads at most
// size - 1 bytes of its standard output into `buffer`, NUL-terminated.
// Returns the number of bytes read, or -1 when the program could not be
// started. The program's exit is waited for.
int qv_vpopen(const char* const argv[], char* buffer, size_t size);
