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
  decltype(&poppler_document_get_keywords) keywords;
  decltype(&poppler_document_get_creator) creator;
  decltype(&poppler_document_get_producer) producer;
  decltype(&poppler_document_get_modification_date_time) modified;
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
              lib.bind(p.created, "poppler_document_get_creation_date_time") &&
              lib.bind(p.keywords, "poppler_document_get_keywords") &&
              lib.bind(p.creator, "poppler_document_get_creator") &&
              lib.bind(p.producer, "poppler_document_get_producer") &&
              lib.bind(p.modified, "poppler_document_get_modification_date_time");
    return ok ? &p : nullptr;
  }();
  if (!api)
    throw std::runtime_error("PDFs cannot be read: " QUARRYTIDE_POPPLER_SONAME " is missing");
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

std::string isoText(GDateTime* date) {
  if (!date) return "";
  std::string out = take(g_date_time_format_iso8601(date));
  g_date_time_unref(date);
  return out;
}

// The rest of the information dictionary by its own keys (title, author and
// subject are read once, by the caller).
void putInfo(const Poppler& pdf, PopplerDocument* doc, nlohmann::json* all) {
  putTag(all, "Keywords", take(pdf.keywords(doc)));
  putTag(all, "Creator", take(pdf.creator(doc)));
  putTag(all, "Producer", take(pdf.producer(doc)));
  putTag(all, "CreationDate", isoText(pdf.created(doc)));
  putTag(all, "ModDate", isoText(pdf.modified(doc)));
}

}  // namespace

void readDocument(const std::string& path, nlohmann::json& out, nlohmann::json* all) {
  g_autoptr(GError) error = nullptr;
  g_autofree gchar* uri = g_filename_to_uri(path.c_str(), nullptr, &error);
  if (!uri) throw std::runtime_error(error->message);
  const Poppler& pdf = poppler();
  std::unique_ptr<PopplerDocument, Unref> owned(pdf.open(uri, nullptr, &error));
  PopplerDocument* doc = owned.get();
  if (!doc) throw std::runtime_error(error ? error->message : "not a PDF document");
  for (const auto& [key, info, text] : {std::tuple{"title", "Title", take(pdf.title(doc))},
                                        {"author", "Author", take(pdf.author(doc))},
                                        {"subject", "Subject", take(pdf.subject(doc))}}) {
    putTag(all, info, text);
    putText(out, key, text);
  }
  if (all) putInfo(pdf, doc, all);
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
