// The file list and the commands that change it: Select files, drops and
// Remove files, with the work folders that belong to the rows.
#include <QMimeData>
#include <QPushButton>
#include <QUrl>
#include <QtTest>

#include "controls/edit_prompt.h"
#include "view_fixture.h"
#include "workspace/job_log.h"
#include "workspace/path_text.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"
#include "workspace/workspace_texts.h"

using namespace keelmend;
using namespace keelmend::testing;
namespace fs = std::filesystem;

namespace {

QStringList Items(const CTrelListCtrl& list) {
  QStringList items;
  for (int row = 0; row < list.Count(); ++row) items << list.ItemText(row);
  return items;
}

void Select(CTrelListCtrl& list, std::initializer_list<int> rows) {
  for (int row : rows) list.topLevelItem(row)->setSelected(true);
}

// A listed file that the repair has handled: image, mark and work folder.
void MarkRepaired(CSalvorView& view, int row, const std::string& marker) {
  CTrelListCtrl& list = *view.FileList();
  list.ReplaceItem(row, list.ItemText(row), CTrelListCtrl::Repaired);
  list.SetItemData(row, 1);
  MakeWorkFolder(list.ItemText(row), row, marker);
}

// The window's drag-and-drop handlers, called as a drag would call them.
class DropTarget : public CSalvorView {
 public:
  using CSalvorView::dragEnterEvent;
  using CSalvorView::dropEvent;
};

bool Enabled(CSalvorView& view, int id) { return view.Control(id)->isEnabled(); }

}  // namespace

class FileListTest : public QObject {
  Q_OBJECT

 private slots:
  void isNotInListIgnoresOnlyTheCaseOfAToZ_data();
  void isNotInListIgnoresOnlyTheCaseOfAToZ();
  void selectSkipsListedNamesWithAMessage();
  void selectOfOnlyListedNamesStillEnablesRepair();
  void cancelledSelectionChangesNothing();
  void selectionAfterARepairStartsAFreshList();
  void dropFiltering_data();
  void dropFiltering();
  void dropEventListsFilesAndMovesNothing();
  void dropWithoutFilesIsRefused();
  void dropIntoIdleLeavesCommandsDisabled();
  void removeWithoutSelectionSaysSo();
  void removeClearsEachFolderAndMovesTheRestUp();
  void removeKeepsSameNamedFilesApart();
  void folderThatCannotMoveLosesTheRepairedMark();
  void removingTheLastFileReturnsToIdle();
  void removingSomeFilesAsksToSelectAPreview();
  void clickAndKeysAskForThePreview();
  void moreThanAHundredNamesAreAllListed();
  void nonAsciiNamesKeepTheirFolders();
};

void FileListTest::isNotInListIgnoresOnlyTheCaseOfAToZ_data() {
  QTest::addColumn<QString>("listed");
  QTest::addColumn<QString>("asked");
  QTest::addColumn<bool>("notInList");
  QTest::newRow("same text") << "C:\\a\\db.odb" << "C:\\a\\db.odb" << false;
  QTest::newRow("other case of A-Z") << "c:\\A\\DB.ODB" << "C:\\a\\db.odb" << false;
  QTest::newRow("other case outside A-Z") << "/d/\u00C9t\u00E9.odb" << "/d/\u00E9t\u00E9.odb" << true;
  QTest::newRow("trailing blank") << "/d/db.odb" << "/d/db.odb " << true;
  QTest::newRow("other folder") << "/d/db.odb" << "/e/db.odb" << true;
}

void FileListTest::isNotInListIgnoresOnlyTheCaseOfAToZ() {
  QFETCH(QString, listed);
  QFETCH(QString, asked);
  QFETCH(bool, notInList);
  CTrelListCtrl list;
  QVERIFY(list.IsNotInList(asked));
  list.AppendItem("/other/first.odb");
  list.AppendItem(listed);
  list.AppendItem("/other/last.odb");
  QCOMPARE(list.IsNotInList(asked), notInList);
}

void FileListTest::selectSkipsListedNamesWithAMessage() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  view.FileList()->AppendItem("c:\\A\\DB.ODB");
  query.AnswerFiles({"/x/one.odb", "C:\\a\\db.odb", "/x/two.odb"});
  query.AnswerMessage(kIdOk);
  view.SelectFiles();

  QCOMPARE(Items(*view.FileList()), (QStringList{"c:\\A\\DB.ODB", "/x/one.odb", "/x/two.odb"}));
  const auto asked = query.Asked();
  QCOMPARE(asked.size(), 2);
  QCOMPARE(asked[0].filter, texts::kOdbFilter);
  QCOMPARE(asked[1].text, QString("C:\\a\\db.odbalready exist in the list."));
  QCOMPARE(asked[1].style, kStyleNotice);
  QCOMPARE(asked[1].owner, nullptr);
  for (int row = 0; row < 3; ++row) {
    QCOMPARE(view.FileList()->ItemImage(row), int(CTrelListCtrl::Listed));
    QCOMPARE(view.FileList()->ItemData(row), 0);
  }
}

void FileListTest::selectOfOnlyListedNamesStillEnablesRepair() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  view.AddDroppedFiles({"/x/a.odb"});
  QVERIFY(!view.IsRepairEnabled());
  query.AnswerFiles({"/X/A.odb"});
  query.AnswerMessage(kIdOk);
  view.SelectFiles();
  QCOMPARE(view.FileList()->Count(), 1);
  QVERIFY(view.IsRepairEnabled());
  QVERIFY(Enabled(view, workspace_id::kRepairFiles));
  QVERIFY(Enabled(view, workspace_id::kRemoveFiles));
}

void FileListTest::cancelledSelectionChangesNothing() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  query.AnswerFiles({"/x/a.odb"});
  view.SelectFiles();
  view.State().listHoldsResults = 1;
  MarkRepaired(view, 0, "result");
  view.AppendLog(std::string("/x/a.odb  Repaired....\r\n"), kLogGreen);
  const QString log = view.LogBox()->toPlainText();

  query.AnswerFiles({});
  view.SelectFiles();
  QCOMPARE(Items(*view.FileList()), QStringList{"/x/a.odb"});
  QCOMPARE(view.FileList()->ItemData(0), 1);
  QCOMPARE(ReadFile(WorkFolderPath("/x/a.odb", 0) / "content.xml"), std::string("result"));
  QCOMPARE(view.LogBox()->toPlainText(), log);
  QVERIFY(view.ListHoldsResults());
}

void FileListTest::selectionAfterARepairStartsAFreshList() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  query.AnswerFiles({"/x/a.odb", "/x/b.odb"});
  view.SelectFiles();
  view.State().listHoldsResults = 1;
  MarkRepaired(view, 0, "a");
  view.EnableSaveGroup(true);
  view.ShowPreview(QString(), PreviewState::SelectToPreview);

  query.AnswerFiles({"/y/c.odb"});
  view.SelectFiles();
  QCOMPARE(Items(*view.FileList()), QStringList{"/y/c.odb"});
  QVERIFY(!fs::exists(GetWorkRoot()));
  QVERIFY(!view.ListHoldsResults());
  QVERIFY(view.IsSaveEnabled());  // the save group stays as it was
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::SelectToRepair);
  QCOMPARE(view.LogBox()->toPlainText(), texts::kListedLog);
}

void FileListTest::dropFiltering_data() {
  QTest::addColumn<QStringList>("dropped");
  QTest::addColumn<QStringList>("listed");
  QTest::newRow("extension in another case") << QStringList{"/d/x.ODB"} << QStringList{};
  QTest::newRow("not a database") << QStringList{"/d/readme.txt"} << QStringList{};
  QTest::newRow(".odb inside the name") << QStringList{"/d/notes.odb.txt"}
                                        << QStringList{"/d/notes.odb.txt"};
  QTest::newRow(".odb as a folder name") << QStringList{"/d/backup.odb/data.bin"}
                                         << QStringList{"/d/backup.odb/data.bin"};
  QTest::newRow("blanks around the path") << QStringList{"  /d/a.odb \t"} << QStringList{"/d/a.odb"};
  QTest::newRow("the same file twice") << QStringList{"/d/a.odb", "/d/a.odb"}
                                       << QStringList{"/d/a.odb", "/d/a.odb"};
  QTest::newRow("mixed, in drop order") << QStringList{"/d/b.odb", "/d/x.ODB", "/d/a.odb"}
                                        << QStringList{"/d/b.odb", "/d/a.odb"};
}

void FileListTest::dropFiltering() {
  QFETCH(QStringList, dropped);
  QFETCH(QStringList, listed);
  PrivateTempDir temp;
  CSalvorView view;
  view.AddDroppedFiles(dropped);
  QCOMPARE(Items(*view.FileList()), listed);
}

void FileListTest::dropEventListsFilesAndMovesNothing() {
  PrivateTempDir temp;
  DropTarget view;
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile("/d/a.odb"), QUrl::fromLocalFile("/d/b.txt"),
                QUrl("https://example.org/c.odb")});
  QDragEnterEvent enter(QPoint(50, 50), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton,
                        Qt::NoModifier);
  view.dragEnterEvent(&enter);
  QVERIFY(enter.isAccepted());
  QCOMPARE(enter.dropAction(), Qt::MoveAction);
  QDropEvent drop(QPointF(50, 50), Qt::MoveAction | Qt::CopyAction, &data, Qt::LeftButton,
                  Qt::NoModifier);
  view.dropEvent(&drop);
  QVERIFY(drop.isAccepted());
  QCOMPARE(drop.dropAction(), Qt::IgnoreAction);  // the source keeps its files
  QCOMPARE(Items(*view.FileList()), QStringList{"/d/a.odb"});
}

void FileListTest::dropWithoutFilesIsRefused() {
  PrivateTempDir temp;
  DropTarget view;
  QMimeData data;
  data.setText("/d/a.odb");
  QDropEvent drop(QPointF(50, 50), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  view.dropEvent(&drop);
  QVERIFY(!drop.isAccepted());
  QCOMPARE(view.FileList()->Count(), 0);
}

void FileListTest::dropIntoIdleLeavesCommandsDisabled() {
  PrivateTempDir temp;
  CSalvorView view;
  view.AddDroppedFiles({"/d/a.odb"});
  QVERIFY(!view.IsRepairEnabled());
  QVERIFY(!Enabled(view, workspace_id::kRepairFiles));
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::NoFiles);
  QCOMPARE(view.LogBox()->toPlainText(), texts::kIdleLog);
}

void FileListTest::removeWithoutSelectionSaysSo() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  view.AddDroppedFiles({"/d/a.odb"});
  MarkRepaired(view, 0, "a");
  query.AnswerMessage(kIdOk);
  view.RemoveFiles();
  QCOMPARE(query.Asked().size(), 1);
  QCOMPARE(query.Asked()[0].text, texts::kNothingToRemove);
  QCOMPARE(view.FileList()->Count(), 1);
  QVERIFY(fs::exists(WorkFolderPath("/d/a.odb", 0) / "content.xml"));
}

void FileListTest::removeClearsEachFolderAndMovesTheRestUp() {
  PrivateTempDir temp;
  CSalvorView view;
  CTrelListCtrl& list = *view.FileList();
  view.AddDroppedFiles({"/p/a.odb", "/p/b.odb", "/p/c.odb", "/p/d.odb", "/p/e.odb"});
  for (int row : {0, 1, 2, 3}) MarkRepaired(view, row, list.ItemText(row).toStdString());
  WriteFile(WorkFolderPath("/p/a.odb", 0) / "Pictures" / "deep" / "x.png", "picture");
  // e.odb (row 4) was not repaired: it has no work folder.

  Select(list, {0, 2});
  view.RemoveFiles();

  QCOMPARE(Items(list), (QStringList{"/p/b.odb", "/p/d.odb", "/p/e.odb"}));
  const struct {
    const char* item;
    int row;
    int mark;
  } expected[] = {{"/p/b.odb", 0, 1}, {"/p/d.odb", 1, 1}, {"/p/e.odb", 2, 0}};
  for (const auto& e : expected) {
    QCOMPARE(list.ItemData(e.row), e.mark);
    if (e.mark) QCOMPARE(ReadFile(WorkFolderPath(e.item, e.row) / "content.xml"), std::string(e.item));
  }
  // No folder is left under a name that no row has.
  std::vector<std::string> folders;
  for (const auto& entry : fs::directory_iterator(GetWorkRoot())) folders.push_back(entry.path().filename().string());
  std::sort(folders.begin(), folders.end());
  QCOMPARE(folders, (std::vector<std::string>{"b.odb0", "d.odb1"}));
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::SelectToPreview);
}

void FileListTest::removeKeepsSameNamedFilesApart() {
  // Two files of one name: after the first is removed, the second one's row
  // (and so its preview and its save) must reach its own data, not the
  // removed file's.
  PrivateTempDir temp;
  CSalvorView view;
  CTrelListCtrl& list = *view.FileList();
  view.AddDroppedFiles({"/old/db.odb", "/new/db.odb"});
  MarkRepaired(view, 0, "old data");
  MarkRepaired(view, 1, "new data");
  WritePicture(WorkFolderPath("/new/db.odb", 1) / "Thumbnails" / "thumbnail.png", Qt::green);
  Select(list, {0});
  view.RemoveFiles();

  QCOMPARE(Items(list), QStringList{"/new/db.odb"});
  QCOMPARE(ReadFile(WorkFolderPath("/new/db.odb", 0) / "content.xml"), std::string("new data"));
  QVERIFY(!fs::exists(WorkFolderPath("/new/db.odb", 1)));
  QCOMPARE(view.ShowFilePreview(0), 1);
  QVERIFY(view.PreviewPanel()->ImagePath().startsWith(
      TextFromPath(WorkFolderPath("/new/db.odb", 0))));
}

void FileListTest::folderThatCannotMoveLosesTheRepairedMark() {
  // A stray folder already holds the name the moving row needs: the row's
  // own folder cannot follow, so the item must not claim to be repaired.
  PrivateTempDir temp;
  CSalvorView view;
  CTrelListCtrl& list = *view.FileList();
  view.AddDroppedFiles({"/p/a.odb", "/p/b.odb"});
  MarkRepaired(view, 0, "a");
  MarkRepaired(view, 1, "b");
  MakeWorkFolder("/elsewhere/b.odb", 0, "stray");
  Select(list, {0});
  view.RemoveFiles();
  QCOMPARE(Items(list), QStringList{"/p/b.odb"});
  QCOMPARE(list.ItemData(0), 0);
  QCOMPARE(list.ItemImage(0), int(CTrelListCtrl::NotRepaired));
}

void FileListTest::removingTheLastFileReturnsToIdle() {
  PrivateTempDir temp;
  CSalvorView view;
  view.AddDroppedFiles({"/p/a.odb"});
  MarkRepaired(view, 0, "a");
  view.ApplyWindowState(WindowState::Repaired);
  view.SetDestination(temp.Text());
  Select(*view.FileList(), {0});
  view.RemoveFiles();

  QCOMPARE(view.FileList()->Count(), 0);
  QVERIFY(!fs::exists(GetWorkRoot()));
  QCOMPARE(view.Destination(), QString());
  QVERIFY(!view.IsSaveEnabled());
  QVERIFY(!view.IsRepairEnabled());
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::NoFiles);
  QCOMPARE(view.LogBox()->toPlainText(), texts::kIdleLog);
  QCOMPARE(view.NoticeBox()->toPlainText(), NoticeTextOf(Notice::Idle).text);
}

void FileListTest::removingSomeFilesAsksToSelectAPreview() {
  PrivateTempDir temp;
  CSalvorView view;
  view.AddDroppedFiles({"/p/a.odb", "/p/b.odb", "/p/c.odb"});
  Select(*view.FileList(), {0, 2});
  view.RemoveFiles();  // none of them has a work folder: removed all the same
  QCOMPARE(Items(*view.FileList()), QStringList{"/p/b.odb"});
  QCOMPARE(view.PreviewPanel()->State(), PreviewState::SelectToPreview);
}

void FileListTest::clickAndKeysAskForThePreview() {
  CTrelListCtrl list;
  list.resize(600, 300);
  list.show();
  for (const char* path : {"/p/a.odb", "/p/b.odb", "/p/c.odb"}) list.AppendItem(path);
  QList<int> asked;
  list.SetPreviewRequest([&asked](int row) { asked << row; });

  const QRect second = list.visualItemRect(list.topLevelItem(1));
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, second.center());
  QCOMPARE(asked, QList<int>{1});

  asked.clear();
  QTest::keyClick(&list, Qt::Key_Down);  // key down and key up: two requests
  QCOMPARE(asked, (QList<int>{2, 2}));

  asked.clear();
  QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, QPoint(10, list.viewport()->height() - 5));
  QVERIFY(asked.isEmpty());  // below the last item
}

void FileListTest::moreThanAHundredNamesAreAllListed() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  QStringList names;
  for (int i = 0; i < 150; ++i) names << QString("/many/file%1.odb").arg(i);
  query.AnswerFiles(names);
  view.SelectFiles();
  QCOMPARE(Items(*view.FileList()), names);
}

void FileListTest::nonAsciiNamesKeepTheirFolders() {
  PrivateTempDir temp;
  CSalvorView view;
  const QString name = QString::fromUtf8("/p/Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC.odb");
  view.AddDroppedFiles({"/p/a.odb", name});
  MarkRepaired(view, 0, "a");
  MarkRepaired(view, 1, "euro");
  WritePicture(WorkFolderPath(name.toStdString(), 1) / "Thumbnails" / "thumbnail.png", Qt::blue);
  Select(*view.FileList(), {0});
  view.RemoveFiles();
  QCOMPARE(ReadFile(WorkFolderPath(name.toStdString(), 0) / "content.xml"), std::string("euro"));
  QCOMPARE(view.ShowFilePreview(0), 1);
  QVERIFY(view.PreviewPanel()->ImageDecoded());
}

QTEST_MAIN(FileListTest)
#include "workspace_file_list_test.moc"
