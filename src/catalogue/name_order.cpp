#include "name_order.hpp"

#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace quarrytide {

namespace {

struct CollatorClose {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorClose>;

CollatorPtr openCollator() {
  // Without a configured locale ICU picks en_US_POSIX, whose collation is
  // plain code-point order ("Banana" before "apple"); the root collation is
  // what a file browser shows there.
  const std::string_view locale = uloc_getDefault();
  const bool posix = locale.find("POSIX") != std::string_view::npos || locale == "c";
  UErrorCode status = U_ZERO_ERROR;
  CollatorPtr collator(ucol_open(posix ? "" : nullptr, &status));
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    collator.reset(ucol_open("", &status));
    if (U_FAILURE(status)) return nullptr;
  }
  ucol_setAttribute(collator.get(), UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
  ucol_setAttribute(collator.get(), UCOL_STRENGTH, UCOL_TERTIARY, &status);
  return U_SUCCESS(status) ? std::move(collator) : nullptr;
}

// Appends the NUL-terminated sort key of `name` to `keys`; `text` and
// `key` are scratch buffers kept across calls.
void appendSortKey(const UCollator* collator, const std::string& name, std::u16string& text,
                   std::string& key, std::string& keys) {
  for (;;) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t length = 0;
    u_strFromUTF8WithSub(text.data(), static_cast<int32_t>(text.size()), &length, name.data(),
                         static_cast<int32_t>(name.size()), 0xFFFD, nullptr, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      text.resize(static_cast<std::size_t>(length) + 16);
      continue;
    }
    if (U_FAILURE(status)) length = 0;
    for (;;) {
      const int32_t needed =
          ucol_getSortKey(collator, text.data(), length, reinterpret_cast<uint8_t*>(key.data()),
                          static_cast<int32_t>(key.size()));
      if (needed <= static_cast<int32_t>(key.size())) {
        keys.append(key.data(), needed > 0 ? static_cast<std::size_t>(needed) - 1 : 0);
        keys.push_back('\0');
        return;
      }
      key.resize(static_cast<std::size_t>(needed));
    }
  }
}

}  // namespace

std::vector<std::uint32_t> orderByName(
    std::size_t count, const std::function<const std::string&(std::size_t)>& nameAt) {
  std::vector<std::uint32_t> order(count);
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  if (count < 2) return order;

  CollatorPtr collator = openCollator();
  if (!collator) {
    // No collation data at all: byte order still gives a stable, definite list.
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return nameAt(a) < nameAt(b); });
    return order;
  }
  // One key per name, built once, all in one buffer.
  std::string keys;
  keys.reserve(count * 24);
  std::vector<std::size_t> offsets(count);
  std::u16string text(256, u'\0');
  std::string key(512, '\0');
  for (std::size_t i = 0; i < count; ++i) {
    offsets[i] = keys.size();
    appendSortKey(collator.get(), nameAt(i), text, key, keys);
  }
  const char* base = keys.data();
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return std::strcmp(base + offsets[a], base + offsets[b]) < 0;
  });
  return order;
}

}  // namespace quarrytide
