// Log-in, log-out and the log-in link.
#pragma once

#include <ctime>

void on_user_login(char* data);
void on_user_logout(char* data);
void on_user_login_from_mail(char* data);

// Reply dispatcher of the log-in routes (reply 8504 of the link check).
void on_login_ipc_callback(void* context, const void* header, const void* payload);

// A session id: kSessionIdDigits decimal digits from the C library's generator
// seeded with `seed` (the log-in time in seconds), NUL-terminated.
constexpr int kSessionIdDigits = 32;
void make_session_id(char* out, time_t seed);
