// The server's tables and rules that need no window: topics, discovery by
// version resource and by name, load error texts, window placement and the
// command line.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "server/discovery.h"
#include "server/messages.h"
#include "server/topics.h"
#include "server/window_rules.h"

namespace {

using namespace kovo::server;

TEST(ServerTopics, OneTableOfDistinctNames) {
  const auto names = topic_names();
  ASSERT_EQ(names.size(), 105u);
  EXPECT_EQ(names[0], "Kovo");
  std::set<std::string> upper;
  for (const auto name : names) {
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), 8u) << name << " must fit an 8.3 file name";
    std::string u(name);
    for (auto& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    upper.insert(u);
  }
  EXPECT_EQ(upper.size(), 105u) << "names differ without regard to case";
  EXPECT_EQ(find_topic("ledra5"), 5u);
  EXPECT_EQ(find_topic("KOVO"), 0u);
  EXPECT_FALSE(find_connector_topic("Kovo"));
  EXPECT_FALSE(find_topic("LEDRA"));
}

class NullHost : public ServiceHost {
 public:
  bool load_connector(std::size_t) override { return true; }
  bool has_interface(std::size_t) const override { return true; }
  bool has_clip_to_dde(std::size_t) const override { return false; }
  int call_connector(std::size_t, int, const char*, char*) override { return 0; }
  void show_box(std::string_view) override {}
  std::optional<std::string> pick_from_list(const std::vector<std::string>&) override { return std::nullopt; }
  void write_default_gl(std::string_view) override {}
  bool status_visible() const override { return false; }
  void repaint_status() override {}
  void post_quit_server() override {}
  void post_help() override {}
  void show_main_window() override {}
  std::string server_comments() const override { return {}; }
};

TEST(ServerDiscovery, ByVersionResourceThenByName) {
  NullHost host;
  Service service(host);
  const LibraryVersion connector{"KOVO", "Kovo for Cyma IV", "ledra5"};
  EXPECT_EQ(topic_by_version(connector), 5u);
  EXPECT_EQ(topic_by_version({"Harrow Union Inc. Ltd", "kovo x", "KESTA1"}), 9u);
  EXPECT_FALSE(topic_by_version({"Harrow Union", "Kovo", "KESTA1"})) << "the whole maker name";
  EXPECT_FALSE(topic_by_version({"Kovo", "Other", "LEDRA5"}));
  EXPECT_FALSE(topic_by_version({"Kovo", "Kovo", "Kovo"})) << "the generic topic is no connector";
  EXPECT_FALSE(topic_by_version({"Kovo", "Kovo", "WBTRV32"}));

  const std::vector<LibraryFile> files = {
      {"CYMA.DLL", connector},                                   // a connector under another name
      {"WBTRV32.DLL", LibraryVersion{"Kovo", "Kovo record manager", "WBTRV32"}},
      {"vardo2.dll", std::nullopt},                              // known by its name only
      {"LEDRA5.DLL", std::nullopt},                              // the version resource came first
      {".KESTA3.DLL", connector},
      {"NOTES.DLL", std::nullopt},
  };
  EXPECT_EQ(discover_connectors(service, "C:\\Kovo\\", files), 2u);
  EXPECT_EQ(service.entry(5).path, "C:\\Kovo\\CYMA.DLL");
  EXPECT_EQ(service.entry(5).display_name, "Kovo for Cyma IV");
  const std::size_t vardo2 = *find_topic("VARDO2");
  EXPECT_TRUE(service.entry(vardo2).installed);
  EXPECT_EQ(service.entry(vardo2).path, "C:\\Kovo\\vardo2.dll");
  EXPECT_EQ(service.entry(vardo2).display_name, "VARDO2");
  EXPECT_TRUE(service.entry(0).installed) << "the generic topic is always there";

  Service empty(host);
  EXPECT_EQ(discover_connectors(empty, "C:\\Kovo\\", {{"WBTRV32.DLL", std::nullopt}}), 0u);
}

TEST(ServerDiscovery, LoadFailureTexts) {
  EXPECT_EQ(load_failure_text("C:\\K\\A.DLL", 126, "The specified module could not be found."),
            "The GL DLL file was not found or failed to load - \r\nDLL file: C:\\K\\A.DLL\r\n"
            "Library load error code: 126\nThe specified module could not be found.");
  EXPECT_EQ(load_failure_text("A.DLL", 31, "ignored"),
            "The GL DLL file was not found or failed to load - \r\nDLL file: A.DLL\r\nLibrary load error code: 31"
            "\r\nThe DLL you attempted to load may be a 16 bit version.\r\nInstall the 16 bit Kovo server.");
  EXPECT_EQ(init_failure_text("C:\\K\\A.DLL"), "The GL DLL file did not initialize - \r\nDLL file: C:\\K\\A.DLL\r\n");
  EXPECT_EQ(server_message(kMsgCaption), "Kovo Server");
  EXPECT_EQ(server_message(kMsgNoDefaultTopic, "x"),
            "A default GL Topic was not selected.\nUse explicit topic parameters. - x");
}

TEST(ServerPlacement, CoordinatesReadAndWritten) {
  EXPECT_EQ(parse_coords("0100042501000242"), (Rect{100, 100, 425, 242}));
  EXPECT_EQ(parse_coords("12340100042501000242"), (Rect{12340100, 100, 425, 242})) << "the front is the left edge";
  EXPECT_FALSE(parse_coords("010004250100024"));
  EXPECT_FALSE(parse_coords(""));
  EXPECT_EQ(parse_coords("abcdefghijklmnop"), (Rect{0, 0, 0, 0}));
  EXPECT_EQ(format_coords({40, 30, 465, 172}), "0040046500300172");
  EXPECT_EQ(format_coords({5, 0, 9, 7}), "0005000900000007");
}

TEST(ServerPlacement, UnusableRectanglesAreReplaced) {
  const Rect desktop{0, 0, 1024, 768};
  EXPECT_EQ(default_rect(desktop), (Rect{299, 313, 724, 455}));
  const Rect inside{10, 10, 435, 152};
  EXPECT_EQ(validated(inside, desktop), inside);
  EXPECT_EQ(validated({100, 100, 9000, 300}, desktop), default_rect(desktop)) << "partly outside";
  EXPECT_EQ(validated({-5, 10, 300, 200}, desktop), default_rect(desktop));
  EXPECT_EQ(validated({0, 0, 0, 0}, desktop), default_rect(desktop));
  EXPECT_EQ(validated({0, 0, 0, 0}, Rect{0, 0, 300, 100}), (Rect{100, 100, 425, 142})) << "desktop too small";
}

TEST(ServerCommandLine, ShowModesAndTheAddin) {
  EXPECT_EQ(parse_command_line("").show, ShowMode::kMinimisedNoActivate);
  EXPECT_EQ(parse_command_line("min").show, ShowMode::kMinimisedNoActivate);
  EXPECT_EQ(parse_command_line("MAX").show, ShowMode::kNormal);
  EXPECT_EQ(parse_command_line("other").show, ShowMode::kMinimisedNoActivate);
  for (const char* hide : {"HIDE", "hidden", "  Hide"}) {
    const auto options = parse_command_line(hide);
    EXPECT_EQ(options.show, ShowMode::kHidden) << hide;
    EXPECT_TRUE(options.hidden);
    EXPECT_FALSE(options.open_addin);
  }
  const auto with_addin = parse_command_line("/s");
  EXPECT_TRUE(with_addin.open_addin);
  EXPECT_EQ(with_addin.show, ShowMode::kMinimised);
  EXPECT_EQ(parse_command_line("HIDE /S").show, ShowMode::kMinimised) << "the letter s wins";
  EXPECT_EQ(addin_path("C:\\Program Files\\Kovo\\Kovo.exe"), "C:\\Program Files\\Kovo\\Kovo.XLL");
  EXPECT_EQ(addin_path("Kovo.exe"), "Kovo.XLL");
  EXPECT_EQ(start_directory("C:\\Kovo\\Kovo.exe"), "C:\\Kovo\\");
  EXPECT_EQ(start_directory("Kovo.exe"), "");
}

}  // namespace
