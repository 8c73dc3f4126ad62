#include "platform/shell.h"

#include <cstdlib>

namespace nvr {

namespace {

bool is_literal_for_shell(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == '/' || c == ':' || c == ',' || c == '+' || c == '@' ||
         c == '%' || c == '=';
}

}  // namespace

std::string shell_quote(std::string_view value) {
  bool literal = !value.empty();
  for (unsigned char c : value) literal = literal && is_literal_for_shell(c);
  if (literal) return std::string(value);
  std::string quoted = "'";
  for (char c : value) {
    if (c == '\'')
      quoted += "'\\''";
    else
      quoted += c;
  }
  quoted += '\'';
  return quoted;
}

ShellCommand::ShellCommand(std::string_view format, std::initializer_list<ShellArg> args) {
  auto next = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%' || i + 1 >= format.size()) {
      text_ += c;
      continue;
    }
    char conversion = format[++i];
    if (conversion == '%') {
      text_ += '%';
      continue;
    }
    if ((conversion != 's' && conversion != 'd') || next == args.end()) {
      valid_ = false;
      continue;
    }
    const ShellArg& arg = *next++;
    const std::string& value = arg.text();
    if (!arg.is_number() &&
        (value.empty() || value[0] == '-' || value.find('\0') != std::string::npos))
      valid_ = false;
    text_ += shell_quote(value);
  }
  if (next != args.end()) valid_ = false;
}

}  // namespace nvr

int qv_system(const nvr::ShellCommand& command) {
  if (!command.valid()) return -1;
  return system(command.text().c_str());
}
