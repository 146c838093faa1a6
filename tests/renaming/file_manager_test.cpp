// Reveal through a file manager on a private session bus.
#include "file_manager.hpp"

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>

namespace quarrytide::testing {
namespace {

using Answers = std::vector<std::optional<std::string>>;
using Calls = std::vector<std::vector<std::string>>;

// Runs the default main context until `done` holds or `seconds` pass.
bool spinUntil(const std::function<bool()>& done, double seconds = 10) {
  gint64 deadline = g_get_monotonic_time() + gint64(seconds * G_USEC_PER_SEC);
  while (!done() && g_get_monotonic_time() < deadline)
    if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
  return done();
}

const char* kInterface = R"(<node><interface name="org.freedesktop.FileManager1">
  <method name="ShowItems"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
</interface></node>)";

TEST(FileManagerBrowser, ShowsItemsOnTheBusOrElseOpensTheFirstItemsFolder) {
  std::vector<std::string> opened;
  std::optional<std::string> openFails;  // what the default handler says, when it fails
  FileManagerBrowser browser([&](const std::string& uri, FileManagerBrowser::Done done) {
    opened.push_back(uri);
    done(openFails);
  });
  // Every reveal is answered once: shown, or the reason nothing showed it.
  Answers answers;
  auto answer = [&](std::optional<std::string> why) { answers.push_back(std::move(why)); };

  browser.reveal({}, answer);
  EXPECT_EQ(answers, Answers{std::nullopt});
  g_setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quarrytide-bus", TRUE);
  browser.reveal({"/tmp/some folder/a.txt", "/tmp/b"}, answer);
  ASSERT_TRUE(spinUntil([&] { return answers.size() == 2; }));
  openFails = "No application is registered as handling this file";
  browser.reveal({"/tmp/c"}, answer);
  ASSERT_TRUE(spinUntil([&] { return answers.size() == 3; }));
  EXPECT_EQ(opened, (std::vector<std::string>{"file:///tmp/some%20folder", "file:///tmp"}));
  EXPECT_EQ(answers, (Answers{std::nullopt, std::nullopt, openFails}));
  openFails.reset();
  opened.clear();
  answers.clear();

  GTestDBus* dbus = g_test_dbus_new(G_TEST_DBUS_NONE);
  g_test_dbus_up(dbus);
  // A bus on which no file manager runs.
  browser.reveal({"relative.txt"}, answer);
  ASSERT_TRUE(spinUntil([&] { return opened.size() == 1; }));
  EXPECT_EQ(opened[0], "file://" + std::filesystem::current_path().string());

  // One that answers ShowItems and records its arguments, the startup id last.
  Calls calls;
  bool owned = false;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_NE(bus, nullptr);
  GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kInterface, nullptr);
  GDBusInterfaceVTable vtable = {
      [](GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* params,
         GDBusMethodInvocation* invocation, gpointer calls) {
        g_autofree gchar** uris = nullptr;
        const char* startupId = nullptr;
        g_variant_get(params, "(^a&s&s)", &uris, &startupId);
        std::vector<std::string> call(uris, uris + g_strv_length(uris));
        call.emplace_back(std::string("startup:") + startupId);
        static_cast<Calls*>(calls)->push_back(call);
        g_dbus_method_invocation_return_value(invocation, nullptr);
      },
      nullptr,
      nullptr,
      {}};
  guint object = g_dbus_connection_register_object(
      bus, "/org/freedesktop/FileManager1", info->interfaces[0], &vtable, &calls, nullptr, nullptr);
  guint name = g_bus_own_name_on_connection(
      bus, "org.freedesktop.FileManager1", G_BUS_NAME_OWNER_FLAGS_NONE,
      [](GDBusConnection*, const char*, gpointer owned) { *static_cast<bool*>(owned) = true; },
      nullptr, &owned, nullptr);
  ASSERT_TRUE(spinUntil([&] { return owned; }));

  browser.reveal({"/srv/caf\u00e9/x y.jpg", "/srv/\xff"}, answer);
  ASSERT_TRUE(spinUntil([&] { return answers.size() == 2; }));
  spinUntil([] { return false; }, 0.3);  // no fallback follows a shown item
  EXPECT_EQ(answers, (Answers{std::nullopt, std::nullopt}));
  EXPECT_EQ(opened.size(), 1u);
  EXPECT_EQ(calls, (Calls{{"file:///srv/caf%C3%A9/x%20y.jpg", "file:///srv/%FF", "startup:"}}));

  g_bus_unown_name(name);
  g_dbus_connection_unregister_object(bus, object);
  g_dbus_node_info_unref(info);
  g_object_unref(bus);
  g_test_dbus_down(dbus);
  g_object_unref(dbus);
}

}  // namespace
}  // namespace quarrytide::testing
