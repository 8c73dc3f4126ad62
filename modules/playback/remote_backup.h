// Frame buffering of a recording download: the daemon's pieces are put
// together into frames, queued, and written by a writer thread through the
// AVI writer to the browser.
//
// Memory stays bounded: at most kBackupQueueLimit bytes are queued (the
// receive thread waits while the queue is full, so the daemon is held back
// rather than frames dropped), plus one frame being assembled and one being
// written, each at most kBackupMaxFrame bytes.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/avilib.h"

constexpr int64_t kBackupQueueLimit = 10 * 1024 * 1024;  // waits at 10 MiB or more
constexpr int32_t kBackupMaxFrame = 4 * 1024 * 1024;     // larger frames are dropped
constexpr int32_t kBackupIdlePolls = 1500;               // 40 ms each: the writer gives up

// Opens the AVI writer on `out` and starts the writer thread; *handle gets
// the writer. 0, or -1 (nothing started).
int32_t remote_backup_qvfs_open(FILE* out, QvAviWriter** handle);
// One piece of a frame: `continuation` 0 starts a frame of header->length
// bytes, a continuation adds to it; a complete frame is queued. 0, or -1 when
// the frame was dropped (no memory, oversize, the writer ended).
int32_t remote_backup_qvfs_write(const QvAviFrameHeader* header, int32_t continuation,
                                 const void* data, int32_t length);
// The daemon gave up: the writer stops at once, queued frames are dropped.
void remote_backup_qvfs_interrup();
// Lets the writer write what is queued, joins it, closes the AVI writer.
// 0, or -1 when the output failed at any point.
int32_t remote_backup_qvfs_close(QvAviWriter* handle);
// True while the writer thread runs (false after an interrupt, when the
// output failed, or when it idled out).
bool remote_backup_task_run_status();
// True when the writer ended because the output failed (the reader left).
bool remote_backup_output_failed();

// The platform's plain-file variant, not used by the download: no-ops.
int32_t remote_backup_open(const char* path, QvAviWriter** handle);
int32_t remote_backup_write(QvAviWriter* handle, const void* data, int32_t length);
int32_t remote_backup_close(QvAviWriter* handle);
