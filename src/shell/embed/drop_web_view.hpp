#pragma once
// DropWebView: the page's web view, which takes drags of local files for the
// Bridge and leaves every other drag (text, web links) to WebKit.
// Main thread only, like every widget.

#include <webkit2/webkit2.h>

namespace quarrytide {
class Bridge;
}

G_BEGIN_DECLS
#define DROP_WEB_VIEW_TYPE (drop_web_view_get_type())
G_DECLARE_FINAL_TYPE(DropWebView, drop_web_view, QUARRYTIDE, DROP_WEB_VIEW, WebKitWebView)
G_END_DECLS

// The web view with the given user content manager and web context.
// `automation`: the view is to be handed to a WebDriver session.
WebKitWebView* drop_web_view_new(WebKitUserContentManager* content, WebKitWebContext* context,
                                 bool automation);

// Where dropped files go; not owned (the owner of both outlives the view's
// drops). Without a target, file drops are accepted and discarded.
void drop_web_view_set_drop_target(DropWebView* view, quarrytide::Bridge* bridge);
