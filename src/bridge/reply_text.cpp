#include "reply_text.hpp"

#include "raw_bytes.hpp"

#include <glib.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <string_view>
#include <unordered_map>

namespace quarrytide {
namespace {

constexpr std::string_view kResolvePrefix = "window.__bridgeResolveRaw(";
constexpr std::string_view kDropPrefix = "window.__onDrop(";
constexpr std::string_view kPartPrefix = "window.__bridgePartRaw(";

// Above kParsedCallAbove bytes of JSON a call carries it as a string for
// JSON.parse: the page's engine parses JSON several times faster than it
// evaluates the same text as an object literal (a folder of 100,000 files
// shows its rows after 3.3 s instead of 11.7 s).
constexpr std::string_view kParseOpen = "JSON.parse(\"";

// Writes JSON text as the inside of a string literal, in ASCII only: quote
// and backslash escaped for the literal, every character beyond ASCII
// as a JSON escape (\uXXXX, a pair above U+FFFF) that JSON.parse reads back.
// WebKit keeps a script with one character beyond ASCII as UTF-16, twice its
// size in both processes, and parses it more slowly. JSON text holds no raw
// control character and is valid UTF-8 (strings are repaired as written), and
// bytes beyond ASCII occur only inside its strings, where the escape is valid.
class LiteralText {
 public:
  explicit LiteralText(std::string& out) : out_(out) {}
  void put(char ch) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      if (c == '"' || c == '\\') out_.push_back('\\');
      out_.push_back(ch);
    } else if (c >= 0xC0) {  // a lead byte: 1 to 3 continuation bytes follow
      more_ = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
      code_ = c & (0x3F >> more_);
    } else if (code_ = (code_ << 6) | (c & 0x3F); --more_ == 0) {
      if (code_ < 0x10000) return unit(code_);
      unit(0xD800 + ((code_ - 0x10000) >> 10));
      unit(0xDC00 + ((code_ - 0x10000) & 0x3FF));
    }
  }
  // Runs of plain ASCII go in one piece: most of a listing is.
  void append(std::string_view json) {
    for (std::size_t at = 0, end; at < json.size(); at = end) {
      for (end = at; end < json.size() && plain(json[end]);) ++end;
      out_.append(json.substr(at, end - at));
      if (end < json.size()) put(json[end++]);
    }
  }

 private:
  static bool plain(char c) {
    return static_cast<unsigned char>(c) < 0x80 && c != '"' && c != '\\';
  }
  void unit(char32_t u) {
    static constexpr char kHex[] = "0123456789abcdef";
    out_.append(R"(\\u)");
    for (int shift = 12; shift >= 0; shift -= 4) out_.push_back(kHex[(u >> shift) & 0xF]);
  }
  std::string& out_;
  char32_t code_ = 0;
  int more_ = 0;
};

// Writes the JSON into the script text after its prefix as it comes, through
// a small buffer: a listing reply can be tens of megabytes, never held twice,
// and written a character at a time it would cost more than its records.
class ScriptOut {
 public:
  using Ch = char;
  explicit ScriptOut(std::string_view prefix) : prefixSize_(prefix.size()) { text_.append(prefix); }
  ScriptOut(const ScriptOut&) = delete;
  ScriptOut& operator=(const ScriptOut&) = delete;
  void Put(char c) {
    if (used_ == kChunk) drain();
    chunk_[used_++] = c;
  }
  void Flush() {}
  std::string finish() && {
    drain();
    text_.append(inString_ ? "\"))" : ")");
    return std::move(text_);
  }

 private:
  static constexpr std::size_t kChunk = 1 << 16;

  void drain() {
    const std::string_view chunk(chunk_.get(), used_);
    used_ = 0;
    // Grown past the limit: what is written so far becomes the start of
    // the string, the rest is escaped as it comes.
    if (!inString_ && text_.size() - prefixSize_ + chunk.size() > kParsedCallAbove) {
      std::string json = text_.substr(prefixSize_);
      text_.resize(prefixSize_);
      text_.append(kParseOpen);
      literal_.append(json);
      inString_ = true;
    }
    if (inString_)
      literal_.append(chunk);
    else
      text_.append(chunk);
  }

  std::size_t prefixSize_;
  bool inString_ = false;
  std::string text_;
  LiteralText literal_{text_};
  std::unique_ptr<char[]> chunk_{new char[kChunk]};
  std::size_t used_ = 0;
};

using Writer = rapidjson::Writer<ScriptOut>;

// Writes `text` as a JSON string; invalid UTF-8 becomes U+FFFD. NUL is a
// character like any other (a comment may hold one, and JSON writes it as
// \u0000), but GLib's repair stops at it: the pieces between NULs are repaired.
void writeString(Writer& w, const std::string& text) {
  if (isUtf8(text)) {
    w.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    return;
  }
  std::string repaired;
  std::size_t start = 0;
  for (;;) {
    std::size_t nul = text.find('\0', start);
    std::size_t end = nul == std::string::npos ? text.size() : nul;
    g_autofree gchar* piece =
        g_utf8_make_valid(text.data() + start, static_cast<gssize>(end - start));
    repaired += piece;
    if (nul == std::string::npos) break;
    repaired += '\0';
    start = nul + 1;
  }
  w.String(repaired.data(), static_cast<rapidjson::SizeType>(repaired.size()));
}

// `key` with `text`, and `rawKey` with its bytes when they are not UTF-8:
// the text then holds U+FFFD and cannot name the item.
void writePath(Writer& w, const char* key, const char* rawKey, const std::string& text) {
  w.Key(key);
  writeString(w, text);
  if (isUtf8(text)) return;
  w.Key(rawKey);
  w.String(base64Of(text).c_str());
}

void writeRecord(Writer& w, const FileRecord& r) {
  w.StartObject();
  writePath(w, "path", "rawPath", r.path);
  writePath(w, "name", "rawName", r.name);
  w.Key("basename");
  writeString(w, r.basename);
  w.Key("ext");
  writeString(w, r.ext);
  w.Key("isDir");
  w.Bool(r.isDir);
  w.Key("size");
  w.Int64(r.size);
  w.Key("created");
  w.Double(r.created);
  w.Key("modified");
  w.Double(r.modified);
  if (r.accessed) {
    w.Key("accessed");
    w.Double(*r.accessed);
  }
  w.Key("tags");
  w.StartArray();
  for (const auto& t : r.tags) writeString(w, t);
  w.EndArray();
  w.Key("label");
  w.Int64(r.label);
  w.Key("comment");
  writeString(w, r.comment);
  w.EndObject();
}

void writeRecords(Writer& w, const std::vector<FileRecord>& files) {
  w.StartArray();
  for (const auto& r : files) writeRecord(w, r);
  w.EndArray();
}

constexpr const char* kCommentFailed =
    "Could not set comment (allow controlling Finder in System Settings \u25B8 Privacy \u25B8 "
    "Automation).";

void writeResult(Writer& w, const OpResult& r) {
  w.StartObject();
  w.Key("ok");
  w.Bool(r.ok);
  if (r.path) writePath(w, "path", "rawPath", *r.path);
  if (r.newPath) writePath(w, "newPath", "rawNewPath", *r.newPath);
  if (r.error) {
    w.Key("error");
    // The page of old knows a failed comment by this very text.
    writeString(w, r.stage == OpResult::Stage::kComment ? kCommentFailed : *r.error);
  }
  if (r.code) {
    w.Key("code");
    w.String(codeName(*r.code).data());
  }
  w.EndObject();
}

bool isHex4(std::string_view s, std::size_t at) {
  if (at + 4 > s.size()) return false;
  for (std::size_t i = at; i < at + 4; ++i)
    if (!std::isxdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

// The code unit of the \uXXXX escape starting at `at` (the backslash), or -1.
long escapedUnit(std::string_view s, std::size_t at) {
  if (at + 6 > s.size() || s[at] != '\\' || s[at + 1] != 'u' || !isHex4(s, at + 2)) return -1;
  return std::stol(std::string(s.substr(at + 2, 4)), nullptr, 16);
}

}  // namespace

std::string replyCall(std::int64_t id, bool ok, const nlohmann::json& payload) {
  return replyTextCall(id, ok,
                       payload.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::string replyTextCall(std::int64_t id, bool ok, const std::string& payload) {
  const std::string json = "{\"id\":" + std::to_string(id) + ",\"ok\":" + (ok ? "true" : "false") +
                           ",\"payload\":" + payload + "}";
  std::string out(kResolvePrefix);
  if (json.size() <= kParsedCallAbove) return out + json + ')';
  out += kParseOpen;
  LiteralText(out).append(json);
  return out + "\"))";
}

// The reply call {"id": id, "ok": true, "payload": {...}} whose payload
// members `writePayload` writes.
template <class F>
std::string okReplyCall(std::int64_t id, F writePayload) {
  ScriptOut out(kResolvePrefix);
  Writer w(out);
  w.StartObject();
  w.Key("id");
  w.Int64(id);
  w.Key("ok");
  w.Bool(true);
  w.Key("payload");
  w.StartObject();
  writePayload(w);
  w.EndObject();
  w.EndObject();
  return std::move(out).finish();
}

std::string recordsReplyCall(std::int64_t id, const std::optional<std::string>& folder,
                             const std::vector<FileRecord>& files) {
  return okReplyCall(id, [&](Writer& w) {
    if (folder) {
      w.Key("folder");
      writeString(w, *folder);
    }
    w.Key("files");
    writeRecords(w, files);
  });
}

// The part call {"id": id, "folder": folder, ...} whose other members
// `writeRest` writes.
template <class F>
std::string partCallWith(std::int64_t id, const std::string& folder, F writeRest) {
  ScriptOut out(kPartPrefix);
  Writer w(out);
  w.StartObject();
  w.Key("id");
  w.Int64(id);
  w.Key("folder");
  writeString(w, folder);
  writeRest(w);
  w.EndObject();
  return std::move(out).finish();
}

std::string partCall(std::int64_t id, const std::string& folder,
                     const std::vector<FileRecord>& files) {
  return partCallWith(id, folder, [&](Writer& w) {
    w.Key("files");
    writeRecords(w, files);
  });
}

namespace {

// A sparse column: the rows whose value differs from what the page derives,
// and their values.
template <class Odd, class Write>
void writeSparse(Writer& w, const char* key, const std::vector<FileRecord>& files, Odd odd,
                 Write write) {
  w.Key(key);
  w.StartObject();
  w.Key("rows");
  w.StartArray();
  for (std::size_t i = 0; i < files.size(); ++i)
    if (odd(files[i])) w.Uint64(i);
  w.EndArray();
  w.Key("values");
  w.StartArray();
  for (const auto& r : files)
    if (odd(r)) write(r);
  w.EndArray();
  w.EndObject();
}

// The folder a record's path joins its name to ("/" for the root's items),
// or nothing when the path is not that join ("a//b" is not: the page joins
// with one "/").
std::optional<std::string_view> joinedFolder(const FileRecord& r) {
  const std::string_view path = r.path;
  if (r.name.empty() || path.size() <= r.name.size() || !path.ends_with(r.name) ||
      path[path.size() - r.name.size() - 1] != '/')
    return std::nullopt;
  const std::string_view dir = path.substr(0, path.size() - r.name.size() - 1);
  if (dir.ends_with('/')) return std::nullopt;
  return dir.empty() ? std::string_view("/") : dir;
}

bool derivedBasename(const FileRecord& r) {
  const std::string_view name = r.name;
  if (r.ext.empty()) return name == r.basename;
  return name.size() == r.basename.size() + 1 + r.ext.size() && name.starts_with(r.basename) &&
         name[r.basename.size()] == '.' && name.ends_with(r.ext);
}

// Distinct values as a table plus each record's row in it.
template <class Value>
void writeTabled(Writer& w, const char* tableKey, const char* indexKey,
                 const std::vector<FileRecord>& files, Value value) {
  std::unordered_map<std::string_view, std::uint32_t> rows;
  std::vector<std::string_view> table;
  std::vector<std::uint32_t> index;
  index.reserve(files.size());
  for (const auto& r : files) {
    auto [at, added] = rows.try_emplace(value(r), static_cast<std::uint32_t>(table.size()));
    if (added) table.push_back(at->first);
    index.push_back(at->second);
  }
  w.Key(tableKey);
  w.StartArray();
  for (auto v : table) writeString(w, std::string(v));
  w.EndArray();
  w.Key(indexKey);
  w.StartArray();
  for (auto i : index) w.Uint(i);
  w.EndArray();
}

template <class Write>
void writeColumn(Writer& w, const char* key, const std::vector<FileRecord>& files, Write write) {
  w.Key(key);
  w.StartArray();
  for (const auto& r : files) write(r);
  w.EndArray();
}

}  // namespace

std::string partColumnsCall(std::int64_t id, const std::string& folder,
                            const std::vector<FileRecord>& files) {
  return partCallWith(id, folder, [&](Writer& w) {
    w.Key("columns");
    w.StartObject();
    w.Key("count");
    w.Uint64(files.size());
    writeColumn(w, "name", files, [&](const FileRecord& r) { writeString(w, r.name); });
    writeTabled(w, "dirs", "dir", files,
                [](const FileRecord& r) { return joinedFolder(r).value_or(std::string_view()); });
    writeTabled(w, "exts", "ext", files,
                [](const FileRecord& r) { return std::string_view(r.ext); });
    writeColumn(w, "isDir", files, [&](const FileRecord& r) { w.Uint(r.isDir ? 1 : 0); });
    writeColumn(w, "size", files, [&](const FileRecord& r) { w.Int64(r.size); });
    writeColumn(w, "created", files, [&](const FileRecord& r) { w.Double(r.created); });
    writeColumn(w, "modified", files, [&](const FileRecord& r) { w.Double(r.modified); });
    // only when asked for: a run's records all have it or none does
    if (!files.empty() && files.front().accessed)
      writeColumn(w, "accessed", files,
                  [&](const FileRecord& r) { w.Double(r.accessed.value_or(0)); });
    writeColumn(w, "label", files, [&](const FileRecord& r) { w.Int64(r.label); });
    writeSparse(
        w, "tags", files, [](const FileRecord& r) { return !r.tags.empty(); },
        [&](const FileRecord& r) {
          w.StartArray();
          for (const auto& t : r.tags) writeString(w, t);
          w.EndArray();
        });
    writeSparse(
        w, "comment", files, [](const FileRecord& r) { return !r.comment.empty(); },
        [&](const FileRecord& r) { writeString(w, r.comment); });
    writeSparse(
        w, "path", files, [](const FileRecord& r) { return !joinedFolder(r); },
        [&](const FileRecord& r) { writeString(w, r.path); });
    writeSparse(
        w, "basename", files, [](const FileRecord& r) { return !derivedBasename(r); },
        [&](const FileRecord& r) { writeString(w, r.basename); });
    const auto rawPath = [](const FileRecord& r) { return !isUtf8(r.path); };
    if (std::any_of(files.begin(), files.end(), rawPath)) {
      writeSparse(w, "rawPath", files, rawPath,
                  [&](const FileRecord& r) { w.String(base64Of(r.path).c_str()); });
      const auto rawName = [](const FileRecord& r) { return !isUtf8(r.name); };
      writeSparse(w, "rawName", files, rawName,
                  [&](const FileRecord& r) { w.String(base64Of(r.name).c_str()); });
    }
    w.EndObject();
  });
}

std::string resultsReplyCall(std::int64_t id, const std::vector<OpResult>& results,
                             const std::optional<std::string>& unrecorded) {
  return okReplyCall(id, [&](Writer& w) {
    w.Key("results");
    w.StartArray();
    for (const auto& r : results) writeResult(w, r);
    w.EndArray();
    if (unrecorded) {
      w.Key("journal");
      writeString(w, *unrecorded);
    }
  });
}

std::string failureCall(std::int64_t id, const Error& error) {
  nlohmann::json reply = {
      {"id", id}, {"ok", false}, {"payload", error.message}, {"code", codeName(error.code)}};
  return std::string(kResolvePrefix) +
         reply.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + ')';
}

std::string progressCall(std::int64_t id, std::size_t done, std::size_t failed, std::size_t total,
                         std::uint64_t bytes) {
  ScriptOut out(kPartPrefix);
  Writer w(out);
  w.StartObject();
  w.Key("id");
  w.Int64(id);
  w.Key("progress");
  w.StartObject();
  w.Key("done");
  w.Uint64(done);
  w.Key("failed");
  w.Uint64(failed);
  w.Key("total");
  w.Uint64(total);
  if (bytes) {
    w.Key("bytes");
    w.Uint64(bytes);
  }
  w.EndObject();
  w.EndObject();
  return std::move(out).finish();
}

namespace {

constexpr const char* kStages[] = {nullptr, "rename", "tags", "comment"};

void writeFailure(Writer& w, const ChangeResult& r) {
  if (r.error) {
    w.Key("code");
    w.String(codeName(r.error->code).data());
    w.Key("error");
    writeString(w, r.error->message);
  }
  if (const char* stage = kStages[int(r.stage)]) {
    w.Key("stage");
    w.String(stage);
  }
}

void writeBatchFlags(Writer& w, const BatchOutcome& outcome) {
  if (outcome.refused) {
    w.Key("refused");
    w.Bool(true);
  }
  if (outcome.dryRun) {
    w.Key("dryRun");
    w.Bool(true);
  }
  if (outcome.cancelled) {
    w.Key("cancelled");
    w.Bool(true);
  }
  if (outcome.unrecorded) {
    w.Key("journal");
    writeString(w, outcome.unrecorded->message);
  }
}

}  // namespace

std::string batchColumnsReplyCall(std::int64_t id, const BatchOutcome& outcome,
                                  const std::vector<FileRecord>& files,
                                  const std::vector<std::size_t>& unrecorded) {
  return okReplyCall(id, [&](Writer& w) {
    w.Key("files");
    writeRecords(w, files);
    w.Key("failed");
    w.StartArray();
    for (std::size_t i = 0; i < outcome.results.size(); ++i) {
      const ChangeResult& r = outcome.results[i];
      if (r.ok) continue;
      w.StartObject();
      w.Key("row");
      w.Uint64(i);
      writePath(w, "newPath", "rawNewPath", r.newPath);
      writeFailure(w, r);
      w.EndObject();
    }
    w.EndArray();
    w.Key("unrecorded");
    w.StartArray();
    for (std::size_t row : unrecorded) w.Uint64(row);
    w.EndArray();
    writeBatchFlags(w, outcome);
  });
}

std::string batchReplyCall(std::int64_t id, const BatchOutcome& outcome,
                           const std::vector<std::optional<FileRecord>>& records) {
  return okReplyCall(id, [&](Writer& w) {
    w.Key("results");
    w.StartArray();
    for (std::size_t i = 0; i < outcome.results.size(); ++i) {
      const ChangeResult& r = outcome.results[i];
      w.StartObject();
      w.Key("ok");
      w.Bool(r.ok);
      writePath(w, "path", "rawPath", r.path);
      writePath(w, "newPath", "rawNewPath", r.newPath);
      writeFailure(w, r);
      if (i < records.size() && records[i]) {
        w.Key("record");
        writeRecord(w, *records[i]);
      }
      w.EndObject();
    }
    w.EndArray();
    writeBatchFlags(w, outcome);
  });
}

std::string dropCall(const std::string& folder, const std::vector<FileRecord>& files,
                     const char* dropKind, bool opened) {
  ScriptOut out(kDropPrefix);
  Writer w(out);
  w.StartObject();
  w.Key("folder");
  writeString(w, folder);
  w.Key("files");
  writeRecords(w, files);
  w.Key("dropKind");
  w.String(dropKind);
  if (opened) {
    w.Key("opened");
    w.Bool(true);
  }
  w.EndObject();
  return std::move(out).finish();
}

std::string mapLoneSurrogates(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    // Text without escapes is copied in one piece: envelopes can be huge.
    std::size_t escape = s.find('\\', i);
    if (escape == std::string_view::npos) escape = s.size();
    out.append(s.substr(i, escape - i));
    i = escape;
    if (i + 1 >= s.size()) {
      out.append(s.substr(i));
      break;
    }
    long unit = escapedUnit(s, i);
    if (unit < 0xD800 || unit > 0xDFFF) {  // not a surrogate: copy the escape whole
      std::size_t len = unit >= 0 ? 6 : 2;
      out.append(s.substr(i, len));
      i += len;
      continue;
    }
    long next = unit <= 0xDBFF ? escapedUnit(s, i + 6) : -1;
    if (next >= 0xDC00 && next <= 0xDFFF) {  // a proper pair
      out.append(s.substr(i, 12));
      i += 12;
    } else {
      out.append("\\uFFFD");
      i += 6;
    }
  }
  return out;
}

}  // namespace quarrytide
