// Recording of example requests for the route catalogue. With
// NVR_RECORD_EXAMPLES naming a file, every run of nvr-cgi appends one JSON line
// to it: the request (route, method, media type, query, body), the answer, and
// the request ids the program sent to the simulated daemon during the run.
// tools/record-examples.sh runs the suite this way and condenses the lines
// into the catalogue's fixture. Without the variable nothing is recorded.
#pragma once

#include <cstddef>
#include <string>

#include "tests/e2e/harness.h"

namespace nvr::test {

class CoreSim;

// The simulator running on a root, so that a recording knows where the
// messages of a run arrive. CoreSim registers itself while it lives.
void register_recording_sim(const std::string& root_path, CoreSim* sim);
void unregister_recording_sim(const std::string& root_path, CoreSim* sim);

// One run's recording: constructed before the run, finished after it.
class ExampleRecording {
 public:
  ExampleRecording(const DeviceRoot& root, const CgiRequest& request);
  void finish(const CgiResult& result);

 private:
  const DeviceRoot& root_;
  const CgiRequest& request_;
  std::string file_;  // empty: not recording
  std::size_t messages_before_ = 0;
};

// Parts of a recorded answer (exposed for the unit tests of the recorder).
// Splits a CGI answer into its header block and its body.
void split_cgi_answer(const std::string& out, std::string* head, std::string* body);
// The body as text for the fixture: at most `limit` bytes cut at a character
// boundary, or "(N bytes of binary data)" when it is not UTF-8 text.
std::string printable_body(const std::string& body, std::size_t limit);

}  // namespace nvr::test
