// The files that make the tester a desktop program (app/data): the menu entry, the AppStream
// metadata and the MIME type pass the freedesktop.org validators, and they name each other,
// the binaries and the icons consistently.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "tests/ToolRun.h"

namespace {

using tool_test::ReadSource;
using tool_test::RunTool;
using tool_test::SourcePath;

constexpr const char* kId = "org.quarnel.Tester";
const std::string kDesktopFile = "app/data/org.quarnel.Tester.desktop";
const std::string kMetainfoFile = "app/data/org.quarnel.Tester.metainfo.xml";
const std::string kMimeFile = "app/data/quarnel-brush-script.xml";

// The value of "Key=" in the desktop entry.
std::string DesktopValue(const std::string& key) {
  std::smatch m;
  const std::string text = ReadSource(kDesktopFile);
  const std::regex line("(^|\\n)" + key + "=([^\\n]*)");
  return std::regex_search(text, m, line) ? m[2].str() : "";
}

// The first group of every match of pattern in an XML text.
std::vector<std::string> XmlValues(const std::string& text, const std::string& pattern) {
  std::vector<std::string> values;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it) {
    values.push_back((*it)[1]);
  }
  return values;
}

TEST(DesktopFiles, DesktopEntryValidates) {
  if (!tool_test::HaveTool("desktop-file-validate")) {
    GTEST_SKIP() << "desktop-file-validate is not installed (Debian package desktop-file-utils)";
  }
  const tool_test::TToolRun run = RunTool({"desktop-file-validate", SourcePath(kDesktopFile)});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(run.output, "") << "errors, warnings and hints alike";
}

TEST(DesktopFiles, MetainfoValidates) {
  if (!tool_test::HaveTool("appstreamcli")) {
    GTEST_SKIP() << "appstreamcli is not installed (Debian package appstream)";
  }
  const tool_test::TToolRun run =
      RunTool({"appstreamcli", "validate", "--no-net", SourcePath(kMetainfoFile)});
  EXPECT_EQ(run.status, 0) << run.output;
  // Errors, warnings and remarks; only the pedantic notes (P:) are accepted, among them the
  // capitals of the reverse-DNS id.
  EXPECT_FALSE(std::regex_search(run.output, std::regex("(^|\\n)[EWI]: "))) << run.output;
}

// The MIME package as the shared MIME database reads it (it skips what it does not
// understand, mostly in silence, so the test reads back what it made of the package): *.bs
// matched in any letter case, a brush script is also Lua source, its generic icon.
TEST(DesktopFiles, MimeTypeValidates) {
  if (!tool_test::HaveTool("update-mime-database")) {
    GTEST_SKIP() << "update-mime-database is not installed (Debian package shared-mime-info)";
  }
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("quarnel-mime-" + std::to_string(getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "packages");
  std::filesystem::copy_file(SourcePath(kMimeFile), dir / "packages/quarnel-brush-script.xml");
  const tool_test::TToolRun run = RunTool({"update-mime-database", dir.string()});
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_FALSE(std::regex_search(run.output, std::regex("fail|error|warning", std::regex::icase)))
      << run.output;
  // The lines of a file of the database that name the type.
  auto lines = [&](const char* name) {
    std::vector<std::string> found;
    std::ifstream in(dir / name);
    std::string line;
    while (std::getline(in, line)) {
      if (line.find("text/x-quarnel-brush-script") != std::string::npos) found.push_back(line);
    }
    return found;
  };
  using TLines = std::vector<std::string>;
  // weight:type:glob, where a trailing ":cs" would make the glob case-sensitive
  EXPECT_EQ(lines("globs2"), TLines{"50:text/x-quarnel-brush-script:*.bs"});
  EXPECT_EQ(lines("subclasses"), TLines{"text/x-quarnel-brush-script text/x-lua"});
  EXPECT_EQ(lines("generic-icons"), TLines{"text/x-quarnel-brush-script:text-x-script"});
  std::filesystem::remove_all(dir);
}

// Each file refers to the others by the names they are installed under.
TEST(DesktopFiles, FilesNameEachOther) {
  const std::string metainfo = ReadSource(kMetainfoFile);
  const std::vector<std::string> mimeTypes =
      XmlValues(ReadSource(kMimeFile), "<mime-type type=\"([^\"]+)\"");
  ASSERT_EQ(mimeTypes.size(), 1u);

  EXPECT_EQ(XmlValues(metainfo, "<id>([^<]+)</id>"), std::vector<std::string>{kId});
  EXPECT_EQ(XmlValues(metainfo, "<launchable type=\"desktop-id\">([^<]+)</launchable>"),
            std::vector<std::string>{std::string(kId) + ".desktop"});
  EXPECT_EQ(XmlValues(metainfo, "<mediatype>([^<]+)</mediatype>"), mimeTypes);
  EXPECT_EQ(XmlValues(metainfo, "<binary>([^<]+)</binary>"),
            (std::vector<std::string>{"quarnel-tester", "quarnel-render"}));

  EXPECT_EQ(DesktopValue("Icon"), kId);
  EXPECT_EQ(DesktopValue("MimeType"), mimeTypes[0] + ";");
  EXPECT_EQ(DesktopValue("Exec"), "quarnel-tester %F");
  // Qt names the X11 window class after the program (main.cpp sets the application name).
  EXPECT_EQ(DesktopValue("StartupWMClass"), "quarnel-tester");
}

// The icon theme's folders: the SVG and each PNG size, a PNG being as large as its folder says.
TEST(DesktopFiles, IconsHaveTheirSizes) {
  EXPECT_TRUE(std::filesystem::is_regular_file(
      SourcePath("app/data/icons/scalable/apps/" + std::string(kId) + ".svg")));
  for (int size : {48, 64, 128, 256}) {
    const std::string name = "app/data/icons/" + std::to_string(size) + "x" + std::to_string(size) +
                             "/apps/" + kId + ".png";
    SCOPED_TRACE(name);
    const std::string png = ReadSource(name);
    ASSERT_GE(png.size(), 24u);
    ASSERT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n");
    ASSERT_EQ(png.substr(12, 4), "IHDR");
    auto be32 = [&](size_t at) {
      uint32_t v = 0;
      for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<uint8_t>(png[at + i]);
      return v;
    };
    EXPECT_EQ(be32(16), static_cast<uint32_t>(size)) << "width";
    EXPECT_EQ(be32(20), static_cast<uint32_t>(size)) << "height";
  }
}

}  // namespace
