// The preview of a listed file: which picture the lookup finds in its work
// folder, the panel's messages, and how the panel draws and holds pictures.
#include <thread>

#include <QDir>
#include <QtTest>

#include "view_fixture.h"
#include "workspace/path_text.h"
#include "workspace/picture_box.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"

using namespace keelmend;
using namespace keelmend::testing;
namespace fs = std::filesystem;

namespace {

const QString kItem = QStringLiteral("/data/sales.odb");

enum Setup {
  kThumbnailAndPicture,
  kPictureOnly,
  kPictureThreeLevelsDown,
  kNoPicture,
  kNoWorkRoot,
  kOtherFileRepairedOnly,
};

// Prepares the work folder of row 0 and returns the file the preview must
// show (empty for none).
fs::path Prepare(Setup setup) {
  const fs::path folder = WorkFolderPath(kItem.toStdString(), 0);
  switch (setup) {
    case kThumbnailAndPicture:
      WritePicture(folder / "Pictures" / "a.png", Qt::red);
      WritePicture(folder / "Thumbnails" / "thumbnail.png", Qt::green);
      return folder / "Thumbnails" / "thumbnail.png";
    case kPictureOnly:
      WriteFile(folder / "content.xml", "<x/>");
      WritePicture(folder / "Pictures" / "b.GIF", Qt::blue, "PNG");
      return folder / "Pictures" / "b.GIF";
    case kPictureThreeLevelsDown:
      WriteFile(folder / "content.xml", "<x/>");
      WritePicture(folder / "one" / "two" / "three" / "deep.jpeg", Qt::blue, "JPEG");
      return folder / "one" / "two" / "three" / "deep.jpeg";
    case kNoPicture:
      WriteFile(folder / "content.xml", "<x/>");
      WriteFile(folder / "Pictures" / "notes.txt", "not a picture");
      return {};
    case kNoWorkRoot: return {};
    case kOtherFileRepairedOnly:
      MakeWorkFolder("/data/other.odb", 1, "other");
      return {};
  }
  return {};
}

QColor Centre(const QImage& image) { return image.pixelColor(image.width() / 2, image.height() / 2); }

bool AllOneColour(const QImage& image, const QColor& colour) {
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixelColor(x, y) != colour) return false;
  return true;
}

// Whether this process holds a descriptor open on `path` (Linux only).
bool HoldsOpen(const fs::path& path) {
  std::error_code error;
  const fs::path wanted = fs::canonical(path, error);
  for (const auto& fd : fs::directory_iterator("/proc/self/fd", error)) {
    std::error_code linkError;
    if (fs::read_symlink(fd.path(), linkError) == wanted) return true;
  }
  return false;
}

}  // namespace

class PreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void lookupOrder_data();
  void lookupOrder();
  void negativePositionChangesNothing();
  void messagesOfTheStates_data();
  void messagesOfTheStates();
  void pictureIsStretchedOverThePanel();
  void messageShowsOnlyWithoutPicture();
  void undecodableFileShowsBackgroundOnly();
  void pictureFileIsNotHeldOpen();
  void showPreviewFromAJobThread();
};

void PreviewTest::lookupOrder_data() {
  QTest::addColumn<int>("setup");
  QTest::addColumn<int>("result");
  QTest::addColumn<int>("state");
  const int noText = int(PreviewState::NoText);
  QTest::newRow("thumbnail wins over a picture") << int(kThumbnailAndPicture) << 1 << noText;
  QTest::newRow("first picture without thumbnail") << int(kPictureOnly) << 1 << noText;
  QTest::newRow("picture three levels down") << int(kPictureThreeLevelsDown) << 1 << noText;
  QTest::newRow("no picture") << int(kNoPicture) << 0 << int(PreviewState::NoImage);
  QTest::newRow("nothing repaired yet") << int(kNoWorkRoot) << 0 << int(PreviewState::NotRepaired);
  QTest::newRow("listed but not repaired") << int(kOtherFileRepairedOnly) << 0
                                           << int(PreviewState::NoImage);
}

void PreviewTest::lookupOrder() {
  QFETCH(int, setup);
  QFETCH(int, result);
  QFETCH(int, state);
  PrivateTempDir temp;
  CSalvorView view;
  view.FileList()->AppendItem(kItem);
  view.FileList()->AppendItem("/data/other.odb");
  const fs::path expected = Prepare(static_cast<Setup>(setup));

  QCOMPARE(view.ShowFilePreview(0), result);
  CPictureBox& panel = *view.PreviewPanel();
  QCOMPARE(static_cast<int>(panel.State()), state);
  QCOMPARE(panel.HasImage(), !expected.empty());
  if (!expected.empty()) {
    QCOMPARE(panel.ImagePath(), TextFromPath(expected));
    QVERIFY(panel.ImageDecoded());
    QCOMPARE(panel.Mode(), CPictureBox::Stretched);
  }
}

void PreviewTest::negativePositionChangesNothing() {
  PrivateTempDir temp;
  CSalvorView view;
  view.FileList()->AppendItem(kItem);
  view.ShowPreview(QString(), PreviewState::SelectToPreview);
  QCOMPARE(view.ShowFilePreview(-1), 1);
  QCOMPARE(view.ShowFilePreview(5), 1);  // no such row either
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::SelectToPreview);
}

void PreviewTest::messagesOfTheStates_data() {
  QTest::addColumn<int>("state");
  QTest::addColumn<QString>("message");
  QTest::newRow("0") << 0 << "No .odb file(s) is available\n in the list";
  QTest::newRow("1") << 1 << "Select .odb file(s)\n to repair";
  QTest::newRow("2") << 2 << "Please wait while .odb file(s)\n are repairing....";
  QTest::newRow("3") << 3 << "Select .odb file(s)\n to see preview";
  QTest::newRow("4") << 4 << "No image is present \n in the selected .odb file(s)";
  QTest::newRow("5") << 5 << "Selected .odb file(s)\n is not repaired....";
  QTest::newRow("6") << 6 << QString();
  QTest::newRow("out of range") << 9 << QString();
}

void PreviewTest::messagesOfTheStates() {
  QFETCH(int, state);
  QFETCH(QString, message);
  QCOMPARE(PreviewMessage(static_cast<PreviewState>(state)), message);
}

void PreviewTest::pictureIsStretchedOverThePanel() {
  QTemporaryDir dir;
  const QString path = dir.filePath("two.png");
  QImage picture(4, 2, QImage::Format_RGB32);  // left half red, right half blue
  picture.fill(Qt::red);
  for (int y = 0; y < 2; ++y)
    for (int x = 2; x < 4; ++x) picture.setPixelColor(x, y, Qt::blue);
  picture.save(path);

  CPictureBox panel;
  panel.resize(200, 300);
  panel.ShowPreview(path, PreviewState::NoText);
  QImage shot = panel.grab().toImage();
  QCOMPARE(shot.pixelColor(10, 10), QColor(Qt::red));
  QCOMPARE(shot.pixelColor(10, 290), QColor(Qt::red));
  QCOMPARE(shot.pixelColor(190, 150), QColor(Qt::blue));
  panel.resize(100, 40);  // a new size re-stretches the picture
  shot = panel.grab().toImage();
  QCOMPARE(shot.size(), QSize(100, 40));
  QCOMPARE(shot.pixelColor(5, 35), QColor(Qt::red));
  QCOMPARE(shot.pixelColor(95, 35), QColor(Qt::blue));
}

void PreviewTest::messageShowsOnlyWithoutPicture() {
  CPictureBox panel;
  panel.resize(200, 100);
  const QColor face = panel.palette().color(QPalette::Button);
  panel.ShowPreview(QString(), PreviewState::NoFiles);
  QVERIFY(!AllOneColour(panel.grab().toImage(), face));  // the message is drawn
  panel.ShowPreview(QString(), PreviewState::NoText);
  QVERIFY(AllOneColour(panel.grab().toImage(), face));   // state 6: an empty box
  panel.ShowPreview("/no/such/picture.png", PreviewState::NoImage);
  QVERIFY(!panel.HasImage());  // a missing file: the state's message
  QVERIFY(!AllOneColour(panel.grab().toImage(), face));
}

void PreviewTest::undecodableFileShowsBackgroundOnly() {
  QTemporaryDir dir;
  const QString path = dir.filePath("broken.png");
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write("\x89PNG but not really");
  file.close();
  CPictureBox panel;
  panel.resize(120, 80);
  panel.ShowPreview(path, PreviewState::NoImage);
  QVERIFY(panel.HasImage());
  QVERIFY(!panel.ImageDecoded());
  QVERIFY(AllOneColour(panel.grab().toImage(), panel.palette().color(QPalette::Button)));
}

void PreviewTest::pictureFileIsNotHeldOpen() {
  PrivateTempDir temp;
  CSalvorView view;
  view.show();
  view.resize(1024, 700);
  view.FileList()->AppendItem(kItem);
  const fs::path thumbnail = Prepare(kThumbnailAndPicture);
  QCOMPARE(view.ShowFilePreview(0), 1);
  QCOMPARE(Centre(view.PreviewPanel()->grab().toImage()), QColor(Qt::green));
#ifdef __linux__
  QVERIFY(!HoldsOpen(thumbnail));
#endif
  // The folder can be cleared while the picture is on screen, and an empty
  // path lets go of the picture.
  ClearWorkRoot();
  QVERIFY(!fs::exists(GetWorkRoot()));
  view.ShowPreview(QString(), PreviewState::NoText);
  QVERIFY(!view.PreviewPanel()->HasImage());
}

void PreviewTest::showPreviewFromAJobThread() {
  CPictureBox panel;
  std::thread job([&panel] { panel.ShowPreview(QString(), PreviewState::SelectToPreview); });
  // The job waits until the window thread has carried the call out.
  QTRY_COMPARE(panel.State(), PreviewState::SelectToPreview);
  job.join();
  QCOMPARE(panel.Mode(), CPictureBox::Stretched);
}

QTEST_MAIN(PreviewTest)
#include "workspace_preview_test.moc"
