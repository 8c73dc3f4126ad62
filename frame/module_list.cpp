// The modules' route tables (module_route_tables, in the fixed order of the
// recorder), registered before main() and removed at exit. One registrar
// keeps the order certain.
#include "frame/dispatchreq.h"

namespace {

struct ModuleRegistrar {
  ModuleRegistrar() {
    for (auto table : module_route_tables())
      RouteRegister(table.data(), static_cast<int32_t>(table.size()));
  }
  ~ModuleRegistrar() {
    for (auto table : module_route_tables())
      RouteUnregister(table.data(), static_cast<int32_t>(table.size()));
  }
};

const ModuleRegistrar registrar;

}  // namespace
