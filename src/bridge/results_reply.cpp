#include "results_reply.hpp"

#include <glib.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace quarrytide {

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

void writeString(Writer& w, const std::string& text) {
  if (g_utf8_validate_len(text.data(), text.size(), nullptr)) {
    w.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    return;
  }
  gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  w.String(valid);
  g_free(valid);
}

void writeResult(Writer& w, const OpResult& r) {
  w.StartObject();
  w.Key("ok");
  w.Bool(r.ok);
  if (r.path) {
    w.Key("path");
    writeString(w, *r.path);
  }
  if (r.newPath) {
    w.Key("newPath");
    writeString(w, *r.newPath);
  }
  if (r.error) {
    w.Key("error");
    writeString(w, *r.error);
  }
  w.EndObject();
}

}  // namespace

std::string resultsReplyCall(std::int64_t id, const std::vector<OpResult>& results) {
  rapidjson::StringBuffer buf;
  Writer w(buf);
  w.StartObject();
  w.Key("id");
  w.Int64(id);
  w.Key("ok");
  w.Bool(true);
  w.Key("payload");
  w.StartObject();
  w.Key("results");
  w.StartArray();
  for (const auto& r : results) writeResult(w, r);
  w.EndArray();
  w.EndObject();
  w.EndObject();
  std::string out = "window.__bridgeResolveRaw(";
  out.append(buf.GetString(), buf.GetSize()).push_back(')');
  return out;
}

}  // namespace quarrytide
