// The database descriptor template.
#include "engine/descriptor_template.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/zip_fixture.h"

namespace keelmend {
namespace {

TEST(DescriptorTemplate, IsExactly999BytesOfTheDescribedText) {
  const std::string_view t = DescriptorTemplateText();
  EXPECT_EQ(t.size(), 999u);
  EXPECT_EQ(t.size(), kDescriptorTemplateSize);
  EXPECT_NE(t.substr(0, 3), "\xEF\xBB\xBF");  // no byte-order mark
  EXPECT_EQ(t.find('\r'), std::string_view::npos);
  EXPECT_NE(t.back(), '\n');
  EXPECT_EQ(std::count(t.begin(), t.end(), '\n'), 15);  // 16 lines
  EXPECT_EQ(t.substr(0, 39), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
  EXPECT_NE(t.find("\n\n<office:document-content xmlns:office=\"http://openoffice.org/2004/office\" "
                   "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""),
            std::string_view::npos);
  EXPECT_NE(t.find("xmlns:xlink=\"http://www.w3.org/1999/xlink\""), std::string_view::npos);
  EXPECT_NE(t.find("xmlns:svg=\"http://www.w3.org/2000/svg\""), std::string_view::npos);
  EXPECT_NE(t.find("xmlns:ooo=\"http://openoffice.org/2004/office\""), std::string_view::npos);
  EXPECT_NE(t.find("xmlns:db=\"http://openoffice.org/2004/database\" office:version=\"1.1\">\n"),
            std::string_view::npos);
  EXPECT_NE(t.find("\n   <db:data-source db:connection-resource=\"sdbc:embedded:hsqldb\" "
                   "db:suppress-version-columns=\"true\">\n"),
            std::string_view::npos);
  EXPECT_NE(t.find("\n    <db:login db:is-password-required=\"false\"/>\n"), std::string_view::npos);
  EXPECT_NE(t.find("\n     <db:table-filter-pattern>%</db:table-filter-pattern>\n"),
            std::string_view::npos);
  EXPECT_EQ(t.substr(t.size() - 43), "\n </office:body>\n</office:document-content>");
}

TEST(DescriptorTemplate, MatchesTheDescriptionsLineTable) {
  // Built here from the template's table of lines: line, indent (one blank a level), content.
  const std::vector<std::pair<int, std::string>> lines = {
      {0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"},
      {0, ""},
      {0, "<office:document-content"
          " xmlns:office=\"http://openoffice.org/2004/office\""
          " xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\""
          " xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\""
          " xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\""
          " xmlns:xlink=\"http://www.w3.org/1999/xlink\""
          " xmlns:number=\"urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0\""
          " xmlns:svg=\"http://www.w3.org/2000/svg\""
          " xmlns:ooo=\"http://openoffice.org/2004/office\""
          " xmlns:db=\"http://openoffice.org/2004/database\""
          " office:version=\"1.1\">"},
      {1, "<office:font-face-decls/>"},
      {1, "<office:automatic-styles/>"},
      {1, "<office:body>"},
      {2, "<office:database>"},
      {3, "<db:data-source db:connection-resource=\"sdbc:embedded:hsqldb\" db:suppress-version-columns=\"true\">"},
      {4, "<db:login db:is-password-required=\"false\"/>"},
      {4, "<db:table-filter>"},
      {5, "<db:table-filter-pattern>%</db:table-filter-pattern>"},
      {4, "</db:table-filter>"},
      {3, "</db:data-source>"},
      {2, "</office:database>"},
      {1, "</office:body>"},
      {0, "</office:document-content>"},
  };
  std::string expected;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) expected += '\n';
    expected += std::string(static_cast<std::size_t>(lines[i].first), ' ') + lines[i].second;
  }
  EXPECT_EQ(expected.size(), 999u);
  EXPECT_EQ(DescriptorTemplateText(), expected);
}

TEST(DescriptorTemplate, FirebirdVariantDiffersOnlyInTheConnection) {
  const std::string_view h = DescriptorTemplateText(DatabaseEngine::kHsqldb);
  const std::string_view f = DescriptorTemplateText(DatabaseEngine::kFirebird);
  EXPECT_EQ(f.size(), 1001u);
  std::string expected(h);
  expected.replace(expected.find("hsqldb"), 6, "firebird");
  EXPECT_EQ(f, expected);
}

TEST(WriteDescriptorTemplate, MissingContentGetsTheTemplate) {
  test::TempDir dir;
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path()));
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml"), DescriptorTemplateText());
  EXPECT_EQ(test::ListFiles(dir.path()), std::vector<std::string>{"content.xml"});
}

TEST(WriteDescriptorTemplate, ShortContentReplacedLongerKept) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "content.xml", std::string(998, 'x'));
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path()));
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml"), DescriptorTemplateText());

  test::WriteFileBytes(dir / "content.xml", std::string(999, 'y'));
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path()));
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml"), std::string(999, 'y'));

  test::WriteFileBytes(dir / "content.xml", std::string(5000, 'z'));
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path()));
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml"), std::string(5000, 'z'));

  test::WriteFileBytes(dir / "content.xml", "");
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path()));
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml"), DescriptorTemplateText());
}

TEST(WriteDescriptorTemplate, TwiceLeavesTheFirstTemplate) {
  test::TempDir dir;
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path()));
  const auto before = std::filesystem::last_write_time(dir / "content.xml");
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path()));
  EXPECT_EQ(std::filesystem::last_write_time(dir / "content.xml"), before);
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml"), DescriptorTemplateText());
}

TEST(WriteDescriptorTemplate, TrailingSeparatorGivesTheSameResult) {
  test::TempDir dir;
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path().string() + "/"));
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml"), DescriptorTemplateText());
  EXPECT_EQ(test::ListFiles(dir.path()), std::vector<std::string>{"content.xml"});
}

TEST(WriteDescriptorTemplate, FirebirdFolderGetsFirebirdTemplate) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "database");
  test::WriteFileBytes(dir / "database" / "firebird.fbk", "fbk");
  EXPECT_EQ(DetectDatabaseEngine(dir.path()), DatabaseEngine::kFirebird);
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path()));
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml"),
            DescriptorTemplateText(DatabaseEngine::kFirebird));
  // The 1001-byte Firebird template is kept by a second call (>= 999).
  EXPECT_TRUE(WriteDescriptorTemplate(dir.path(), DatabaseEngine::kHsqldb));
  EXPECT_EQ(test::ReadFileBytes(dir / "content.xml").size(), 1001u);
}

TEST(WriteDescriptorTemplate, HsqldbFolderDetected) {
  test::TempDir dir;
  std::filesystem::create_directories(dir / "database");
  test::WriteFileBytes(dir / "database" / "script", "CREATE");
  EXPECT_EQ(DetectDatabaseEngine(dir.path()), DatabaseEngine::kHsqldb);
}

TEST(WriteDescriptorTemplate, FailuresReturnFalse) {
  test::TempDir dir;
  EXPECT_FALSE(WriteDescriptorTemplate(std::filesystem::path()));
  EXPECT_FALSE(WriteDescriptorTemplate(dir / "missing-folder"));
  std::filesystem::create_directories(dir / "odd" / "content.xml");
  EXPECT_FALSE(WriteDescriptorTemplate(dir / "odd"));
}

TEST(WriteDescriptorTemplate, SymlinkNamedContentIsReplacedNotFollowed) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "outside.txt", "keep me");
  std::filesystem::create_directories(dir / "work");
  std::filesystem::create_symlink(dir / "outside.txt", dir / "work" / "content.xml");
  EXPECT_TRUE(WriteDescriptorTemplate(dir / "work"));
  EXPECT_EQ(test::ReadFileBytes(dir / "outside.txt"), "keep me");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "work" / "content.xml"));
  EXPECT_EQ(test::ReadFileBytes(dir / "work" / "content.xml"), DescriptorTemplateText());
}

}  // namespace
}  // namespace keelmend
