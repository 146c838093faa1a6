#include "app_scheme.hpp"

#include "navigation_policy.hpp"

namespace quarrytide {
namespace {

// Scripts, styles, fonts and frames from the app's own scheme only; images
// also as data: URLs (thumbnails). Nothing may be fetched from the network.
constexpr const char* kPagePolicy =
    "default-src quarrytide:; img-src quarrytide: data:; object-src 'none'; base-uri 'none'; "
    "form-action 'none'; frame-ancestors 'none'";
// The error page is ours and static: it needs its inline style, nothing else.
constexpr const char* kErrorPolicy = "default-src 'none'; style-src 'unsafe-inline'";

void respond(WebKitURISchemeRequest* request, GBytes* body, const char* mimeType, int status,
             const char* policy) {
  g_autoptr(GInputStream) stream = g_memory_input_stream_new_from_bytes(body);
  g_autoptr(WebKitURISchemeResponse) response =
      webkit_uri_scheme_response_new(stream, static_cast<gint64>(g_bytes_get_size(body)));
  webkit_uri_scheme_response_set_content_type(response, mimeType);
  webkit_uri_scheme_response_set_status(response, status, nullptr);
  SoupMessageHeaders* headers = soup_message_headers_new(SOUP_MESSAGE_HEADERS_RESPONSE);
  // The header list replaces what set_content_type gave, so it carries the type too.
  soup_message_headers_append(headers, "Content-Type", mimeType);
  soup_message_headers_append(headers, "Content-Security-Policy", policy);
  soup_message_headers_append(headers, "X-Content-Type-Options", "nosniff");
  soup_message_headers_append(headers, "Cache-Control", "no-store");
  webkit_uri_scheme_response_set_http_headers(response, headers);  // takes the headers
  webkit_uri_scheme_request_finish_with_response(request, response);
}

bool isPage(const std::string& path) {
  return path == "/" || g_str_has_suffix(path.c_str(), ".html");
}

}  // namespace

AppScheme::AppScheme(std::string webFolder)
    : webFolder_(std::move(webFolder)), root_(WebRoot::open(webFolder_)) {}

void AppScheme::registerOn(WebKitWebContext* context) {
  webkit_web_context_register_uri_scheme(context, kAppScheme, &AppScheme::serve, this, nullptr);
  // Secure and CORS-enabled, so module scripts load from it like from https.
  WebKitSecurityManager* security = webkit_web_context_get_security_manager(context);
  webkit_security_manager_register_uri_scheme_as_secure(security, kAppScheme);
  webkit_security_manager_register_uri_scheme_as_cors_enabled(security, kAppScheme);
}

void AppScheme::serve(WebKitURISchemeRequest* request, gpointer self) {
  static_cast<AppScheme*>(self)->serve(request);
}

void AppScheme::serve(WebKitURISchemeRequest* request) {
  std::string uri = webkit_uri_scheme_request_get_uri(request);
  g_autoptr(GUri) parsed = g_uri_parse(uri.c_str(), G_URI_FLAGS_ENCODED, nullptr);
  const std::string host = parsed && g_uri_get_host(parsed) ? g_uri_get_host(parsed) : "";
  const std::string path = parsed ? g_uri_get_path(parsed) : "";
  if (host != kAppHost) return fail(request, uri, "unknown address");
  if (!root_) return fail(request, webFolder_, "the page's folder is missing");

  auto resolved = root_->resolve(path);
  if (auto* refusal = std::get_if<Refusal>(&resolved)) {
    // Named as the user would write it; the error page escapes it.
    g_autofree gchar* plain = g_uri_unescape_string(path.c_str(), nullptr);
    return fail(request, webFolder_ + (plain ? plain : path.c_str()), refusal->reason);
  }
  const auto& file = std::get<ServedFile>(resolved);
  g_autoptr(GError) error = nullptr;
  gchar* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(file.path.c_str(), &contents, &length, &error))
    return fail(request, file.path, error->message);
  g_autoptr(GBytes) body = g_bytes_new_take(contents, length);
  respond(request, body, file.mimeType.c_str(), 200, kPagePolicy);
}

void AppScheme::fail(WebKitURISchemeRequest* request, const std::string& what,
                     const std::string& reason) {
  std::string path = webkit_uri_scheme_request_get_path(request)
                         ? webkit_uri_scheme_request_get_path(request)
                         : "";
  if (!isPage(path)) {
    // A missing script or image: the page sees a failed load, as from a server.
    g_autoptr(GError) error =
        g_error_new(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "%s: %s", what.c_str(), reason.c_str());
    webkit_uri_scheme_request_finish_error(request, error);
    return;
  }
  const std::string html = errorPage(what, reason);
  g_autoptr(GBytes) body = g_bytes_new(html.data(), html.size());
  respond(request, body, "text/html; charset=utf-8", 404, kErrorPolicy);
}

}  // namespace quarrytide
