// The body reader on a descriptor or a read callback, and the multipart
// parser handing back its entry list, without a CGI run around them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "frame/body_input.h"
#include "frame/multipart.h"

namespace fs = std::filesystem;

namespace {

// A callback over a string that hands out at most `piece` bytes per call.
BodyInput::ReadFn reader_over(const std::string& text, size_t piece, size_t* calls = nullptr) {
  auto pos = std::make_shared<size_t>(0);
  return [text, piece, pos, calls](void* buffer, size_t size) -> ssize_t {
    if (calls) ++*calls;
    size_t n = std::min({size, piece, text.size() - *pos});
    memcpy(buffer, text.data() + *pos, n);
    *pos += n;
    return static_cast<ssize_t>(n);
  };
}

std::string read_all(BodyInput& body, size_t chunk = 7) {
  std::string out;
  char buffer[64];
  for (size_t got; (got = body.read(buffer, std::min(chunk, sizeof buffer))) > 0;)
    out.append(buffer, got);
  return out;
}

TEST(BodyInput, CallbackIsBoundedByLengthAndEndsOnce) {
  size_t calls = 0;
  BodyInput body = BodyInput::from_callback(reader_over("hello world", 3, &calls), 5);
  EXPECT_FALSE(body.started());
  EXPECT_EQ(read_all(body), "hello");
  EXPECT_TRUE(body.started());
  EXPECT_TRUE(body.finished());
  const size_t after = calls;
  char c;
  EXPECT_EQ(body.read(&c, 1), 0u);
  EXPECT_EQ(calls, after);  // an ended body never asks its source again

  // No length: up to the end of input; an error ends the body as well.
  BodyInput whole = BodyInput::from_callback(reader_over("abc", 2), -1);
  EXPECT_EQ(read_all(whole), "abc");
  BodyInput failing = BodyInput::from_callback([](void*, size_t) -> ssize_t { return -1; }, 10);
  EXPECT_EQ(read_all(failing), "");
  EXPECT_TRUE(failing.finished());
  // A callback claiming more than asked is cut to the request.
  BodyInput liar = BodyInput::from_callback([](void*, size_t) -> ssize_t { return 1 << 20; }, 4);
  char small[4];
  EXPECT_EQ(liar.read(small, sizeof small), 4u);
  EXPECT_TRUE(liar.finished());
  // A default body is empty and ended; a null callback is the same.
  BodyInput none;
  EXPECT_TRUE(none.finished());
  EXPECT_TRUE(BodyInput::from_callback(nullptr, 3).finished());
}

TEST(BodyInput, DescriptorStopsAtLengthAndDrainsTheRest) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "0123456789", 10), 10);
  close(fds[1]);
  BodyInput body = BodyInput::from_fd(fds[0], 4);
  EXPECT_EQ(read_all(body, 3), "0123");
  // Nothing past the body was taken from the descriptor.
  char rest[16];
  EXPECT_EQ(read(fds[0], rest, sizeof rest), 6);
  close(fds[0]);

  ASSERT_EQ(pipe(fds), 0);
  ASSERT_EQ(write(fds[1], "abcdef", 6), 6);
  close(fds[1]);
  BodyInput drained = BodyInput::from_fd(fds[0], 0);
  char first[2];
  EXPECT_EQ(drained.read(first, 2), 2u);
  drained.drain();
  EXPECT_TRUE(drained.finished());
  EXPECT_EQ(read(fds[0], rest, sizeof rest), 0);
  close(fds[0]);
}

class Multipart : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("nvr-multipart-" + std::to_string(getpid()));
    fs::create_directories(root_ / "tmp");
  }
  void TearDown() override { fs::remove_all(root_); }
  size_t temp_files() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(root_ / "tmp"), {}));
  }
  MultipartParse parse(const std::string& body, size_t piece = 5) {
    BodyInput in = BodyInput::from_callback(reader_over(body, piece), -1);
    return parse_multipart(in, "XyZ", (root_ / "tmp").string());
  }
  fs::path root_;
};

const char kTwoParts[] =
    "preamble\r\n--XyZ\r\n"
    "Content-Disposition: form-data; name=\"note\"\r\n\r\n"
    "a\r\n-b\r\n--XyZ\r\n"
    "Content-Disposition: form-data; name=\"file\"; filename=\"c;d.bin\"\r\n"
    "Content-Type: application/octet-stream\r\n\r\n"
    "\r\n--Xy\r\n--XyZ--\r\n";

TEST_F(Multipart, ReturnsTheEntriesInOrderAndRemovesTheirFiles) {
  std::string temp;
  {
    MultipartParse parsed = parse(kTwoParts);
    ASSERT_EQ(parsed.result, 0);
    cgiFormEntry* note = parsed.entries.first();
    ASSERT_NE(note, nullptr);
    EXPECT_STREQ(note->attr, "note");
    EXPECT_EQ(std::string(note->value, note->valueLength), "a\r\n-b");
    cgiFormEntry* file = parsed.entries.find("file");
    ASSERT_EQ(file, note->next);
    EXPECT_STREQ(file->fileName, "c;d.bin");
    EXPECT_STREQ(file->contentType, "application/octet-stream");
    EXPECT_EQ(file->valueLength, 6);
    temp = file->tfileName;
    EXPECT_EQ(temp.rfind((root_ / "tmp/cgic").string(), 0), 0u) << temp;
    EXPECT_TRUE(fs::exists(temp));
    EXPECT_EQ(parsed.entries.find("other"), nullptr);
    EXPECT_EQ(parsed.entries.find(nullptr), nullptr);
    // Moving the list keeps one owner.
    FormEntries moved = std::move(parsed.entries);
    EXPECT_EQ(parsed.entries.first(), nullptr);
    EXPECT_EQ(moved.first(), note);
  }
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_EQ(temp_files(), 0u);
}

TEST_F(Multipart, SameEntriesWhateverTheReadSizes) {
  for (size_t piece : {1, 2, 3, 7, 64, 4096}) {
    MultipartParse parsed = parse(kTwoParts, piece);
    ASSERT_EQ(parsed.result, 0) << piece;
    ASSERT_NE(parsed.entries.first(), nullptr) << piece;
    EXPECT_EQ(parsed.entries.first()->valueLength, 5) << piece;
    ASSERT_NE(parsed.entries.find("file"), nullptr) << piece;
    EXPECT_EQ(parsed.entries.find("file")->valueLength, 6) << piece;
  }
}

TEST_F(Multipart, NoBoundaryOrNoFirstLineGivesNoEntries) {
  BodyInput in = BodyInput::from_callback(reader_over(kTwoParts, 9), -1);
  MultipartParse parsed = parse_multipart(in, "", (root_ / "tmp").string());
  EXPECT_EQ(parsed.result, 0);
  EXPECT_EQ(parsed.entries.first(), nullptr);
  parsed = parse("--Other\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\nx\r\n--Other--");
  EXPECT_EQ(parsed.result, 0);
  EXPECT_EQ(parsed.entries.first(), nullptr);
}

TEST_F(Multipart, FailedParseLeavesNoEntriesAndNoFiles) {
  // A file part first, then a field value over the in-memory limit.
  std::string body =
      "--XyZ\r\nContent-Disposition: form-data; name=\"f\"; filename=\"x\"\r\n\r\ndata\r\n"
      "--XyZ\r\nContent-Disposition: form-data; name=\"big\"\r\n\r\n" +
      std::string((1u << 20) + 10, 'v') + "\r\n--XyZ--\r\n";
  MultipartParse parsed = parse(body, 4096);
  EXPECT_EQ(parsed.result, 1);
  EXPECT_EQ(parsed.entries.first(), nullptr);
  EXPECT_EQ(temp_files(), 0u);

  // No temporary folder: the file part cannot be stored.
  fs::remove_all(root_ / "tmp");
  parsed = parse(kTwoParts);
  EXPECT_EQ(parsed.result, 2);
  EXPECT_EQ(parsed.entries.first(), nullptr);
  fs::create_directories(root_ / "tmp");
}

}  // namespace

namespace {

// Found by fuzzing: ".\x0e." has no "..", but dropping the control character
// made one.
TEST(SanitizeFileName, DotsJoinedByDroppedCharactersAreRefused) {
  char out[32];
  for (const char* name : {".\x0e.", "./.", "a.\\.b", ".\x01\x02/.evil", "x/.\x1f."}) {
    EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, name), -1) << name;
    EXPECT_STREQ(out, "") << name;
  }
  EXPECT_EQ(cgi_sanitize_file_name(out, sizeof out, "a.\x01" "b"), 0);
  EXPECT_STREQ(out, "a.b");
}

}  // namespace
