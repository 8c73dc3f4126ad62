// Responses, the debug log and small utilities shared by every handler.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/shell.h"

constexpr int kRespText = 0;
constexpr int kRespJson = 1;

// Header of the kind, then the body unchanged; -1 (nothing written) for a null body.
int32_t cgi_writeback_webserver(int kind, const char* body);
// "CGI ERROR" (kind 0) or {status:"CGI ERROR"} (kind 1).
int32_t cgi_error_to_webserver(int kind);

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
