// PDF documents through poppler: the information dictionary and the page count.
#include <glib.h>
#include <poppler.h>

#include <memory>
#include <stdexcept>

#include "media/lazy_library.hpp"
#include "media/media_dates.hpp"
#include "media/readers.hpp"

namespace quarrytide {

namespace {

// The calls this reader makes, from the library loaded with the first PDF.
struct Poppler {
  decltype(&poppler_document_new_from_file) open;
  decltype(&poppler_document_get_title) title;
  decltype(&poppler_document_get_author) author;
  decltype(&poppler_document_get_subject) subject;
  decltype(&poppler_document_get_n_pages) pages;
  decltype(&poppler_document_get_creation_date_time) created;
};

const Poppler& poppler() {
  static const Poppler* api = []() -> const Poppler* {
    static const LazyLibrary lib(QUARRYTIDE_POPPLER_SONAME);
    static Poppler p;
    bool ok = lib.bind(p.open, "poppler_document_new_from_file") &&
              lib.bind(p.title, "poppler_document_get_title") &&
              lib.bind(p.author, "poppler_document_get_author") &&
              lib.bind(p.subject, "poppler_document_get_subject") &&
              lib.bind(p.pages, "poppler_document_get_n_pages") &&
              lib.bind(p.created, "poppler_document_get_creation_date_time");
    return ok ? &p : nullptr;
  }();
  if (!api) throw std::runtime_error("PDFs cannot be read: " QUARRYTIDE_POPPLER_SONAME " is missing");
  return *api;
}

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
  const Poppler& pdf = poppler();
  std::unique_ptr<PopplerDocument, Unref> owned(pdf.open(uri, nullptr, &error));
  PopplerDocument* doc = owned.get();
  if (!doc) throw std::runtime_error(error ? error->message : "not a PDF document");
  putText(out, "title", take(pdf.title(doc)));
  putText(out, "author", take(pdf.author(doc)));
  putText(out, "subject", take(pdf.subject(doc)));
  if (int pages = pdf.pages(doc); pages > 0) out["pages"] = pages;
  if (g_autoptr(GDateTime) created = pdf.created(doc)) {
    // The wall clock as written. poppler puts a date without a zone (the
    // author's own clock) in UTC, as it does one with "Z", so only another
    // zone is an offset the file names.
    g_autofree gchar* wall = g_date_time_format(created, "%Y-%m-%dT%H:%M:%S");
    if (wall) out["dateCreated"] = wall;
    if (auto offset = offsetText(g_time_zone_get_identifier(g_date_time_get_timezone(created))))
      out["offset"] = *offset;
  }
}

}  // namespace quarrytide
