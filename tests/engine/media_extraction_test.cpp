// Media extraction: the picture rule, and the flat copy of a work folder's
// pictures into the media folder.
#include "engine/media_extraction.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace keelmend {
namespace {

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(IsPictureFileTest, ExtensionAfterTheLastDotOfTheFileName) {
  const struct {
    const char* path;
    bool picture;
  } cases[] = {
      {"photo.jpg", true},        {"photo.JPG", true},          {"scan.bmp", true},
      {"Thumbnails/thumbnail.png", true}, {"anim.Gif", true},   {"chart.emf", true},
      {"photo.jpeg", true},       {"photo.JPEG", true},         {".png", true},
      {"archive.tar.png", true},  {"photo.jpeg.bak", false},    {"jpg", false},
      {"content.xml", false},     {"images.png/readme", false}, {"photo.jpe", false},
      {"photo.pngx", false},      {"photo.", false},            {"photo.tiff", false},
      {"dir.png/", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPictureFile(c.path), c.picture) << c.path;
}

class MediaExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keelmend-media-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    work_ = dir_ / "db.odb0";
    media_ = dir_ / "db.odb_MediaContent";
    fs::create_directories(work_);
    fs::create_directories(media_);
    extraction_.SetMediaFolder(media_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  void Put(const std::string& relative, const std::string& content) {
    const fs::path path = work_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
  }
  std::set<std::string> MediaFiles() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(media_)) names.insert(e.path().filename().string());
    return names;
  }
  fs::path dir_, work_, media_;
  MediaExtraction extraction_;
};

TEST_F(MediaExtractionTest, CopiesEveryPictureFlatAndNothingElse) {
  Put("Thumbnails/thumbnail.png", "thumb");
  Put("Pictures/photo.JPG", "photo");
  Put("Pictures/photo.jpeg.bak", "backup");
  Put("jpg", "no dot");
  Put("content.xml", "<office/>");
  Put("images.png/readme", "a folder named like a picture");
  Put("deep/er/still/.png", "dot only");
  EXPECT_EQ(extraction_.GetMediaFolder(), media_);
  EXPECT_TRUE(extraction_.ExtractMediaFiles(work_));
  EXPECT_EQ(MediaFiles(), (std::set<std::string>{"thumbnail.png", "photo.JPG", ".png"}));
  EXPECT_EQ(ReadText(media_ / "photo.JPG"), "photo");
  EXPECT_TRUE(fs::exists(work_ / "Pictures" / "photo.JPG")) << "the source is copied, not moved";
}

TEST_F(MediaExtractionTest, SameNamesOverwriteEachOtherAndEarlierCopies) {
  Put("a/logo.png", "from a");
  Put("b/logo.png", "from b");
  std::ofstream(media_ / "old.gif") << "earlier save";
  Put("old.gif", "this save");
  EXPECT_TRUE(extraction_.ExtractMediaFiles(work_));
  EXPECT_EQ(MediaFiles(), (std::set<std::string>{"logo.png", "old.gif"}));
  const std::string logo = ReadText(media_ / "logo.png");
  EXPECT_TRUE(logo == "from a" || logo == "from b") << logo;
  EXPECT_EQ(ReadText(media_ / "old.gif"), "this save");
}

TEST_F(MediaExtractionTest, ReportsWhetherAnythingWasCopied) {
  Put("content.xml", "<office/>");
  Put("database/script", "SET");
  EXPECT_FALSE(extraction_.ExtractMediaFiles(work_)) << "no pictures";
  EXPECT_TRUE(MediaFiles().empty());
  EXPECT_FALSE(extraction_.ExtractMediaFiles(dir_ / "no-such-folder")) << "missing source";

  Put("Pictures/a.png", "a");
  extraction_.SetMediaFolder(dir_ / "no-such-media-folder");
  EXPECT_FALSE(extraction_.ExtractMediaFiles(work_)) << "missing media folder";
  EXPECT_FALSE(fs::exists(dir_ / "no-such-media-folder"));
}

TEST_F(MediaExtractionTest, SymbolicLinksAreNotCopied) {
  const fs::path outside = dir_ / "outside";
  fs::create_directories(outside / "pics");
  std::ofstream(outside / "private.jpg") << "private";
  std::ofstream(outside / "pics" / "other.png") << "other";
  fs::create_symlink(outside / "private.jpg", work_ / "private.jpg");
  fs::create_directory_symlink(outside / "pics", work_ / "pics");
  Put("own.png", "own");
  EXPECT_TRUE(extraction_.ExtractMediaFiles(work_));
  EXPECT_EQ(MediaFiles(), std::set<std::string>{"own.png"});
}

}  // namespace
}  // namespace keelmend
