#include "headless.hpp"

#include "call_argument.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "files.hpp"
#include "temp_dir.hpp"

extern char** environ;

namespace quarrytide::testing {

std::vector<nlohmann::json> HeadlessRun::replies() const {
  std::vector<nlohmann::json> out;
  for (const auto& l : lines) {
    if (l.starts_with("window.__bridgePartRaw(")) continue;  // ahead of a reply, not one
    auto reply = callArgument(l, "window.__bridgeResolveRaw(");
    if (reply.is_discarded()) throw std::runtime_error("not a reply: " + l.substr(0, 200));
    out.push_back(std::move(reply));
  }
  return out;
}

std::map<std::int64_t, nlohmann::json> HeadlessRun::byId() const {
  std::map<std::int64_t, nlohmann::json> out;
  for (auto& r : replies())
    if (!out.emplace(r.at("id").get<std::int64_t>(), r).second)
      throw std::runtime_error("answered twice: " + r.dump());
  return out;
}

std::string request(std::int64_t id, const std::string& cmd, const nlohmann::json& args) {
  nlohmann::json r = {{"id", id}, {"cmd", cmd}};
  if (!args.is_null()) r["args"] = args;
  return r.dump();
}

HeadlessRun runHeadless(const std::vector<std::string>& input, const std::vector<std::string>& args,
                        const std::vector<std::string>& env, std::chrono::milliseconds limit,
                        bool fromFirstOutput) {
  const char* bin = std::getenv("QUARRYTIDE_BIN");
  std::string exe = std::string(bin ? bin : "build/bin") + "/quarrytide-headless";
  // The three streams are files: neither side can block on a full pipe.
  TempDir io;
  const std::string in = io.at("in"), out = io.at("out"), err = io.at("err");
  std::string text;
  for (const auto& l : input) text += l + "\n";
  std::ofstream(in, std::ios::binary) << text;
  // `env` replaces variables of the same name: getenv() would find the first.
  std::vector<std::string> argStrings(args), envStrings(env);
  envStrings.push_back("XDG_CONFIG_HOME=" + io.folder("config"));  // found after env's own
  for (char** e = environ; *e; ++e)
    if (std::none_of(env.begin(), env.end(), [&](const std::string& mine) {
          return std::strncmp(*e, mine.c_str(), mine.find('=') + 1) == 0;
        }))
      envStrings.emplace_back(*e);
  std::vector<char*> argv{exe.data()}, envp;
  for (auto& a : argStrings) argv.push_back(a.data());
  for (auto& e : envStrings) envp.push_back(e.data());
  argv.push_back(nullptr);
  envp.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {  // only async-signal-safe calls: other threads may hold locks
    if (dup2(open(in.c_str(), O_RDONLY), 0) < 0 ||
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1) < 0 ||
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2) < 0)
      _exit(127);
    execve(exe.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto since = [&] {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  };
  auto deadline = fromFirstOutput ? Clock::time_point::max() : start + limit;
  HeadlessRun run;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    std::error_code absent;  // the child has not made the file yet
    const auto size = std::filesystem::file_size(out, absent);
    if (run.firstOutput.count() < 0 && !absent && size > 0) {
      run.firstOutput = since();
      if (fromFirstOutput) deadline = Clock::now() + limit;
    }
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  run.ended = since();
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = read(err);
  std::istringstream lines(read(out));
  for (std::string l; std::getline(lines, l);) run.lines.push_back(l);
  return run;
}

std::map<std::int64_t, nlohmann::json> answered(const std::vector<std::string>& input,
                                                const std::vector<std::string>& env,
                                                std::chrono::milliseconds limit) {
  const HeadlessRun run = runHeadless(input, {}, env, limit);
  EXPECT_EQ(run.status, 0) << run.err;
  return run.byId();
}

}  // namespace quarrytide::testing
