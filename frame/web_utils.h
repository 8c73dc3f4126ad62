// Responses, the debug log and small utilities shared by every handler.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/shell.h"

constexpr int kRespText = 0;
constexpr int kRespJson = 1;

// Header of the kind, then the body unchanged; -1 (nothing written) for a null
// body. A run answers once: a second text or JSON answer is dropped (-1, one
// debug-log line). Any other kind writes the body alone, after the answer.
int32_t cgi_writeback_webserver(int kind, const char* body);
// "CGI ERROR" (kind 0) or {status:"CGI ERROR"} (kind 1).
int32_t cgi_error_to_webserver(int kind);
// For a handler that writes its own header lines (a download): true when it
// may answer; false when the run has answered already.
bool cgi_claim_answer();
// True once anything was written to standard output.
bool cgi_output_written();
// A Set-Cookie line, written with the answer's header lines.
void cgi_add_cookie_line(const char* line);
// "Status: 302 Found", the waiting cookies and "Location: url"; -1 when the
// run has answered already.
int32_t cgi_redirect(const char* url);
// A header alone ("Status: <status>" and an empty body) for a run that wrote
// nothing; -1 when something was written.
int32_t cgi_answer_status(const char* status);
// Forgets the answer state (the start of a run; tests that write several).
void cgi_answer_reset();

// Appends one line to the debug log "/mnt/nand/cgi_log.txt".
int32_t cgi_log(const char* file, int line, const char* function, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
#define CGI_LOG(...) cgi_log(__FILE_NAME__, __LINE__, "", __VA_ARGS__)

// Runs a command through the shell: 0 when it exited with status 0, else -1.
int32_t web_system(const nvr::ShellCommand& command);

int32_t file_lock(const char* path);
void file_unlock(int32_t descriptor);

// The "userName" entry of the request cookie, bounded by `size` (64 in log records).
int32_t get_current_username(char* buffer, size_t size = 64);

int32_t get_mac_addr(char* eth0, char* eth1);

// Whole-file read (caller frees with free()) and write.
char* qv_get_file_data(const char* path, int32_t* length);
int32_t qv_wirte_file_data(const char* path, const void* data, int32_t length);

int32_t get_chip_info(char* buffer, int32_t size);
