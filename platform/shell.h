// Shell command texts.
//
// Some operations of the system are shell command lines ("tar -zcf ...",
// "qvchip_update %s"). A ShellCommand is the only thing web_system() and
// qv_system() run, and the only way to put a value into one is an argument of
// the constructor: every value is quoted where it needs it, so no value can
// add a command, a redirection or a word. A text value that starts with '-'
// could still pose as an option of the program it is given to; such a command
// is not valid and is never run.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace nvr {

class ShellArg {
 public:
  ShellArg(std::string_view text) : text_(text), is_number_(false) {}
  ShellArg(const char* text) : text_(text ? text : ""), is_number_(false) {}
  ShellArg(const std::string& text) : text_(text), is_number_(false) {}
  ShellArg(int value) : text_(std::to_string(value)), is_number_(true) {}
  ShellArg(long value) : text_(std::to_string(value)), is_number_(true) {}
  ShellArg(long long value) : text_(std::to_string(value)), is_number_(true) {}
  ShellArg(unsigned value) : text_(std::to_string(value)), is_number_(true) {}
  ShellArg(unsigned long value) : text_(std::to_string(value)), is_number_(true) {}
  ShellArg(unsigned long long value) : text_(std::to_string(value)), is_number_(true) {}

  const std::string& text() const { return text_; }
  bool is_number() const { return is_number_; }

 private:
  std::string text_;
  bool is_number_;
};

// `value` as one shell word: unchanged when it holds only characters the shell
// takes literally, else in single quotes with each ' written as '\''.
std::string shell_quote(std::string_view value);

class ShellCommand {
 public:
  // `format` is a fixed command text of the program's own; each "%s" (or "%d")
  // takes the next argument as one quoted word, "%%" is a percent sign.
  ShellCommand(std::string_view format, std::initializer_list<ShellArg> args = {});

  // False when the placeholders and arguments do not match, or a text argument
  // is empty where a word is needed, starts with '-', or holds a NUL.
  bool valid() const { return valid_; }
  const std::string& text() const { return text_; }

 private:
  std::string text_;
  bool valid_ = true;
};

}  // namespace nvr

// The platform command runner: runs a valid command through /bin/sh and
// returns what system() returns; -1 for an invalid command (nothing runs).
int qv_system(const nvr::ShellCommand& command);
