// Base64 with the URL alphabet ('-' and '_' in place of '+' and '/').
//
// Alarm audio files are named by the Base64 form of their display name, so
// that any name becomes a single safe file name in "/tmp" and in the core
// daemon's store. The encoder pads with '='; the decoder takes padded and
// unpadded text alike.
#pragma once

#include <cstddef>

// Encodes `length` bytes of `input` into `output` (NUL-terminated). Returns
// the length of the text, or -1 when an argument is null or `size` cannot
// hold the text and its NUL.
int base64EncodeUrl(char* output, size_t size, const void* input, size_t length);

// Decodes `length` characters of `input` into `output`, followed by a NUL
// when there is room. Returns the number of bytes, 0 for empty input, or -1
// when an argument is null, the text is not URL-alphabet Base64 (a character
// outside it, padding in the middle, a lone trailing character, set bits past
// the end) or the bytes do not fit in `size`.
int base64DecodeUrl(void* output, size_t size, const char* input, size_t length);
