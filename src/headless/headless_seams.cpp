#include "headless_seams.hpp"

#include <cstdio>

namespace quarrytide {

void StdoutSink::evaluate(const std::string& script) {
  std::fwrite(script.data(), 1, script.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

FixedChooser::FixedChooser(MainDispatcher& main, std::optional<std::string> choice)
    : main_(main), choice_(std::move(choice)) {}

void FixedChooser::show(const std::optional<std::string>&,
                        std::function<void(std::optional<std::string>)> done) {
  main_.post([done = std::move(done), choice = choice_] { done(choice); });
}

void FixedChooser::saveAs(const std::string& name,
                          std::function<void(std::optional<std::string>)> done) {
  std::optional<std::string> file;
  if (choice_) file = *choice_ + "/" + name;
  main_.post([done = std::move(done), file] { done(file); });
}

void LoggingBrowser::reveal(const std::vector<std::string>& paths,
                            std::function<void(std::optional<std::string>)> done) {
  for (const auto& p : paths) std::fprintf(stderr, "reveal: %s\n", p.c_str());
  std::fflush(stderr);
  done(std::nullopt);
}

}  // namespace quarrytide
