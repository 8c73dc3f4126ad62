#include "tests/e2e/hostile/corpus.h"

#include <cstdio>
#include <set>

namespace nvr::test {

namespace {

// Commands that leave the marker when a shell runs them.
const char* const kCommands[] = {
    "touch $NVR_ROOT/pwned",
    "echo x>${NVR_ROOT}/pwned",
};

// Ways to make a shell run a command hidden in a word; "X" is the command.
const char* const kInjections[] = {
    ";X",      "; X;",    "|X",     "||X",   "&&X",     "&X&",     "`X`",
    "$(X)",    "\nX\n",   "\rX\r",  "';X;'", "\";X;\"", "'$(X)'",  "\"`X`\"",
    "'`X`'",   "\\';X;#", "$(X)#",  "a\nX",  "a%0aX",   "a%3bX",   "%26%26X",
    "'\";X;#", "{X,}",    "$({X})", ")X(",   "\\\nX",   "a\x00;X", "x' ; X ; echo '",
};

// Options the programs the routes run would take from a word that begins
// with '-' (tcpdump's -z runs a program, -w writes a file; rm, mv, tar, cp,
// unzip, qvprofile, qvchip_update take theirs).
const char* const kArguments[] = {
    "-z",
    "-zsh",
    "-z /bin/sh",
    "-w $NVR_ROOT/pwned",
    "-w/tmp/pwned",
    "-w ../../pwned",
    "-Z root",
    "--",
    "-",
    "--help",
    "-r",
    "-rf /",
    "-rf ..",
    "-e /",
    "-i /etc/passwd",
    "--output=pwned",
    "-o",
    "-d /",
    "--to-command=touch $NVR_ROOT/pwned",
    "--checkpoint-action=exec=touch $NVR_ROOT/pwned",
    "-T /etc/passwd",
    "-C /",
    "eth0 -z touch",
    "eth0 -w $NVR_ROOT/pwned",
    "any -w pwned",
    " -w pwned",
    "\t-z",
    "-r 32",
};

// Names and paths that leave a folder, or arrive there by a link.
const char* const kTraversals[] = {
    "..",
    "../",
    "../..",
    "../../../../../../outside/secret",
    "/outside/secret",
    "/etc/passwd",
    "/",
    "//",
    ".",
    "./",
    "..%2f..%2foutside%2fsecret",
    "%2e%2e/%2e%2e/outside/secret",
    "%2e%2e%2f%2e%2e%2foutside%2fsecret",
    "%252e%252e%252f",
    "..\\..\\outside\\secret",
    "....//....//outside/secret",
    "a/../../outside/secret",
    "/tmp/../outside/secret",
    "/tmp/../mnt/nand/app/qvdb.db",
    "/media/../outside",
    "/media/disk/../../outside",
    "link",
    "link.wav",
    "link/secret",
    "/tmp/link",
    "/tmp/link.wav",
    "/media/link",
    "/media/disk/link",
    "rvpcap-20240101000000/../../outside",
    "..%00.wav",
    "x\x00/../../outside/secret",
    "~/",
    "~root",
    "$HOME",
    "/proc/self/environ",
    "/dev/zero",
    "/mnt/nand/app/qvdb.db",
    "..;",
};

// Quotes, escapes and odd bytes on their own.
const char* const kOddities[] = {
    "'",   "\"",   "\\",   "\\'",  "''",       "'\\''",        "\"\"\"", "%",    "%s%s%s%n",
    "%00", "\x01", "\x7f", "\xff", "\xc0\xaf", "\xe2\x80\xae", "*",      "?",    "[a-z]*",
    "!",   "#",    "{",    "}",    "$",        "${IFS}",       "$IFS$9", "a b",  "\t",
    " ",   "\n",   "\r\n", "=",    "&",        "a=b&c=d",      "null",   "true", "[]",
};

// Texts that look like what a field takes, before or after the hostile part.
const char* const kPrefixes[] = {
    "", "eth0", "a.wav", "en", "/media/disk/rvpcap-20240101000000", "192.168.1.1",
};
const char* const kFewPrefixes[] = {"", "eth0", "a.wav", "/media/disk"};

std::string replaced(std::string pattern, const std::string& command) {
  for (size_t at = pattern.find('X'); at != std::string::npos; at = pattern.find('X', at)) {
    pattern.replace(at, 1, command);
    at += command.size();
  }
  return pattern;
}

// Literals above that hold a NUL are cut by the char* constructor; these keep
// the byte.
std::string text_of(const char* literal) {
  std::string text(literal);
  if (text == "a") return std::string("a\0;X", 4);
  if (text == "x") return std::string("x\0/../../outside/secret", 23);
  return text;
}

std::vector<std::string> build() {
  std::vector<std::string> values;
  std::set<std::string> seen;
  auto add = [&](const std::string& value) {
    if (seen.insert(value).second) values.push_back(value);
  };
  // Injection patterns with each command, after each prefix.
  for (const char* prefix : kPrefixes)
    for (const char* pattern : kInjections)
      for (const char* command : kCommands)
        add(std::string(prefix) + replaced(text_of(pattern), command));
  for (const char* prefix : kFewPrefixes) {
    for (const char* argument : kArguments) {
      add(argument);
      add(std::string(prefix) + " " + argument);
      add(std::string(prefix) + "\n" + argument);
    }
    for (const char* odd : kOddities) add(std::string(prefix) + odd);
  }
  for (const char* prefix : kPrefixes)
    for (const char* traversal : kTraversals) {
      add(text_of(traversal));
      add(std::string(prefix) + "/" + text_of(traversal));
    }
  // Oversize values, plain and with a command at the end.
  for (size_t size : {64, 65, 128, 256, 1023, 1024, 4096, 30719, 40000}) {
    add(std::string(size, 'A'));
    add(std::string(size, '/'));
    add(std::string(size, '.') + "/outside/secret");
    add(std::string(size, 'a') + ";touch $NVR_ROOT/pwned");
    add(std::string(size / 3, 'x') + std::string(size / 3, '\'') + "$(touch $NVR_ROOT/pwned)");
  }
  return values;
}

}  // namespace

const std::vector<std::string>& hostile_corpus() {
  static const std::vector<std::string> corpus = build();
  return corpus;
}

std::string json_quoted(const std::string& value) {
  std::string out = "\"";
  for (unsigned char c : value) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char escape[8];
      snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string url_encoded(const std::string& value) {
  std::string out;
  for (unsigned char c : value) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '.' || c == '_' || c == '~' || c == '-';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      char escape[4];
      snprintf(escape, sizeof escape, "%%%02X", c);
      out += escape;
    }
  }
  return out;
}

std::vector<std::string> corpus_share(size_t row, size_t rows) {
  std::vector<std::string> share;
  const auto& corpus = hostile_corpus();
  for (size_t i = row; i < corpus.size(); i += rows) share.push_back(corpus[i]);
  return share;
}

}  // namespace nvr::test
