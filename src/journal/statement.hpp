#pragma once
// A prepared SQLite statement held by RAII, with binders that keep bytes as
// bytes: paths and names are BLOBs, since Linux names need not be UTF-8.

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quarrytide {

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) != SQLITE_OK) s_ = nullptr;
  }
  ~Statement() { sqlite3_finalize(s_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ready() const { return s_ != nullptr; }
  Statement& bytes(int i, std::string_view v) {
    sqlite3_bind_blob(s_, i, v.empty() ? "" : v.data(), int(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& maybe(int i, const std::optional<std::string>& v) {
    return v ? bytes(i, std::string_view(*v)) : null(i);
  }
  Statement& text(int i, std::string_view v) {
    sqlite3_bind_text(s_, i, v.data(), int(v.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& integer(int i, std::int64_t v) {
    sqlite3_bind_int64(s_, i, v);
    return *this;
  }
  Statement& real(int i, double v) {
    sqlite3_bind_double(s_, i, v);
    return *this;
  }
  Statement& null(int i) {
    sqlite3_bind_null(s_, i);
    return *this;
  }

  // SQLITE_ROW, SQLITE_DONE or an error code.
  int step() { return s_ ? sqlite3_step(s_) : SQLITE_MISUSE; }
  // Runs a statement that returns no rows and readies it for the next binding.
  int run() {
    int rc = step();
    sqlite3_reset(s_);
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
  }
  void reset() { sqlite3_reset(s_); }

  bool isNull(int c) const { return sqlite3_column_type(s_, c) == SQLITE_NULL; }
  std::string bytesAt(int c) const {
    const void* p = sqlite3_column_blob(s_, c);
    return p ? std::string(static_cast<const char*>(p), std::size_t(sqlite3_column_bytes(s_, c)))
             : std::string();
  }
  std::optional<std::string> maybeBytes(int c) const {
    return isNull(c) ? std::nullopt : std::optional(bytesAt(c));
  }
  std::int64_t integerAt(int c) const { return sqlite3_column_int64(s_, c); }
  double realAt(int c) const { return sqlite3_column_double(s_, c); }

 private:
  sqlite3_stmt* s_ = nullptr;
};

}  // namespace quarrytide
