// A stand-in for quarrytide-probe that misbehaves on request: it crashes on
// a path holding "crash", never answers one holding "hang", and answers
// {"kind": "image", "read": true} for the rest.
#include <unistd.h>

#include <csignal>
#include <string>

#include "media/probe_frames.hpp"

using namespace quarrytide;

int main() {
  FrameReader requests(STDIN_FILENO);
  while (auto request = requests.next()) {
    const std::string path = request->substr(request->find('\0') + 1);
    if (path.find("crash") != std::string::npos) std::raise(SIGSEGV);
    if (path.find("hang") != std::string::npos) pause();
    if (!writeFrame(STDOUT_FILENO, R"({"kind":"image","read":true})")) return 1;
  }
}
