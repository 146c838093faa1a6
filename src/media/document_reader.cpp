// PDF documents through poppler: the information dictionary and the page count.
#include <glib.h>
#include <poppler.h>

#include <memory>
#include <stdexcept>

#include "media/media_dates.hpp"
#include "media/readers.hpp"

namespace quarrytide {

namespace {

struct Unref {
  void operator()(gpointer object) const { g_object_unref(object); }
};

std::string take(gchar* text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

}  // namespace

void readDocument(const std::string& path, nlohmann::json& out) {
  g_autoptr(GError) error = nullptr;
  g_autofree gchar* uri = g_filename_to_uri(path.c_str(), nullptr, &error);
  if (!uri) throw std::runtime_error(error->message);
  std::unique_ptr<PopplerDocument, Unref> owned(
      poppler_document_new_from_file(uri, nullptr, &error));
  PopplerDocument* doc = owned.get();
  if (!doc) throw std::runtime_error(error ? error->message : "not a PDF document");
  putText(out, "title", take(poppler_document_get_title(doc)));
  putText(out, "author", take(poppler_document_get_author(doc)));
  putText(out, "subject", take(poppler_document_get_subject(doc)));
  if (int pages = poppler_document_get_n_pages(doc); pages > 0) out["pages"] = pages;
  if (g_autoptr(GDateTime) created = poppler_document_get_creation_date_time(doc))
    out["dateCreated"] = localDate(std::time_t(g_date_time_to_unix(created))).wallClock;
}

}  // namespace quarrytide
