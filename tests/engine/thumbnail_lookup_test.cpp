// The picture search behind the preview: the package's thumbnail first, then
// the first picture of a depth-first walk, else nothing.
#include "engine/thumbnail_lookup.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace keelmend {
namespace {

class ThumbnailLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keelmend-thumb-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    work_ = dir_ / "db.odb0";
    fs::create_directories(work_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path Put(const std::string& relative) {
    const fs::path path = work_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << "x";
    return path;
  }
  fs::path dir_, work_;
};

TEST_F(ThumbnailLookupTest, ThePackagesThumbnailWinsOverOtherPictures) {
  Put("Pictures/a.png");
  Put("a.png");
  const fs::path thumbnail = Put("Thumbnails/thumbnail.png");
  EXPECT_EQ(ThumbnailPath(work_), thumbnail);
  EXPECT_EQ(FindPreviewPicture(work_), thumbnail);
}

TEST_F(ThumbnailLookupTest, WithoutThumbnailTheFirstPictureOfTheWalk) {
  const struct {
    const char* what;
    const char* picture;
  } cases[] = {
      {"a picture in a sub-folder", "Pictures/b.GIF"},
      {"a picture three levels deep", "one/two/three/deep.jpeg"},
      {"another file in the Thumbnails folder", "Thumbnails/other.png"},
  };
  for (const auto& c : cases) {
    fs::remove_all(work_);
    Put("content.xml");
    Put("database/script");
    const fs::path picture = Put(c.picture);
    EXPECT_EQ(FindPreviewPicture(work_), picture) << c.what;
  }
}

TEST_F(ThumbnailLookupTest, WalkEntersASubFolderWhereTheEnumerationMeetsIt) {
  // A picture deep in folder A and one beside A: depth first in enumeration
  // order, A's picture wins exactly when the enumeration lists A first.
  const fs::path deep = Put("A/inner/a.png");
  const fs::path beside = Put("b.png");
  const bool folderFirst = fs::directory_iterator(work_)->path().filename() == "A";
  EXPECT_EQ(FindFirstImage(work_), folderFirst ? deep : beside);
}

TEST_F(ThumbnailLookupTest, NothingWhenThereIsNoPicture) {
  Put("content.xml");
  Put("images.png/readme");
  Put("photo.jpeg.bak");
  fs::create_directories(work_ / "Thumbnails" / "thumbnail.png");  // a folder, not a picture
  EXPECT_EQ(FindPreviewPicture(work_), std::nullopt);
  EXPECT_EQ(FindPreviewPicture(dir_ / "db.odb1"), std::nullopt) << "a file that was not repaired";
}

TEST_F(ThumbnailLookupTest, LinkedPicturesOutsideTheFolderAreNotShown) {
  const fs::path outside = dir_ / "outside";
  fs::create_directories(outside);
  std::ofstream(outside / "private.png") << "p";
  fs::create_directory_symlink(outside, work_ / "linked");
  EXPECT_EQ(FindFirstImage(work_), std::nullopt);
}

}  // namespace
}  // namespace keelmend
