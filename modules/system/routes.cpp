// Route table of the users-and-system module ("/1000"), in the order of its
// routes: login, accounts, device log, maintenance, upgrade, system
// information, alarm audio, access, factory options.
#include "frame/dispatchreq.h"
#include "modules/system/system_handlers.h"

namespace {

// The order of these rows is the table's order.
// clang-format off
constexpr Route kSystemRoutes[] = {
#include "modules/system/routes_login.inc"
#include "modules/system/routes_users.inc"
#include "modules/system/routes_devlog.inc"
#include "modules/system/routes_maintenance.inc"
#include "modules/system/routes_upgrade.inc"
#include "modules/system/routes_sysinfo.inc"
#include "modules/system/routes_audio.inc"
#include "modules/system/routes_access.inc"
#include "modules/system/routes_factory.inc"
};
// clang-format on

}  // namespace

std::span<const Route> system_route_table() { return kSystemRoutes; }
