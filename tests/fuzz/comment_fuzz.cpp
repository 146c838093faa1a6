// Any stored comment bytes: the comment shown is valid UTF-8 or nothing, a
// valid one reaches the page unchanged, and the record carrying it is always
// a well-formed reply.
#include <unicode/ustring.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_seams.hpp"
#include "metadata/comments.hpp"
#include "reply_text.hpp"

using namespace quarrytide;

namespace {

// A full conversion both ways: the independent judge of what is UTF-8.
bool roundTrips(const std::string& bytes) {
  UErrorCode status = U_ZERO_ERROR;
  int32_t units = 0;
  std::u16string wide(bytes.size() + 1, u'\0');
  u_strFromUTF8(wide.data(), static_cast<int32_t>(wide.size()), &units, bytes.data(),
                static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return false;
  std::string back(bytes.size() + 1, '\0');
  int32_t length = 0;
  u_strToUTF8(back.data(), static_cast<int32_t>(back.size()), &length, wide.data(), units, &status);
  return U_SUCCESS(status) && back.substr(0, length) == bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  bool text = isCommentText(bytes);
  if (text != roundTrips(bytes)) std::abort();

  FileRecord record;
  record.path = "/folder/" + bytes;  // names are bytes too
  record.name = record.basename = bytes;
  record.comment = text ? bytes : "";
  auto reply = fuzz::argumentOf(recordsReplyCall(1, std::nullopt, {record}));
  const auto& sent = reply["payload"]["files"][0];
  if (sent["comment"] != record.comment) std::abort();
  if (text && sent["name"] != bytes) std::abort();
  return 0;
}
