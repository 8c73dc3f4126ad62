// AES for web packages (OEM branding packages).
//
// A package is AES-256-CBC with PKCS#7 padding. Its first 16 bytes are the
// initialisation vector, the rest is the cipher text. The key is the package
// key text as the web page sends it: its first 32 bytes, zero-filled when it
// is shorter. (Base64 armour is the caller's: the file on the wire is the
// Base64 text of these bytes.)
#pragma once

#include <cstddef>

constexpr int kWebAesKeyText = 32;  // characters of a package key that count
constexpr int kWebAesIv = 16;

// Decrypts `length` bytes of `data` with `key` (NUL-terminated text) into
// `output`, which must hold `length` bytes. Returns the plain length, or -1
// when an argument is missing, the data is too short, or the key does not fit
// (the padding does not check out).
int aesDecryWeb(const unsigned char* data, const char* key, unsigned char* output, int length);

// The reverse, for the tools that make packages: `output` must hold
// length + 32 bytes (vector and padding). `iv` gives the 16-byte vector, or is
// null for a random one. Returns the package length, or -1.
int aesEncryWeb(const unsigned char* data, const char* key, unsigned char* output, int length,
                const unsigned char* iv = nullptr);
