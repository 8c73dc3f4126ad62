// The multipart parser on its own: a body in, the list of its form entries
// out. The CGI program parses its standard input into cgiFormEntryFirst
// (parse_multipart_body, cgic.h) through the same code.
#pragma once

#include <string>
#include <string_view>

#include "frame/body_input.h"
#include "frame/cgic.h"

// The entries of one body, in their order. Owns them: dropping the list
// frees them and removes the temporary files still under their temporary name.
class FormEntries {
 public:
  FormEntries() = default;
  explicit FormEntries(cgiFormEntry* first) : first_(first) {}
  FormEntries(FormEntries&& other) noexcept : first_(other.release()) {}
  FormEntries& operator=(FormEntries&& other) noexcept;
  FormEntries(const FormEntries&) = delete;
  FormEntries& operator=(const FormEntries&) = delete;
  ~FormEntries() { clear(); }

  cgiFormEntry* first() const { return first_; }
  // The first entry with field name `name`, or null.
  cgiFormEntry* find(const char* name) const;
  // Hands the entries over to the caller, who frees them.
  cgiFormEntry* release();
  void clear();

 private:
  cgiFormEntry* first_ = nullptr;
};

struct MultipartParse {
  int result = 0;       // 0 success, 1 out of memory, 2 temporary file could not be created
  FormEntries entries;  // empty unless the result is 0
};

// Parses a body with the boundary of its content type; file parts go to
// temporary files "cgicXXXXXX" (mode 0600) in `temp_folder`. An empty
// boundary, or a body without a first boundary line, gives no entries and success.
MultipartParse parse_multipart(BodyInput& body, std::string_view boundary,
                               const std::string& temp_folder);
