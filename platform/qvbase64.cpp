#include "platform/qvbase64.h"

#include <cstdint>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

// Value of one character of the alphabet, or -1.
int sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '-') return 62;
  if (c == '_') return 63;
  return -1;
}

}  // namespace

int base64EncodeUrl(char* output, size_t size, const void* input, size_t length) {
  if (output == nullptr || (input == nullptr && length > 0)) return -1;
  const size_t text_length = (length + 2) / 3 * 4;
  if (size == 0 || text_length > size - 1) return -1;
  const auto* in = static_cast<const uint8_t*>(input);
  char* out = output;
  for (size_t i = 0; i < length; i += 3) {
    uint32_t group = static_cast<uint32_t>(in[i]) << 16;
    if (i + 1 < length) group |= static_cast<uint32_t>(in[i + 1]) << 8;
    if (i + 2 < length) group |= in[i + 2];
    *out++ = kAlphabet[(group >> 18) & 63];
    *out++ = kAlphabet[(group >> 12) & 63];
    *out++ = i + 1 < length ? kAlphabet[(group >> 6) & 63] : '=';
    *out++ = i + 2 < length ? kAlphabet[group & 63] : '=';
  }
  *out = '\0';
  return static_cast<int>(text_length);
}

int base64DecodeUrl(void* output, size_t size, const char* input, size_t length) {
  if (output == nullptr || (input == nullptr && length > 0)) return -1;
  // Up to two '=' may close the text, and only where they complete a group.
  size_t data_length = length;
  while (data_length > 0 && length - data_length < 2 && input[data_length - 1] == '=')
    --data_length;
  if (data_length < length && length % 4 != 0) return -1;
  if (data_length % 4 == 1) return -1;  // six bits cannot make a byte

  const size_t byte_count = data_length / 4 * 3 + (data_length % 4 == 0 ? 0 : data_length % 4 - 1);
  if (byte_count > size) return -1;

  auto* out = static_cast<uint8_t*>(output);
  uint32_t bits = 0;
  int bit_count = 0;
  size_t written = 0;
  for (size_t i = 0; i < data_length; ++i) {
    int value = sextet(input[i]);
    if (value < 0) return -1;
    bits = (bits << 6) | static_cast<uint32_t>(value);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      out[written++] = static_cast<uint8_t>(bits >> bit_count);
      bits &= (1u << bit_count) - 1;
    }
  }
  // The bits left over must be zero, or another text decodes to these bytes.
  if (bits != 0) return -1;
  if (written < size) out[written] = '\0';
  return static_cast<int>(written);
}
