// The JSON request path of every route table: the input names a route (or
// picks one by its first line), gives the request data, and scripts what the
// daemon stand-in answers to each request the handler sends.
//
//   <route code>\n<request data>\0<reply script>
#include <cstring>
#include <functional>
#include <string>

#include "fuzz/harness.h"

namespace {

const Route& pick_route(std::string_view code) {
  const auto& routes = fuzz::fuzzable_routes();
  for (const Route* route : routes)
    if (code == route->entry.code) return *route;
  return *routes[std::hash<std::string_view>{}(code) % routes.size()];
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
  fuzz::setup_process((*argv)[0]);
  fuzz::start_daemon();
  fuzz::known_reply_ids();  // learns the reply tables once, before the first input
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Bytes in(data, size);
  const Route& route = pick_route(in.until('\n'));
  const std::string request(in.until('\0'));
  fuzz::script_replies(fuzz::read_script(in, fuzz::known_reply_ids()));
  fuzz::run_route(route, request);
  return 0;
}
