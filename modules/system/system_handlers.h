// Handlers of the users-and-system route table, one header per area.
#pragma once

#include "modules/system/access.h"
#include "modules/system/audio.h"
#include "modules/system/devlog.h"
#include "modules/system/factory.h"
#include "modules/system/login.h"
#include "modules/system/maintenance.h"
#include "modules/system/sysinfo.h"
#include "modules/system/upgrade.h"
#include "modules/system/users.h"
