#include "platform/qvbase64.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string encode(const std::string& bytes, size_t size = 256) {
  std::string out(size, '\0');
  int n = base64EncodeUrl(out.data(), size, bytes.data(), bytes.size());
  if (n < 0) return "<fail>";
  EXPECT_EQ(out.c_str(), out.substr(0, static_cast<size_t>(n)));
  return out.substr(0, static_cast<size_t>(n));
}

std::string decode(const std::string& text, size_t size = 256) {
  std::string out(size, '\0');
  int n = base64DecodeUrl(out.data(), size, text.data(), text.size());
  if (n < 0) return "<fail>";
  return out.substr(0, static_cast<size_t>(n));
}

TEST(Base64Url, KnownVectorsBothWays) {
  const std::pair<std::string, std::string> vectors[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      // The URL alphabet: 62 is '-', 63 is '_'.
      {"\xfb\xff\xbf", "-_-_"},
      {"alarm.wav", "YWxhcm0ud2F2"},
  };
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(encode(bytes), text) << bytes;
    EXPECT_EQ(decode(text), bytes) << text;
  }
}

TEST(Base64Url, RoundTripsEveryLengthAndByte) {
  std::string bytes;
  for (int i = 0; i < 96; ++i) {
    EXPECT_EQ(decode(encode(bytes)), bytes) << i;
    bytes += static_cast<char>((i * 37 + 11) & 0xff);
  }
}

TEST(Base64Url, DecodesUnpaddedText) {
  EXPECT_EQ(decode("Zg"), "f");
  EXPECT_EQ(decode("Zm8"), "fo");
}

TEST(Base64Url, RefusesTextThatIsNotUrlBase64) {
  const char* bad[] = {
      "Zm9v+mFy",  // standard alphabet
      "Zm9v/mFy",
      "Zm=vYmFy",  // padding inside
      "Z===",      // too much padding
      "Zm9vY",     // a lone sixth of a byte
      "Zh==",      // bits set past the end
      "Zm9v YmFy",
      "Zg=",  // padding that does not complete the group
      "ünï",
  };
  for (const char* text : bad) EXPECT_EQ(decode(text), "<fail>") << text;
}

TEST(Base64Url, RespectsOutputSizes) {
  // 95 bytes give 128 characters: too long for a 128-byte name with its NUL.
  EXPECT_EQ(encode(std::string(95, 'a'), 128), "<fail>");
  EXPECT_EQ(encode(std::string(93, 'a'), 128).size(), 124u);
  EXPECT_EQ(encode("", 0), "<fail>");
  EXPECT_EQ(decode("Zm9vYmFy", 6), "foobar");
  EXPECT_EQ(decode("Zm9vYmFy", 5), "<fail>");
  EXPECT_EQ(base64EncodeUrl(nullptr, 8, "a", 1), -1);
  char out[8];
  EXPECT_EQ(base64DecodeUrl(out, sizeof out, nullptr, 4), -1);
}

}  // namespace
