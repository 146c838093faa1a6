#include "export.hpp"

#include <cstdio>
#include <string_view>

#include "metadata/tags.hpp"

namespace quarrytide {

namespace {

constexpr const char* kStates[] = {"planned", "done", "failed", "not run", "left"};

// A field a spreadsheet would take for a formula starts with a ' (OWASP's
// advice on CSV injection), whatever it holds.
std::string csvField(std::string s) {
  if (!s.empty() && std::string_view("=+-@\t\r").find(s[0]) != std::string_view::npos)
    s.insert(0, 1, '\'');
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string out = "\"";
  for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
  return out + "\"";
}

std::string joined(const std::vector<std::string>& tags) {
  std::string out;
  for (const auto& t : tags) out += (out.empty() ? "" : ", ") + t;
  return out;
}

// Single quotes keep every byte but the quote itself, which is spliced in.
std::string shQuoted(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Text for a comment line: a line break (or any control byte) would end the
// comment and make the rest a command, so those are written as \xNN.
std::string commentText(const std::string& s) {
  std::string out;
  char b[5];
  for (unsigned char c : s) {
    if (c >= 0x20 && c != 0x7f && c != '\\') {
      out += char(c);
      continue;
    }
    std::snprintf(b, sizeof b, "\\x%02x", c);
    out += b;
  }
  return out;
}

// A line on standard error: printf takes the text as an argument, so no byte
// of it is read as an escape or an option, as echo's may be.
std::string complaint(const std::string& text) {
  return "printf '%s\\n' " + shQuoted(text) + " >&2";
}

// setfattr reads "0x…" as hex: no value can be mistaken for an option or a prefix.
std::string hex(const std::string& s) {
  std::string out = "0x";
  char b[3];
  for (unsigned char c : s) {
    std::snprintf(b, sizeof b, "%02x", c);
    out += b;
  }
  return out;
}

std::string setAttr(const char* name, const std::string& value, const std::string& path) {
  if (value.empty())
    return std::string("setfattr -h -x ") + name + " -- " + shQuoted(path) + " 2>/dev/null\n";
  return std::string("setfattr -h -n ") + name + " -v " + hex(value) + " -- " + shQuoted(path) +
         " || " + complaint(std::string("could not restore ") + name + " of " + path) + "\n";
}

}  // namespace

std::string batchCsv(const std::vector<JournalEntry>& entries) {
  std::string out =
      "old path,new path,state,error,tags,label,comment,tags before,label before,comment "
      "before\r\n";
  for (const auto& e : entries) {
    const std::vector<std::string> fields = {*e.op.path,
                                             e.newPath.value_or(""),
                                             kStates[int(e.state)],
                                             e.error.value_or(""),
                                             e.op.setTags ? joined(e.op.tags) : "",
                                             e.op.setLabel ? std::to_string(e.op.label) : "",
                                             e.op.setComment ? e.op.comment : "",
                                             e.prior.tags ? joined(*e.prior.tags) : "",
                                             e.prior.label ? std::to_string(*e.prior.label) : "",
                                             e.prior.comment.value_or("")};
    for (std::size_t i = 0; i < fields.size(); ++i) out += (i ? "," : "") + csvField(fields[i]);
    out += "\r\n";
  }
  return out;
}

std::string batchUndoScript(const BatchSummary& batch, const std::vector<JournalEntry>& entries) {
  std::string out = "#!/bin/sh\n# Reverses the batch \"" + commentText(batch.title) + "\" (" +
                    commentText(batch.id) + ") made by Quarrytide in " + commentText(batch.folder) +
                    ".\n# Run it with sh. It never moves an item onto another; setfattr comes "
                    "with the Debian package attr.\nset -u\n";
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
    if (e->state != EntryState::kDone || !e->newPath) continue;
    // made: removed after the items that went into it came back, when empty;
    // removed: made again before they come back
    if (e->op.folderStep == Operation::FolderStep::kMake) {
      out += "rmdir -- " + shQuoted(*e->op.path) + " 2>/dev/null\n";
      continue;
    }
    if (e->op.folderStep == Operation::FolderStep::kRemove) {
      out += "mkdir -p -- " + shQuoted(*e->op.path) + "\n";
      continue;
    }
    const std::string& now = *e->newPath;
    const std::string& old = *e->op.path;
    if (e->prior.tags || e->prior.label) {
      std::string value;
      for (const auto& t :
           joinTags(e->prior.tags.value_or(std::vector<std::string>{}), e->prior.label.value_or(0)))
        value += (value.empty() ? "" : ",") + t;
      out += setAttr("user.xdg.tags", value, now);
    }
    if (e->prior.comment) out += setAttr("user.xdg.comment", *e->prior.comment, now);
    if (now == old) continue;
    out += "if [ -e " + shQuoted(old) + " ] || [ -L " + shQuoted(old) + " ]; then " +
           complaint("not moved back, the old name is taken: " + old) + "; else mv -- " +
           shQuoted(now) + " " + shQuoted(old) + "; fi\n";
  }
  return out;
}

}  // namespace quarrytide
