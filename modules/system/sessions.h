// The log-in's part in server-side sessions ("server_auth" 1): the limit on
// failed log-ins, their equal cost, and the session a log-in opens. With the
// switch off each of these gives today's behaviour.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "modules/system/users_records.h"

// True when the caller's address is refused for too many failed log-ins; the
// log-in then answers as for a wrong password.
bool login_limit_reached();

// A refused log-in: counted against the address (unless it was refused by the
// limit), and answered no sooner than a fixed time after `started`, so that an
// unknown name, a wrong password and a refused address all cost the same.
void note_failed_login(std::chrono::steady_clock::time_point started, bool limited);

// The accepted log-in's session id: with the switch on, a stored session of
// the account (nothing when it cannot be stored); off, today's id drawn from
// the C library's generator seeded with the time.
std::optional<std::string> open_login_session(const UserInfo& account);

// The "sessionId" cookie of a log-in link: a guest session with the switch on,
// else "0".
std::string open_link_session();

// Digests compared without letting the time tell where they differ; letter
// case ignored, as the log-in always has.
bool digests_equal(const char* stored, const char* given);
