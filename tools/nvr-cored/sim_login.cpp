// Log-in links (request 3504): the recorder mails a link whose token it keeps;
// opening the link asks whether the token is one of them.
//
// The simulator keeps the tokens it has mailed in state_path("link_tokens"),
// one token per line (the demo or a test writes them there). A token that is
// listed gets status 0, any other -1.
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "modules/system/system_wire.h"
#include "tools/nvr-cored/sim.h"

namespace {

bool is_known_token(const std::string& token) {
  if (token.empty()) return false;
  std::ifstream tokens(sim::state_path("link_tokens"));
  std::string line;
  while (std::getline(tokens, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == token) return true;
  }
  return false;
}

// Payload: the token text in 256 bytes, NUL-terminated.
void on_link_login(const sim::Message& request, sim::Peer& peer) {
  const std::string& payload = request.payload;
  const std::string token(payload.data(), strnlen(payload.data(), payload.size()));
  const int32_t status = is_known_token(token) ? 0 : -1;
  peer.reply(kReplyLinkLogin, &status, sizeof status);
}

const sim::HandlerReg reg_3504(kReqLinkLogin, on_link_login);

}  // namespace
