#include "headless.hpp"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "temp_dir.hpp"

extern char** environ;

namespace quarrytide::testing {

std::vector<nlohmann::json> HeadlessRun::replies() const {
  const std::string prefix = "window.__bridgeResolveRaw(";
  std::vector<nlohmann::json> out;
  for (const auto& l : lines) {
    if (l.rfind(prefix, 0) != 0 || l.back() != ')') throw std::runtime_error("not a reply: " + l);
    out.push_back(nlohmann::json::parse(l.substr(prefix.size(), l.size() - prefix.size() - 1)));
  }
  return out;
}

HeadlessRun runHeadless(const std::vector<std::string>& input, const std::vector<std::string>& args,
                        const std::vector<std::string>& env, int timeoutSeconds) {
  const char* bin = std::getenv("QUARRYTIDE_BIN");
  std::string exe = std::string(bin ? bin : "build/bin") + "/quarrytide-headless";
  std::string text;
  for (const auto& l : input) text += l + "\n";

  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) || pipe2(out, O_CLOEXEC) || pipe2(err, O_CLOEXEC))
    throw std::runtime_error("pipe");
  // `env` replaces variables of the same name: getenv() would find the first.
  std::vector<std::string> envStrings(env);
  auto overridden = [&](const char* entry) {
    for (const auto& e : env)
      if (std::strncmp(entry, e.c_str(), e.find('=') + 1) == 0) return true;
    return false;
  };
  for (char** e = environ; *e; ++e)
    if (!overridden(*e)) envStrings.emplace_back(*e);
  std::vector<char*> argv{exe.data()}, envp;
  std::vector<std::string> argCopy(args);
  for (auto& a : argCopy) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);

  HeadlessRun run;
  std::string outText;
  std::size_t written = 0;
  int inFd = in[1];
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  bool outOpen = true, errOpen = true;
  if (text.empty()) close(inFd), inFd = -1;
  while (outOpen || errOpen) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    int left = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    deadline - std::chrono::steady_clock::now())
                                    .count());
    if (left <= 0) {
      kill(pid, SIGKILL);
      break;
    }
    poll(fds, inFd >= 0 ? 3 : 2, left);
    char buf[65536];
    if (fds[0].revents) {
      ssize_t n = read(out[0], buf, sizeof buf);
      if (n > 0)
        outText.append(buf, n);
      else
        outOpen = false;
    }
    if (fds[1].revents) {
      ssize_t n = read(err[0], buf, sizeof buf);
      if (n > 0)
        run.err.append(buf, n);
      else
        errOpen = false;
    }
    if (inFd >= 0 && fds[2].revents) {
      ssize_t n = write(inFd, text.data() + written, text.size() - written);
      if (n > 0) written += n;
      if (n < 0 || written == text.size()) close(inFd), inFd = -1;
    }
  }
  if (inFd >= 0) close(inFd);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::istringstream lines(outText);
  for (std::string l; std::getline(lines, l);) run.lines.push_back(l);
  return run;
}

HeadlessRun runHeadlessFresh(const std::vector<std::string>& input,
                             const std::vector<std::string>& args) {
  TempDir home;
  return runHeadless(input, args, {"XDG_CONFIG_HOME=" + home.path()});
}

}  // namespace quarrytide::testing
