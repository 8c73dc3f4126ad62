// What the files of the users-and-system module work with: the frame's
// toolkit, the module's handlers, its settings records and wire layouts, and
// the system calls its file routes use.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "frame/toolkit.h"
#include "frame/toolkit_files.h"
#include "modules/system/access_records.h"
#include "modules/system/devlog_codec.h"
#include "modules/system/maintenance_wire.h"
#include "modules/system/sysinfo_records.h"
#include "modules/system/system_handlers.h"
#include "modules/system/system_wire.h"
#include "modules/system/upgrade_wire.h"
#include "modules/system/users_records.h"
