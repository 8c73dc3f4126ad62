// The entry point run in a child process against echo handlers: which
// reading path a request takes, and the exact request data a handler gets.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "frame/cgic.h"
#include "frame/dispatchreq.h"
#include "frame/web_utils.h"

namespace fs = std::filesystem;

namespace {

void echo(char* data) {
  cgi_writeback_webserver(kRespText, data);
  // Uploads: show what the form-entry list held, so tests can see values.
  for (cgiFormEntry* e = cgiFormEntryFirst; e; e = e->next) {
    struct stat st;
    int mode =
        *e->tfileName && stat(e->tfileName, &st) == 0 ? static_cast<int>(st.st_mode & 0777) : 0;
    printf("\n[%s|%s|%d|%s|%o]", e->attr, e->fileName, e->valueLength, e->value, mode);
  }
}

const Route kEchoRoutes[] = {{"/echo", echo},
                             {"/1019", echo, UploadKind::Temp},
                             {"/oem", echo, UploadKind::Temp},
                             {"/6082", echo, UploadKind::Raw},
                             {"/1010", echo, UploadKind::RawUnread},
                             {"/up", echo, UploadKind::File}};

struct RunResult {
  int status = -1;
  std::string out;
  std::string unread_stdin;
};

class Entry : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("nvr-entry-" + std::to_string(getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_ / "tmp");
    fs::create_directories(root_ / "mnt/nand");
  }
  void TearDown() override { fs::remove_all(root_); }

  RunResult run(std::map<std::string, std::string> env, const std::string& body) {
    fs::path in_path = root_ / "stdin", out_path = root_ / "stdout";
    std::ofstream(in_path, std::ios::binary) << body;
    if (!env.count("CONTENT_LENGTH")) env["CONTENT_LENGTH"] = std::to_string(body.size());
    env["NVR_ROOT"] = root_.string();
    fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
      clearenv();
      for (auto& [k, v] : env) setenv(k.c_str(), v.c_str(), 1);
      int in = open(in_path.c_str(), O_RDONLY);
      int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(in, 0);
      dup2(out, 1);
      RouteRegister(kEchoRoutes, sizeof kEchoRoutes / sizeof kEchoRoutes[0]);
      int result = cgi_main();
      fflush(stdout);
      // What the program left unread on standard input.
      std::string rest;
      char buffer[4096];
      ssize_t n;
      while ((n = read(0, buffer, sizeof buffer)) > 0) rest.append(buffer, static_cast<size_t>(n));
      std::ofstream(root_ / "unread", std::ios::binary) << rest;
      _exit(result & 0xff);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    RunResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = slurp(out_path);
    r.unread_stdin = slurp(root_ / "unread");
    return r;
  }

  RunResult post(const std::string& content_type, const std::string& body,
                 const std::string& route = "/echo", const std::string& query = "") {
    return run({{"REQUEST_METHOD", "POST"},
                {"PATH_INFO", route},
                {"CONTENT_TYPE", content_type},
                {"QUERY_STRING", query}},
               body);
  }

  static std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  std::vector<std::string> tmp_files() {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(root_ / "tmp")) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path root_;
  const std::string text_ = "Content-type: text/plain\r\n\r\n";
};

TEST_F(Entry, JsonPostInAnyLetterCase) {
  EXPECT_EQ(post("Application/JSON; charset=UTF-8", "{\"a\":1}").out, text_ + "{\"a\":1}");
  auto r = run({{"REQUEST_METHOD", "Post"},
                {"PATH_INFO", "/echo"},
                {"CONTENT_TYPE", "application/x-www-form-urlencoded"}},
               "a=1&b=2");
  EXPECT_EQ(r.out, text_ + "a=1&b=2");
}

// A run that would write nothing answers a header alone (CGI needs one), and
// the debug log says why.
TEST_F(Entry, OtherMethodsAndMediaTypesAnswerTheirStatusAlone) {
  const std::string refused = "Status: 400 Bad Request\r\n\r\n";
  const std::string unknown = "Status: 404 Not Found\r\n\r\n";
  for (const char* method : {"PUT", "HEAD", "DELETE", ""})
    EXPECT_EQ(run({{"REQUEST_METHOD", method}, {"PATH_INFO", "/echo"}}, "x").out, refused)
        << method;
  EXPECT_EQ(post("text/plain", "{}").out, refused);
  EXPECT_EQ(post("application/json", "{}", "").out, unknown);       // no route code
  EXPECT_EQ(post("application/json", "{}", "/none").out, unknown);  // unknown route
  EXPECT_EQ(run({{"REQUEST_METHOD", "GET"}, {"PATH_INFO", "/none"}}, "").out, unknown);
  const std::string log = slurp(root_ / "mnt/nand/cgi_log.txt");
  EXPECT_NE(log.find("route \"/none\" (GET): no such route"), std::string::npos) << log;
  EXPECT_NE(log.find("route \"/echo\" (PUT ): refused: its method or media type is not handled"),
            std::string::npos)
      << log;
}

TEST_F(Entry, GetQueryDecodesOnlyQuotes) {
  auto r = run({{"REQUEST_METHOD", "get"},
                {"PATH_INFO", "/echo"},
                {"QUERY_STRING", "{%22ch%22:1,%22n%22:%22a+b%20c%22}"}},
               "");
  EXPECT_EQ(r.out, text_ + "{\"ch\":1,\"n\":\"a+b%20c\"}");
  std::string long_query(2000, 'q');
  r = run({{"REQUEST_METHOD", "GET"}, {"PATH_INFO", "/echo"}, {"QUERY_STRING", long_query}}, "");
  EXPECT_EQ(r.out, text_ + long_query.substr(0, 1023));
}

TEST_F(Entry, PostBodyIsCutAt30719BytesAnd128Lines) {
  std::string big(40000, 'b');
  EXPECT_EQ(post("application/json", big).out, text_ + big.substr(0, 30719));
  std::string lines, first128;
  for (int i = 0; i < 200; ++i) {
    std::string line = "line" + std::to_string(i) + "\n";
    lines += line;
    if (i < 128) first128 += line;
  }
  EXPECT_EQ(post("application/json", lines).out, text_ + first128);
}

std::string part(const std::string& boundary, const std::string& headers,
                 const std::string& content) {
  return "--" + boundary + "\r\n" + headers + "\r\n\r\n" + content + "\r\n";
}

std::string file_part(const std::string& boundary, const std::string& file_name,
                      const std::string& content) {
  return part(boundary,
              "Content-Disposition: form-data; name=\"file\"; filename=\"" + file_name +
                  "\"\r\nContent-Type: application/octet-stream",
              content);
}

const std::string kB = "----WebKitFormBoundaryX";
const std::string kMultipart = "multipart/form-data; boundary=" + kB;

TEST_F(Entry, UploadIsRenamedToItsSafeNameWithTheParamSuffix) {
  std::string content = "RIFF\r\n--not-a-boundary\r\n\r\n-" + std::string(3000, '\0') + "end";
  std::string body = part(kB, "Content-Disposition: form-data; name=\"note\"", "hello") +
                     file_part(kB, "C:\\Users\\me\\alarm.wav", content) + "--" + kB + "--\r\n";
  auto r = post(kMultipart, body, "/up", "x=1&param:7&y=2");
  std::string path = root_.string() + "/tmp/alarm.wav";
  EXPECT_EQ(r.out.substr(0, text_.size() + path.size() + 4), text_ + path + " & 7");
  EXPECT_NE(r.out.find("[note||5|hello|0]"), std::string::npos);
  EXPECT_EQ(slurp(path), content);
  EXPECT_EQ(tmp_files(), std::vector<std::string>{"alarm.wav"});
}

TEST_F(Entry, UnsafeNamesFallBackToUploadAndTime) {
  std::string body = file_part(kB, "../../etc/..passwd.cfg", "data") + "--" + kB + "--\r\n";
  auto r = post(kMultipart, body, "/up");
  auto files = tmp_files();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].rfind("upload_", 0), 0u);
  EXPECT_EQ(files[0].substr(files[0].size() - 4), ".cfg");
  EXPECT_EQ(r.out.rfind(text_ + root_.string() + "/tmp/" + files[0] + "\n[file|", 0), 0u);
}

// Found by fuzzing: a file name holding the data separator " & " reached the
// handler as "<tmp>/a & b.wav & 7", which it reads as the path "<tmp>/a"; and
// a name ending in " &" meets the separator as "<tmp>/a & & 7".
TEST_F(Entry, FileNameHoldingTheDataSeparatorFallsBack) {
  for (const char* name : {"a & b.wav", "x.w & av", "a.b & c", "a &", "a.wav &"}) {
    std::string body = file_part(kB, name, "data") + "--" + kB + "--\r\n";
    auto r = post(kMultipart, body, "/up", "param:7");
    auto files = tmp_files();
    ASSERT_EQ(files.size(), 1u) << name;
    EXPECT_EQ(files[0].rfind("upload_", 0), 0u) << name;
    EXPECT_EQ(files[0].find('&'), std::string::npos) << name;
    EXPECT_EQ(r.out.rfind(text_ + root_.string() + "/tmp/" + files[0] + " & 7\n", 0), 0u) << name;
    fs::remove(root_ / "tmp" / files[0]);
  }
}

TEST_F(Entry, TooLongFileNameDispatchesNothing) {
  std::string body = file_part(kB, std::string(200, 'n') + ".bin", "data") + "--" + kB + "--\r\n";
  EXPECT_EQ(post(kMultipart, body, "/up").out, "Status: 400 Bad Request\r\n\r\n");
  EXPECT_TRUE(tmp_files().empty());
}

TEST_F(Entry, UploadRoutesKeepingTheTemporaryFile) {
  std::string body = file_part(kB, "oem.bin", "payload") + "--" + kB + "--\r\n";
  auto r = post(kMultipart, body, "/oem", "k=v");
  EXPECT_EQ(r.out.rfind(text_ + root_.string() + "/tmp/cgic", 0), 0u) << r.out;
  EXPECT_NE(r.out.find(" & k=v"), std::string::npos);
  EXPECT_TRUE(tmp_files().empty());  // removed at the end of the run
}

TEST_F(Entry, RawUploadRoutes) {
  std::string body = file_part(kB, "fw.bin", std::string(100000, 'f')) + "--" + kB + "--\r\n";
  auto r = post(kMultipart, body, "/1010", "reset=1");
  EXPECT_EQ(r.out, text_ + "temp & reset=1");
  EXPECT_EQ(r.unread_stdin, body);  // the firmware body is never read

  r = post(kMultipart, body, "/6082", "a=b");
  EXPECT_EQ(r.out.substr(0, text_.size() + 12), text_ + "temp & a=b\n[");
  EXPECT_TRUE(tmp_files().empty());

  r = post("multipart/form-data; boundary=zzz", "no boundary here", "/6082", "q");
  EXPECT_EQ(r.out, text_ + "temp & q");
}

TEST_F(Entry, ContentLengthBoundsTheBody) {
  std::string body = file_part(kB, "a.bin", "0123456789") + "--" + kB + "--\r\n";
  // Shorter than the body: the file is cut, the rest stays unread.
  auto r = run({{"REQUEST_METHOD", "POST"},
                {"PATH_INFO", "/up"},
                {"CONTENT_TYPE", kMultipart},
                {"CONTENT_LENGTH", std::to_string(body.find("56789"))}},
               body);
  EXPECT_EQ(slurp(root_ / "tmp/a.bin"), "01234");
  EXPECT_FALSE(r.unread_stdin.empty());
  fs::remove(root_ / "tmp/a.bin");
  // Longer than the body: read to the end, nothing more.
  r = run({{"REQUEST_METHOD", "POST"},
           {"PATH_INFO", "/up"},
           {"CONTENT_TYPE", kMultipart},
           {"CONTENT_LENGTH", "999999"}},
          body);
  EXPECT_EQ(slurp(root_ / "tmp/a.bin"), "0123456789");
  EXPECT_EQ(r.status, 0);
}

TEST_F(Entry, HostileBodiesNeverCrashOrLeaveFiles) {
  std::string line1023 = "X-Long: " + std::string(1015, 'h');
  const std::string bodies[] = {
      "",
      "--" + kB,
      "--" + kB + "\r\n",
      "--" + kB + "\r\n\r\n\r\n",                                            // part without headers
      "--" + kB + "\r\n" + line1023 + std::string(5000, 'x') + "\r\n\r\nv",  // over-long header
      "--" + kB + "\r\nContent-Disposition: attachment; name=\"file\"\r\n\r\nskipped\r\n--" + kB +
          "--",
      file_part(kB, "cut.bin", std::string(5000, 'c')).substr(0, 3000),  // ends mid-file
      "--" + kB + "\r\nContent-Disposition: form-data; name=file; filename=\r\n\r\n\r\n--" + kB,
      std::string(10000, '\r'),
      "--" + kB + "\r\n" + std::string(3000, '-') + kB,
  };
  for (const auto& body : bodies) {
    auto r = post(kMultipart, body, "/up");
    EXPECT_EQ(r.status, 0) << body.substr(0, 80);
    for (const auto& name : tmp_files()) {
      EXPECT_EQ(name.rfind("cgic", 0), std::string::npos) << name;
      fs::remove(root_ / "tmp" / name);
    }
  }
}

TEST_F(Entry, BoundarySplitAcrossReadsAndPartialMatchesInContent) {
  // Content that repeats the start of the delimiter around the 1024-byte
  // read size.
  std::string content;
  while (content.size() < 5000) content += "\r\n--" + kB.substr(0, content.size() % 17) + "y";
  std::string body = file_part(kB, "split.bin", content) + "--" + kB + "--\r\n";
  for (size_t pad = 0; pad < 40; pad += 7) {
    std::string padded = std::string(pad, 'p') + "\r\n" + body;
    post(kMultipart, padded, "/up");
    EXPECT_EQ(slurp(root_ / "tmp/split.bin"), content) << pad;
  }
}

TEST_F(Entry, FailedParseEndsTheRunAndRemovesEarlierFiles) {
  std::string body =
      file_part(kB, "one.bin", "1") +
      part(kB, "Content-Disposition: form-data; name=\"big\"", std::string(2u << 20, 'v')) + "--" +
      kB + "--\r\n";
  auto r = post(kMultipart, body, "/up");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Status: 400 Bad Request\r\n\r\n");
  EXPECT_TRUE(tmp_files().empty());

  fs::remove_all(root_ / "tmp");  // no folder for temporary files
  r = post(kMultipart, file_part(kB, "one.bin", "1") + "--" + kB + "--\r\n", "/up");
  EXPECT_EQ(r.status, 255);
  EXPECT_EQ(r.out, "Status: 400 Bad Request\r\n\r\n");
  fs::create_directories(root_ / "tmp");
}

TEST_F(Entry, LargePartThatIsNotFormDataIsPassedOver) {
  // Only kept field values count against the memory limit.
  std::string body =
      part(kB, "Content-Disposition: attachment; name=\"x\"", std::string(2u << 20, 'a')) +
      file_part(kB, "after.bin", "2") + "--" + kB + "--\r\n";
  auto r = post(kMultipart, body, "/up");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind(text_ + root_.string() + "/tmp/after.bin", 0), 0u) << r.out.substr(0, 80);
  EXPECT_EQ(slurp(root_ / "tmp/after.bin"), "2");
}

TEST_F(Entry, TemporaryFilesAreOwnerOnly) {
  std::string body = file_part(kB, "x.bin", "1") + "--" + kB + "--\r\n";
  auto r = post(kMultipart, body, "/1019");
  EXPECT_NE(r.out.find("[file|x.bin|1||600]"), std::string::npos) << r.out;
}

}  // namespace
