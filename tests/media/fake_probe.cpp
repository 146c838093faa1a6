// A stand-in for quarrytide-probe that misbehaves on request: it crashes on
// a path holding "crash", never answers one holding "hang", answers half a
// JSON object for "garble" and names another path for "spoof", answers one
// holding "wait" only once one holding "release" in the same folder has been
// read, and answers {"kind": "image", "read": true} for the rest.
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>

#include "media/probe_frames.hpp"

using namespace quarrytide;

int main() {
  FrameReader requests(STDIN_FILENO);
  while (auto request = requests.next()) {
    const std::string& path = *request;
    const std::string released = path.substr(0, path.rfind('/') + 1) + "released";
    if (path.find("crash") != std::string::npos) std::raise(SIGSEGV);
    if (path.find("hang") != std::string::npos) pause();
    if (path.find("release") != std::string::npos) std::ofstream{released};
    while (path.find("wait") != std::string::npos && access(released.c_str(), F_OK) != 0)
      usleep(10000);
    // a helper gone wrong: half an answer, or another file's path in it
    const char* reply = path.find("garble") != std::string::npos ? R"({"kind":"image","read":)"
                        : path.find("spoof") != std::string::npos
                            ? R"({"kind":"image","path":"/elsewhere","read":true})"
                            : R"({"kind":"image","read":true})";
    if (!writeFrame(STDOUT_FILENO, reply)) return 1;
  }
}
