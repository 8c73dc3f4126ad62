// Web-package AES and the standard Base64 decoder that opens OEM packages.
#include "platform/qvcrypt.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/qvstd.h"

namespace {

constexpr const char* kKey = "0123456789abcdef0123456789abcdef";

std::vector<unsigned char> seal(const std::string& plain, const char* key) {
  std::vector<unsigned char> out(plain.size() + 32);
  int length = aesEncryWeb(reinterpret_cast<const unsigned char*>(plain.data()), key, out.data(),
                           static_cast<int>(plain.size()));
  EXPECT_GT(length, 0);
  out.resize(static_cast<size_t>(length > 0 ? length : 0));
  return out;
}

int open_sealed(const std::vector<unsigned char>& sealed, const char* key, std::string* plain) {
  std::vector<unsigned char> out(sealed.size());
  int length = aesDecryWeb(sealed.data(), key, out.data(), static_cast<int>(sealed.size()));
  if (length > 0) plain->assign(reinterpret_cast<char*>(out.data()), static_cast<size_t>(length));
  return length;
}

TEST(WebAes, RoundTripsAnyLengthAndOnlyTheFirst32KeyCharactersCount) {
  for (size_t size : {1u, 15u, 16u, 17u, 1000u}) {
    const std::string plain(size, 'x');
    std::string opened;
    EXPECT_EQ(open_sealed(seal(plain, kKey), kKey, &opened), static_cast<int>(size));
    EXPECT_EQ(opened, plain);
  }
  const std::string longer = std::string(kKey) + "ignored";
  std::string opened;
  EXPECT_EQ(open_sealed(seal("PK archive", longer.c_str()), kKey, &opened), 10);
  EXPECT_EQ(opened, "PK archive");
}

TEST(WebAes, WrongKeyOrDamagedPackageGivesNoLength) {
  const auto sealed = seal(std::string(100, 'z'), kKey);
  std::string opened;
  // A fixed vector keeps this deterministic: the wrong key's last block does
  // not end in valid padding.
  const unsigned char iv[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  std::vector<unsigned char> fixed(132);
  const std::string plain(100, 'z');
  ASSERT_EQ(aesEncryWeb(reinterpret_cast<const unsigned char*>(plain.data()), kKey, fixed.data(),
                        100, iv),
            128);
  fixed.resize(128);
  EXPECT_LE(open_sealed(fixed, "another key entirely, 32 bytes!!", &opened), 0);
  EXPECT_LE(
      open_sealed(std::vector<unsigned char>(sealed.begin(), sealed.end() - 1), kKey, &opened), 0);
  EXPECT_LE(open_sealed(std::vector<unsigned char>(16, 0), kKey, &opened), 0);
  EXPECT_EQ(aesDecryWeb(nullptr, kKey, nullptr, 0), -1);
}

TEST(StandardBase64, DecodesWrappedTextAndRefusesWhatDoesNotFit) {
  unsigned char out[64] = {};
  const char* text = "aGVsbG8g\nd29ybGQ=\n";
  EXPECT_EQ(qv_base64_decode(text, static_cast<int>(strlen(text)), out, sizeof out), 11);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 11), "hello world");
  EXPECT_EQ(qv_base64_decode(text, static_cast<int>(strlen(text)), out, 5), -1);
  EXPECT_EQ(qv_base64_decode("not base64 at all!", 18, out, sizeof out), -1);
  EXPECT_EQ(qv_base64_decode("", 0, out, sizeof out), 0);
}

}  // namespace
