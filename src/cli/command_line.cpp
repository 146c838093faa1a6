#include "command_line.hpp"

#include <glib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>

#include "args.hpp"
#include "catalogue/file_record.hpp"
#include "catalogue/listing.hpp"
#include "catalogue/worker_threads.hpp"
#include "catalogue_seam.hpp"
#include "journal/run_batch.hpp"
#include "media/media_reader.hpp"
#include "page_engine.hpp"
#include "reply_text.hpp"
#include "settings_file.hpp"

namespace quarrytide {

namespace {

using nlohmann::json;

constexpr const char* kUsage =
    "Usage: quarrytide rename (--preset NAME | --rules FILE) [--tree] [--hidden] [--folders]\n"
    "                         [--apply] [--json] PATH...\n"
    "       quarrytide history [--json]\n"
    "       quarrytide undo [--json] [BATCH]\n"
    "Without --apply, rename only shows what the chain would do. See quarrytide(1).\n";

// Records go to the page's engine in parts of this many, as the window takes them.
constexpr std::size_t kPart = 8192;

int usageError(const std::string& message) {
  std::fprintf(stderr, "quarrytide: %s\n%s", message.c_str(), kUsage);
  return 2;
}

// JSON as text, with bytes that are not UTF-8 as U+FFFD: a reply never fails on a name.
std::string jsonText(const json& j) {
  return j.dump(-1, ' ', false, json::error_handler_t::replace);
}

struct RenameOptions {
  std::optional<std::string> preset, rules;
  ListingMode mode;
  bool apply = false, asJson = false;
  std::vector<std::string> paths;
};

// What the chain is given: one folder's listing, or the items named.
std::optional<std::pair<std::string, std::vector<FileRecord>>> listed(const RenameOptions& o,
                                                                      std::string& why) {
  std::vector<FileRecord> records;
  for (const auto& path : o.paths)
    if (!g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) {
      why = "no such file or folder: " + path;
      return std::nullopt;
    }
  if (o.paths.size() == 1 && g_file_test(o.paths[0].c_str(), G_FILE_TEST_IS_DIR))
    return std::pair(o.paths[0], listFolder(o.paths[0], o.mode));
  for (const auto& path : o.paths) records.push_back(fileInfo(path));
  g_autofree char* root = g_path_get_dirname(o.paths[0].c_str());
  return std::pair(std::string(root), std::move(records));
}

// A path as the table shows it: below the listed folder, relative to it.
std::string shown(const std::string& path, const std::string& root) {
  const std::string prefix = root == "/" ? "/" : root + "/";
  return path.starts_with(prefix) ? path.substr(prefix.size()) : path;
}

void printPlan(const json& plan, const std::string& root, bool asJson,
               const std::vector<ChangeResult>* results) {
  std::map<std::string, const ChangeResult*> outcome;
  if (results)
    for (const auto& r : *results) outcome[r.path] = &r;
  for (const auto& row : plan["rows"]) {
    const std::string path = row["path"], newPath = row["newPath"];
    const auto done = outcome.find(path);
    if (asJson) {
      json line = {{"path", path}, {"newPath", newPath}, {"problems", row["problems"]}};
      for (const char* raw : {"rawPath", "rawNewPath"})
        if (row.contains(raw)) line[raw] = row[raw];
      if (results && done != outcome.end()) {
        line["ok"] = done->second->ok;
        line["code"] = done->second->error ? std::string(codeName(done->second->error->code)) : "";
        line["error"] = done->second->error ? done->second->error->message : "";
      }
      std::puts(jsonText(line).c_str());
      continue;
    }
    if (path == newPath && row["problems"].empty()) continue;
    std::printf("%s → %s\n", shown(path, root).c_str(), shown(newPath, root).c_str());
    for (const auto& p : row["problems"])
      std::printf("    %s: %s\n", p["severity"].get<std::string>().c_str(),
                  p["text"].get<std::string>().c_str());
    if (results && done != outcome.end() && done->second->error)
      std::printf("    failed: %s\n", done->second->error->message.c_str());
  }
}

// Runs the plan's changes as one batch of the engine, journalled as the window's are.
std::optional<BatchOutcome> applyPlan(const json& plan, const std::string& root) {
  std::vector<Change> changes;
  for (const auto& c : plan["changes"]) changes.push_back(changeFrom(c));
  Journal journal(Journal::defaultPath());
  if (journal.problem()) std::fprintf(stderr, "quarrytide: %s\n", journal.problem()->c_str());
  DiskCatalogue catalogue;
  const bool tty = isatty(STDERR_FILENO);
  const auto start = std::chrono::steady_clock::now();
  const std::size_t total = changes.size();
  BatchHooks hooks{
      [&](const Operation& op, PriorState& prior) { return catalogue.applyRecorded(op, prior); },
      [&](std::size_t done, std::size_t failed) {
        // a progress line only where someone watches a batch that takes a while
        if (tty && std::chrono::steady_clock::now() - start > std::chrono::seconds(1))
          std::fprintf(stderr, "\r%zu of %zu done, %zu failed", done, total, failed);
      },
      [] { return false; }};
  g_autofree char* title = g_strdup_printf("Rename %zu items (command line)", total);
  auto outcome = runBatch(journal.problem() ? nullptr : &journal, {"", title, root, 0, true, ""},
                          std::move(changes), hooks, BatchOptions{plan.value("folders", false)});
  if (tty && std::chrono::steady_clock::now() - start > std::chrono::seconds(1))
    std::fputs("\n", stderr);
  if (!outcome) {
    std::fprintf(stderr, "quarrytide: nothing was changed: %s\n", outcome.error().message.c_str());
    return std::nullopt;
  }
  return *outcome;
}

// What the chain reads from inside the listed files ({"read": [...]}, one
// list of readMedia answers for each hash `needs` names, in the files' order),
// read by the app's own helpers; as JSON text, the helpers' answers as they came.
std::string readMedia(const std::vector<FileRecord>& records, const json& needs) {
  std::string out = "{\"read\":[";
  if (!needs.is_object() || needs.value("hashes", json::array()).empty()) return out + "]}";
  std::vector<std::string> files;
  for (const auto& r : records)
    if (!r.isDir) files.push_back(r.path);
  MediaReader reader(MediaReader::defaultProgram(), WorkerThreads::cores());
  bool first = true;
  for (const auto& hash : needs["hashes"]) {
    std::promise<std::vector<std::string>> answer;
    reader.read(files, hash.get<std::string>(), needs.value("all", false),
                [&](std::vector<std::string> items) { answer.set_value(std::move(items)); });
    out += first ? "[" : ",[";
    first = false;
    const auto items = answer.get_future().get();
    for (std::size_t k = 0; k < items.size(); ++k) out += (k ? "," : "") + items[k];
    out += ']';
  }
  return out + "]}";
}

// The page's saved configuration, where its presets are; "" when there is none.
std::string savedSettings() {
  g_autofree char* text = nullptr;
  if (!g_file_get_contents(SettingsFile::defaultPath().c_str(), &text, nullptr, nullptr)) return "";
  const json file = json::parse(text, nullptr, false);
  return file.is_object() && file.value("lastRenameConfig", json()).is_string()
             ? file["lastRenameConfig"].get<std::string>()
             : "";
}

int rename(const RenameOptions& o, const PageSource& page) {
  std::string why;
  auto list = listed(o, why);
  if (!list) return usageError(why);
  const auto& [root, records] = *list;
  PageEngine engine(page.folder, page.language);
  engine.run("globalThis.__parts = []; window.__bridgePartRaw = (p) => __parts.push(p);");
  for (std::size_t from = 0; from < records.size(); from += kPart) {
    std::vector<FileRecord> part(
        records.begin() + std::ptrdiff_t(from),
        records.begin() + std::ptrdiff_t(std::min(from + kPart, records.size())));
    engine.run(partColumnsCall(0, root, part));
  }
  json source = o.rules ? json{{"rulesText", ""}} : json{{"preset", *o.preset}};
  if (o.rules) {
    g_autofree char* text = nullptr;
    g_autoptr(GError) error = nullptr;
    if (!g_file_get_contents(o.rules->c_str(), &text, nullptr, &error))
      return usageError(std::string("cannot read the rules: ") + error->message);
    source["rulesText"] = text;
  } else {
    source["settingsText"] = savedSettings();
  }
  auto needsText = engine.run(
      "globalThis.__cli = __load('cli/rename.js'); globalThis.__chain = __cli.chainFrom(" +
      jsonText(source) + "); JSON.stringify(__chain.error ? __chain : __cli.mediaNeeds(__chain))");
  const json needs = needsText ? json::parse(*needsText, nullptr, false) : json();
  if (needs.contains("error")) return usageError(needs["error"].get<std::string>());
  const std::string read = readMedia(records, needs);
  engine.define("__mediaRead", [&](std::string) { return read; });
  auto text = engine.run("JSON.stringify({ ...__cli.renamePlan(__parts, " + jsonText(root) +
                         ", __chain, { ...JSON.parse(__mediaRead('')), " +
                         jsonText(json{{"apply", o.apply}, {"every", o.asJson}}).substr(1) +
                         "), folders: __chain.folders })");
  if (!text) {
    std::fprintf(stderr, "quarrytide: the rules could not run: %s\n", engine.error().c_str());
    return 1;
  }
  const json plan = json::parse(*text, nullptr, false);
  if (!plan.is_object()) {
    std::fprintf(stderr, "quarrytide: the rules gave no plan\n");
    return 1;
  }
  if (plan.contains("error")) return usageError(plan["error"].get<std::string>());
  const json& counts = plan["counts"];
  const int errors = counts.value("errors", 0), warnings = counts.value("warnings", 0);
  const int renames = counts.value("renames", 0);
  if (!o.apply || errors > 0) {
    printPlan(plan, root, o.asJson, nullptr);
    if (!o.asJson)
      std::printf("%d to rename, %d with errors, %d with warnings%s\n", renames, errors, warnings,
                  o.apply ? ": nothing was changed" : " (a dry run: --apply renames)");
    return errors > 0 ? 1 : 0;
  }
  auto outcome = applyPlan(plan, root);
  if (!outcome) return 1;
  printPlan(plan, root, o.asJson, &outcome->results);
  std::size_t failed = 0;
  for (const auto& r : outcome->results) failed += r.ok ? 0 : 1;
  if (!o.asJson)
    std::printf("%zu renamed or changed, %zu failed%s\n", outcome->results.size() - failed, failed,
                outcome->refused ? " (the set was refused: nothing ran)" : "");
  return failed || outcome->refused ? 1 : 0;
}

// Undoes the batch `id` (or the one the window's Undo offers) as the window
// does: checked whole first, then run as a batch that says what it undoes.
int undo(const std::optional<std::string>& id, bool asJson, const PageSource& page) {
  Journal journal(Journal::defaultPath());
  if (journal.problem()) {
    std::fprintf(stderr, "quarrytide: %s\n", journal.problem()->c_str());
    return 1;
  }
  json batches = json::array();
  for (const auto& b : journal.batches(100, std::nullopt)) batches.push_back(summaryJson(b));
  PageEngine engine(page.folder, page.language);
  engine.define("__readBatch", [&](std::string name) {
    json reply = {{"batch", nullptr}, {"entries", json::array()}};
    if (auto b = journal.batch(name)) reply["batch"] = summaryJson(*b);
    for (const auto& e : journal.entries(name)) reply["entries"].push_back(entryJson(e, true));
    return jsonText(reply);
  });
  auto text = engine.run("JSON.stringify(__load('cli/rename.js').undoPlan(" + jsonText(batches) +
                         ", (id) => JSON.parse(__readBatch(id)), " +
                         jsonText(id ? json(*id) : json()) + "))");
  const json plan = text ? json::parse(*text, nullptr, false) : json();
  if (!plan.is_object()) {
    std::fprintf(stderr, "quarrytide: the undo could not be made: %s\n", engine.error().c_str());
    return 1;
  }
  if (plan.contains("error")) return usageError(plan["error"].get<std::string>());
  std::vector<Change> changes;
  for (const auto& c : plan["changes"]) changes.push_back(changeFrom(c));
  const BatchOptions options{plan.value("folders", false)};
  std::vector<Change> checked = changes;
  const BatchOutcome check = checkBatch(checked, options);
  if (check.refused) {
    for (const auto& r : check.results)
      if (r.error) std::fprintf(stderr, "%s: %s\n", r.path.c_str(), r.error->message.c_str());
    std::fprintf(stderr, "quarrytide: the undo cannot go as a whole: nothing was changed\n");
    return 1;
  }
  DiskCatalogue catalogue;
  BatchHooks hooks{
      [&](const Operation& op, PriorState& prior) { return catalogue.applyRecorded(op, prior); },
      [](std::size_t, std::size_t) {}, [] { return false; }};
  auto outcome = runBatch(&journal, {"", plan["title"], plan["folder"], 0, true, plan["id"]},
                          std::move(changes), hooks, options);
  if (!outcome) {
    std::fprintf(stderr, "quarrytide: nothing was changed: %s\n", outcome.error().message.c_str());
    return 1;
  }
  std::size_t failed = 0;
  for (const auto& r : outcome->results) {
    failed += r.ok ? 0 : 1;
    if (asJson)
      std::puts(jsonText({{"path", r.path},
                          {"newPath", r.newPath},
                          {"ok", r.ok},
                          {"code", r.error ? std::string(codeName(r.error->code)) : ""},
                          {"error", r.error ? r.error->message : ""}})
                    .c_str());
  }
  if (!asJson)
    std::printf("%s: %zu undone, %zu failed, %lld no longer where the batch left them\n",
                plan["title"].get<std::string>().c_str(), outcome->results.size() - failed, failed,
                (long long)plan.value("missing", 0));
  return failed ? 1 : 0;
}

int history(bool asJson) {
  Journal journal(Journal::defaultPath());
  if (journal.problem()) {
    std::fprintf(stderr, "quarrytide: %s\n", journal.problem()->c_str());
    return 1;
  }
  for (const auto& b : journal.batches(1000, std::nullopt)) {
    if (asJson) {
      json line = {{"id", b.id},         {"started", b.started},
                   {"title", b.title},   {"folder", b.folder},
                   {"done", b.done},     {"failed", b.failed},
                   {"notRun", b.notRun}, {"interrupted", b.interrupted}};
      std::puts(jsonText(line).c_str());
      continue;
    }
    g_autoptr(GDateTime) when = g_date_time_new_from_unix_local(gint64(b.started / 1000));
    g_autofree char* date = when ? g_date_time_format(when, "%Y-%m-%d %H:%M") : g_strdup("?");
    std::printf("%s  %s  %s: %lld done, %lld failed%s\n", date, b.id.c_str(), b.title.c_str(),
                (long long)b.done, (long long)b.failed, b.interrupted ? ", interrupted" : "");
  }
  return 0;
}

}  // namespace

std::string absolutePath(const char* arg) {
  if (g_str_has_prefix(arg, "file://")) {
    g_autofree char* path = g_filename_from_uri(arg, nullptr, nullptr);
    if (path) return path;
  }
  g_autofree char* path = g_canonicalize_filename(arg, nullptr);
  return path;
}

bool isSubcommand(const char* word) {
  return word && (std::strcmp(word, "rename") == 0 || std::strcmp(word, "history") == 0 ||
                  std::strcmp(word, "undo") == 0);
}

int runCommandLine(int argc, char** argv, const PageSource& page) {
  const std::string command = argv[1];
  RenameOptions o;
  bool optionsEnd = false;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    const bool takesValue = a == "--preset" || a == "--rules";
    if (!optionsEnd && takesValue && i + 1 >= argc) return usageError(a + " needs a value");
    if (optionsEnd || a.empty() || a[0] != '-')
      o.paths.push_back(absolutePath(a.c_str()));
    else if (a == "--")
      optionsEnd = true;
    else if (a == "--preset")
      o.preset = argv[++i];
    else if (a == "--rules")
      o.rules = argv[++i];
    else if (a == "--tree")
      o.mode.recursive = true;
    else if (a == "--hidden")
      o.mode.hidden = true;
    else if (a == "--folders")
      o.mode.foldersOnly = true;
    else if (a == "--apply")
      o.apply = true;
    else if (a == "--json")
      o.asJson = true;
    else
      return usageError("unknown option " + a);
  }
  if (command == "history")
    return o.paths.empty() ? history(o.asJson) : usageError("history takes no paths");
  if (command == "undo") {
    // the batch is named as it is, not as a path
    std::optional<std::string> batch;
    for (int i = 2; i < argc; ++i)
      if (argv[i][0] != '-') batch = argv[i];
    return o.paths.size() <= 1 ? undo(batch, o.asJson, page) : usageError("undo takes one batch");
  }
  if (o.preset.has_value() == o.rules.has_value())
    return usageError("give --preset NAME or --rules FILE");
  if (o.paths.empty()) return usageError("give the folder or the files to rename");
  return rename(o, page);
}

}  // namespace quarrytide
