#include "platform/qvcrypt.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cstring>
#include <memory>

namespace {

struct CipherFree {
  void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherFree>;

void key_bytes(const char* key, unsigned char out[kWebAesKeyText]) {
  memset(out, 0, kWebAesKeyText);
  memcpy(out, key, strnlen(key, kWebAesKeyText));
}

// One pass of the cipher over `in`; -1 when OpenSSL refuses (for a decryption:
// the padding of the last block does not check out, i.e. the wrong key).
int run_cipher(bool encrypt, const unsigned char* key, const unsigned char* iv,
               const unsigned char* in, int in_length, unsigned char* out) {
  CipherContext context(EVP_CIPHER_CTX_new());
  if (!context ||
      EVP_CipherInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key, iv, encrypt ? 1 : 0) != 1)
    return -1;
  int written = 0;
  int tail = 0;
  if (EVP_CipherUpdate(context.get(), out, &written, in, in_length) != 1 ||
      EVP_CipherFinal_ex(context.get(), out + written, &tail) != 1)
    return -1;
  return written + tail;
}

}  // namespace

int aesDecryWeb(const unsigned char* data, const char* key, unsigned char* output, int length) {
  if (data == nullptr || key == nullptr || output == nullptr) return -1;
  // The vector and at least one block.
  if (length < kWebAesIv + 16 || (length - kWebAesIv) % 16 != 0) return -1;
  unsigned char key_buffer[kWebAesKeyText];
  key_bytes(key, key_buffer);
  return run_cipher(false, key_buffer, data, data + kWebAesIv, length - kWebAesIv, output);
}

int aesEncryWeb(const unsigned char* data, const char* key, unsigned char* output, int length,
                const unsigned char* iv) {
  if (data == nullptr || key == nullptr || output == nullptr || length < 0) return -1;
  unsigned char key_buffer[kWebAesKeyText];
  key_bytes(key, key_buffer);
  if (iv != nullptr)
    memcpy(output, iv, kWebAesIv);
  else if (RAND_bytes(output, kWebAesIv) != 1)
    return -1;
  int sealed = run_cipher(true, key_buffer, output, data, length, output + kWebAesIv);
  return sealed < 0 ? -1 : kWebAesIv + sealed;
}
