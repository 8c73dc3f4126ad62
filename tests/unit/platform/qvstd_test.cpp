// URL coding of device paths (diagnostic package names travel through it).
#include "platform/qvstd.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(UrlCoding, EncodesAllButUnreservedAndDecodesBack) {
  char encoded[128];
  EXPECT_EQ(get_url_encode("/tmp/diag 1+a~b_c.tar.gz", encoded, sizeof encoded), 32);
  EXPECT_STREQ(encoded, "%2Ftmp%2Fdiag%201%2Ba~b_c.tar.gz");
  char decoded[128];
  EXPECT_EQ(get_url_decode(encoded, decoded, sizeof decoded), 24);
  EXPECT_STREQ(decoded, "/tmp/diag 1+a~b_c.tar.gz");
}

TEST(UrlCoding, CutsWholeEscapesAndKeepsMalformedOnes) {
  char small[6];
  EXPECT_EQ(get_url_encode("ab/cd", small, sizeof small), 5);  // "ab%2F" fits, 'c' does not
  EXPECT_STREQ(small, "ab%2F");
  EXPECT_EQ(get_url_encode("abc/", small, 6), 3);
  EXPECT_STREQ(small, "abc");

  char text[] = "%2e%2E%zz%4";
  EXPECT_EQ(get_url_decode(text, text, sizeof text), 7);  // in place
  EXPECT_STREQ(text, "..%zz%4");
  char cut[4];
  EXPECT_EQ(get_url_decode("abcdef", cut, sizeof cut), 3);
  EXPECT_STREQ(cut, "abc");
  EXPECT_EQ(get_url_decode(nullptr, cut, sizeof cut), -1);
}

}  // namespace
