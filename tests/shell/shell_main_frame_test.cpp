// The main frame: menus and their enabled states, accelerators, looks kept
// across runs, status bar and logo, help, and the guarded exit.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <fstream>

#include "controls/app_message_box.h"
#include "controls/splash_screen.h"
#include "engine/work_folder.h"
#include "shell/app_looks.h"
#include "shell/app_settings.h"
#include "shell/help_locator.h"
#include "shell/main_frame.h"
#include "shell_test_support.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"

using namespace keelmend;
namespace fs = std::filesystem;

namespace {

constexpr FrameOptions kNoSplash{false, true};

void SetFlags(CSalvorView& view, int select, int repair, int save) {
  view.State().selectEnabled = select;
  view.State().repairEnabled = repair;
  view.State().saveEnabled = save;
}

void StoreLook(const QVariant& value) {
  QSettings settings = OpenAppSettings();
  settings.beginGroup(kWorkspaceGroup);
  if (value.isValid()) {
    settings.setValue("ApplicationLook", value);
  } else {
    settings.remove("ApplicationLook");
  }
  settings.endGroup();
  settings.sync();
}

QVariant StoredLook() {
  QSettings settings = OpenAppSettings();
  return settings.value("Workspace/ApplicationLook");
}

int CheckedLook(const CMainFrame& frame) {
  int checked = 0;
  for (const AppLook& look : AllLooks()) {
    if (frame.Command(look.id)->isChecked()) checked = checked == 0 ? look.id : -1;
  }
  return checked;
}

// A work root holding one work folder with one file, as a repair leaves it.
fs::path MakeWorkRoot() {
  const fs::path folder = GetWorkRoot() / "sales.odb0";
  fs::create_directories(folder);
  std::ofstream(folder / "content.xml") << "<x/>";
  return GetWorkRoot();
}

}  // namespace

class MainFrameTest : public QObject {
  Q_OBJECT

 private:
  test::IsolatedUserFiles files_;

 private slots:
  void captionSizeAndStatusPanes() {
    CMainFrame frame(kNoSplash);
    QCOMPARE(frame.windowTitle(), QStringLiteral("VantrelWorks Keelmend - Version 1.0"));
    QCOMPARE(frame.minimumSize(), QSize(650, 450));
    frame.show();
    frame.resize(300, 200);
    QVERIFY(frame.width() >= 650);
    QVERIFY(frame.height() >= 450);
    QCOMPARE(frame.StatusPane(0)->text(), QStringLiteral("VantrelWorks Keelmend"));
    QVERIFY(frame.StatusPane(0)->minimumWidth() >= 500);
    QCOMPARE(frame.StatusPane(1)->text(), QStringLiteral("CAP"));
    QCOMPARE(frame.StatusPane(2)->text(), QStringLiteral("NUM"));
    QCOMPARE(frame.StatusPane(3)->text(), QStringLiteral("SCRL"));
    QVERIFY(frame.StatusPane(4) == nullptr);
  }

  void splashAtCreation_data() {
    QTest::addColumn<bool>("splash");
    QTest::newRow("with splash") << true;
    QTest::newRow("without") << false;
  }
  void splashAtCreation() {
    QFETCH(bool, splash);
    auto splashes = [] {
      int count = 0;
      for (QWidget* widget : QApplication::allWidgets())
        count += qobject_cast<CSplashScreenEx*>(widget) != nullptr ? 1 : 0;
      return count;
    };
    const int before = splashes();
    CMainFrame frame(FrameOptions{splash, true});
    QCOMPARE(splashes() - before, splash ? 1 : 0);
    for (QWidget* widget : QApplication::allWidgets()) {
      if (auto* shown = qobject_cast<CSplashScreenEx*>(widget)) {
        QVERIFY(!shown->Picture().isNull());
        QCOMPARE(shown->Style(), CSplashScreenEx::kProgramStyle);
        QCOMPARE(shown->TimeoutMs(), 2000);
        shown->HideSplash();
      }
    }
  }

  void menuLabels_data() {
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tip");
    QTest::newRow("select") << 32773 << "&Select File(s)\tCtrl+N" << "Select file(s)";
    QTest::newRow("remove") << 32774 << "&Remove File(s)\tCtrl+O" << "Remove file(s)";
    QTest::newRow("repair") << 32775 << "&Repair File(s)\tCtrl+S" << "Repair file(s)";
    QTest::newRow("browse") << 32802 << "Browse folder" << "Browse Folder";
    QTest::newRow("save") << 32804 << "Save file(s)" << "Save file(s)";
    QTest::newRow("exit") << 57665 << "E&xit" << "Exit";
    QTest::newRow("about") << 32785 << "&About VantrelWorks Keelmend" << "About";
    QTest::newRow("help") << 32788 << "Software Help" << "Help";
    QTest::newRow("web page") << 32805 << "Visit Software WebPage" << "Visit Software Page";
  }
  void menuLabels() {
    QFETCH(int, id);
    QFETCH(QString, text);
    QFETCH(QString, tip);
    CMainFrame frame(kNoSplash);
    QAction* action = frame.Command(id);
    QVERIFY(action != nullptr);
    QCOMPARE(action->text(), text);
    QCOMPARE(action->toolTip(), tip);
    // The keys are the accelerators' business, not the menu items'.
    QVERIFY(action->shortcut().isEmpty());
  }

  void menuOrderAndToolbar() {
    CMainFrame frame(kNoSplash);
    QStringList menus;
    for (QAction* menu : frame.menuBar()->actions()) menus << menu->text();
    QCOMPARE(menus, (QStringList{"&File", "&View", "&Help"}));
    QList<int> file;
    for (QAction* item : frame.menuBar()->actions().first()->menu()->actions())
      file << (item->isSeparator() ? 0 : item->data().toInt());
    QCOMPARE(file, (QList<int>{32773, 0, 32774, 32775, 0, 32802, 32804, 0, 57665}));
    QList<int> buttons;
    for (QAction* button : frame.StandardToolBar()->actions()) buttons << button->data().toInt();
    QCOMPARE(buttons, (QList<int>{32773, 32774, 32775, 32802, 32804, 32788, 32785}));
    QCOMPARE(frame.StandardToolBar()->windowTitle(), QStringLiteral("Standard"));
    for (QAction* button : frame.StandardToolBar()->actions())
      QVERIFY2(!button->icon().isNull(), qPrintable(button->toolTip()));
  }

  void commandStatesFollowTheFlags_data() {
    QTest::addColumn<int>("select");
    QTest::addColumn<int>("repair");
    QTest::addColumn<int>("save");
    QTest::newRow("idle") << 1 << 0 << 0;
    QTest::newRow("listed") << 1 << 1 << 0;
    QTest::newRow("repairing") << 0 << 0 << 0;
    QTest::newRow("repaired") << 1 << 1 << 1;
    QTest::newRow("repairing again, save group kept") << 0 << 0 << 1;
  }
  void commandStatesFollowTheFlags() {
    QFETCH(int, select);
    QFETCH(int, repair);
    QFETCH(int, save);
    CMainFrame frame(kNoSplash);
    SetFlags(*frame.View(), select, repair, save);
    frame.UpdateCommandStates();
    const QList<std::pair<int, int>> expected = {
        {32773, select}, {32774, repair}, {32775, repair}, {32802, save}, {32804, save},
        {57665, 1},      {32785, 1},      {32788, 1},      {32805, 1}};
    for (const auto& [id, on] : expected) {
      QAction* action = frame.Command(id);
      QVERIFY2(action->isEnabled() == (on != 0), qPrintable(QString::number(id)));
      if (QWidget* button = frame.StandardToolBar()->widgetForAction(action))
        QVERIFY2(button->isEnabled() == (on != 0), qPrintable(QString::number(id)));
    }
  }

  void idleUpdateFollowsWithoutBeingAsked() {
    CMainFrame frame(kNoSplash);
    SetFlags(*frame.View(), 0, 1, 1);
    QTRY_VERIFY(!frame.Command(32773)->isEnabled());
    QVERIFY(frame.Command(32804)->isEnabled());
  }

  void withoutWorkspaceTheStatesStay() {
    CMainFrame frame(FrameOptions{false, false});
    QVERIFY(frame.View() == nullptr);
    frame.Command(32775)->setEnabled(false);
    frame.UpdateCommandStates();
    QVERIFY(frame.Command(32773)->isEnabled());
    QVERIFY(!frame.Command(32775)->isEnabled());
    // Commands without a workspace window do nothing (no dialog, no crash).
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    frame.OnSelectFiles();
    frame.OnRemoveFiles();
    frame.OnRepairFiles();
    frame.OnBrowse();
    frame.OnSave();
    QVERIFY(query.Asked().isEmpty());
  }

  // Ctrl+O selects files although the menu shows it beside Remove; Ctrl+S
  // saves although it stands beside Repair.
  void accelerators_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("select");
    QTest::addColumn<int>("save");
    QTest::addColumn<int>("dialogs");
    QTest::addColumn<int>("saves");
    QTest::newRow("Ctrl+N selects") << int(Qt::Key_N) << 1 << 0 << 1 << 0;
    QTest::newRow("Ctrl+O selects") << int(Qt::Key_O) << 1 << 0 << 1 << 0;
    QTest::newRow("Ctrl+N while selecting is off") << int(Qt::Key_N) << 0 << 1 << 0 << 0;
    QTest::newRow("Ctrl+O while selecting is off") << int(Qt::Key_O) << 0 << 1 << 0 << 0;
    QTest::newRow("Ctrl+S saves") << int(Qt::Key_S) << 1 << 1 << 0 << 1;
    QTest::newRow("Ctrl+S while saving is off") << int(Qt::Key_S) << 1 << 0 << 0 << 0;
  }
  void accelerators() {
    QFETCH(int, key);
    QFETCH(int, select);
    QFETCH(int, save);
    QFETCH(int, dialogs);
    QFETCH(int, saves);
    ScriptedUserQuery query(ScriptedUserQuery::OnUnscripted::kRecordUnscripted);
    ScopedUserQuery installed(query);
    query.AnswerFiles({});  // the dialog is cancelled
    CMainFrame frame(kNoSplash);
    int started = 0;
    frame.View()->SetSaveJobStarter([&started](JobContext*) { ++started; });
    SetFlags(*frame.View(), select, 1, save);
    frame.show();
    QApplication::setActiveWindow(&frame);
    QVERIFY(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key(key), Qt::ControlModifier);
    QCOMPARE(test::CountAsked(query, ScriptedUserQuery::Kind::kOpenFiles), dialogs);
    QCOMPARE(started, saves);
  }

  void menuCommandsReachTheWorkspace() {
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    CMainFrame frame(kNoSplash);
    int saves = 0;
    frame.View()->SetSaveJobStarter([&saves](JobContext*) { ++saves; });
    SetFlags(*frame.View(), 1, 1, 1);
    frame.UpdateCommandStates();
    query.AnswerFiles({});
    frame.Command(32773)->trigger();
    query.AnswerFolder({});
    frame.Command(32802)->trigger();
    frame.Command(32804)->trigger();
    QCOMPARE(test::CountAsked(query, ScriptedUserQuery::Kind::kOpenFiles), 1);
    QCOMPARE(test::CountAsked(query, ScriptedUserQuery::Kind::kChooseFolder), 1);
    QCOMPARE(saves, 1);
    QCOMPARE(query.PendingAnswers(), 0);
  }

  void lookIsStoredAndRestored_data() {
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("look");
    QTest::addColumn<int>("checked");
    QTest::newRow("nothing stored: Office 2007 blue")
        << QVariant() << kDefaultLook << kDefaultLook;
    QTest::newRow("Windows 2000") << QVariant(210) << 210 << 210;
    QTest::newRow("Office 2007 aqua") << QVariant(218) << 218 << 218;
    QTest::newRow("below the range: kept, no item checked") << QVariant(209) << 209 << 0;
    QTest::newRow("above the range: kept, no item checked") << QVariant(300) << 300 << 0;
    QTest::newRow("not a number: default") << QVariant("blue") << kDefaultLook << kDefaultLook;
  }
  void lookIsStoredAndRestored() {
    QFETCH(QVariant, stored);
    QFETCH(int, look);
    QFETCH(int, checked);
    StoreLook(stored);
    CMainFrame frame(kNoSplash);
    QCOMPARE(frame.ApplicationLook(), look);
    QCOMPARE(CheckedLook(frame), checked);
    QCOMPARE(StoredLook().toInt(), look);  // written back unchanged
    QCOMPARE(QApplication::style()->name().toLower(),
             QString::fromLatin1(LookFor(look).styleName).toLower());
    QCOMPARE(QApplication::palette().color(QPalette::Window), LookFor(look).window);
  }

  void choosingALookSurvivesARestart() {
    StoreLook(QVariant());
    {
      CMainFrame frame(kNoSplash);
      frame.Command(kLookOffice2007Black)->trigger();
      QCOMPARE(frame.ApplicationLook(), kLookOffice2007Black);
      QCOMPARE(CheckedLook(frame), kLookOffice2007Black);
      QCOMPARE(StoredLook().toInt(), kLookOffice2007Black);
      frame.Command(kLookWindowsXP)->trigger();
      QCOMPARE(CheckedLook(frame), kLookWindowsXP);
    }
    CMainFrame next(kNoSplash);
    QCOMPARE(next.ApplicationLook(), kLookWindowsXP);
    QCOMPARE(CheckedLook(next), kLookWindowsXP);
    StoreLook(QVariant());
  }

  void workspaceAndLogoWriteTheStatusPane() {
    test::RecordedLinks links;
    CMainFrame frame(kNoSplash);
    frame.resize(1280, 800);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    emit frame.View()->statusTextChanged(QStringLiteral("Save..."));
    QCOMPARE(frame.StatusPane(0)->text(), QStringLiteral("Save..."));
    QLabel* logo = frame.Logo();
    QCOMPARE(logo->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(logo, QPoint(20, 20));
    QTRY_COMPARE(frame.StatusPane(0)->text(), QStringLiteral("VantrelWorks Keelmend"));
    QCOMPARE(logo->size(), QSize(245, 50));
    QCOMPARE(logo->x(), frame.width() - 250);
    QTest::mouseClick(logo, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(links.Opened(), QStringList{kMakerHomePage});
    frame.Command(32805)->trigger();
    QCOMPARE(links.Opened().last(), kProductPage);
  }

  // In the narrowest window the logo keeps clear of the toolbar's buttons.
  void logoNeverCoversAButton_data() {
    QTest::addColumn<int>("width");
    QTest::newRow("narrowest") << 650;
    QTest::newRow("wide") << 1280;
  }
  void logoNeverCoversAButton() {
    QFETCH(int, width);
    CMainFrame frame(kNoSplash);
    frame.resize(width, 600);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    QTRY_COMPARE(frame.width(), width);
    QToolBar* bar = frame.StandardToolBar();
    for (QAction* action : bar->actions()) {
      QWidget* button = bar->widgetForAction(action);
      const QRect onFrame(button->mapTo(&frame, QPoint(0, 0)), button->size());
      QVERIFY2(!onFrame.intersects(frame.Logo()->geometry()), qPrintable(action->toolTip()));
    }
    QVERIFY(frame.Logo()->geometry().intersects(bar->geometry()));
  }

  void chromeHasAccessibleNames() {
    CMainFrame frame(kNoSplash);
    frame.show();
    QList<QWidget*> chrome = {frame.menuBar(), frame.StandardToolBar(), frame.statusBar(),
                              frame.Logo()};
    for (int i = 0; i < 4; ++i) chrome << frame.StatusPane(i);
    for (QAction* action : frame.StandardToolBar()->actions())
      chrome << frame.StandardToolBar()->widgetForAction(action);
    for (QWidget* widget : chrome)
      QVERIFY2(!widget->accessibleName().isEmpty(), widget->metaObject()->className());
  }

  void help_data() {
    QTest::addColumn<bool>("chm");
    QTest::addColumn<bool>("viewer");
    QTest::addColumn<QString>("guideIn");  // "", "program" or "docs"
    QTest::addColumn<QString>("opened");   // "", "chm", "program" or "docs"
    QTest::newRow("chm where it can be shown") << true << true << "docs" << "chm";
    QTest::newRow("guide beside the program") << false << false << "program" << "program";
    QTest::newRow("guide in docs") << false << false << "docs" << "docs";
    QTest::newRow("guide preferred to an unviewable chm") << true << false << "docs" << "docs";
    QTest::newRow("only an unviewable chm") << true << false << "" << "chm";
    QTest::newRow("nothing at all") << false << true << "" << "";
  }
  void help() {
    QFETCH(bool, chm);
    QFETCH(bool, viewer);
    QFETCH(QString, guideIn);
    QFETCH(QString, opened);
    QTemporaryDir dir;
    const QString program = dir.filePath("program");
    const QString docs = dir.filePath("docs");
    QDir().mkpath(program);
    QDir().mkpath(docs);
    auto touch = [](const QString& path) { QFile f(path); QVERIFY(f.open(QIODevice::WriteOnly)); };
    if (chm) touch(program + "/VantrelWorks for Keelmend.chm");
    if (guideIn == "program") touch(program + "/user-guide.html");
    if (guideIn == "docs") touch(docs + "/user-guide.html");
    const QHash<QString, QString> paths = {
        {"chm", program + "/VantrelWorks for Keelmend.chm"},
        {"program", program + "/user-guide.html"},
        {"docs", docs + "/user-guide.html"}};

    test::RecordedLinks links;
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    CMainFrame frame(FrameOptions{false, false});
    frame.SetHelpPlaces(HelpPlaces{program, {program, dir.filePath("absent"), docs}, viewer});
    if (opened.isEmpty()) query.AnswerMessage(kIdOk);
    frame.Command(32788)->trigger();
    if (opened.isEmpty()) {
      QVERIFY(links.Opened().isEmpty());
      QCOMPARE(test::MessageTexts(query),
               QStringList{"VantrelWorks Keelmend help file not found, please re-install the software. "});
      QCOMPARE(query.Asked().first().style, 64);
    } else {
      QVERIFY(query.Asked().isEmpty());
      QCOMPARE(links.Opened(), QStringList{paths.value(opened)});
    }
  }

  void theShippedGuideIsFound() {
    const QString found = FindHelpDocument(DefaultHelpPlaces());
    QVERIFY2(found.endsWith("user-guide.html"), qPrintable(found));
  }

  // A job that still lives, also one whose Stop has been confirmed but whose
  // thread is still writing, keeps the window open without a question.
  void exitRefusedWhileAJobLives_data() {
    QTest::addColumn<int>("jobRunning");
    QTest::addColumn<int>("threadAlive");
    QTest::newRow("job running") << 1 << 1;
    QTest::newRow("stop confirmed, thread still ending") << 0 << 1;
    QTest::newRow("flag only") << 1 << 0;
  }
  void exitRefusedWhileAJobLives() {
    QFETCH(int, jobRunning);
    QFETCH(int, threadAlive);
    const fs::path root = MakeWorkRoot();
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    CMainFrame frame(kNoSplash);
    frame.show();
    MakeWorkRoot();
    frame.View()->State().jobRunning = jobRunning;
    frame.View()->State().jobThreadAlive = threadAlive;
    query.AnswerMessage(kIdOk);
    QVERIFY(!frame.close());
    QVERIFY(frame.isVisible());
    QCOMPARE(test::MessageTexts(query),
             QStringList{"Please stop the running process before closing the application."});
    QCOMPARE(query.Asked().first().style, 64);
    QVERIFY(query.Asked().first().owner == nullptr);
    QVERIFY(fs::exists(root / "sales.odb0" / "content.xml"));
    frame.View()->State().jobRunning = 0;
    frame.View()->State().jobThreadAlive = 0;
    query.AnswerMessage(kIdNo);
    QVERIFY(!frame.close());
  }

  void exitAnsweredOtherThanYesKeepsEverything_data() {
    QTest::addColumn<int>("answer");
    QTest::newRow("No") << kIdNo;
    QTest::newRow("no box could be shown") << kIdCancel;
  }
  void exitAnsweredOtherThanYesKeepsEverything() {
    QFETCH(int, answer);
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    CMainFrame frame(kNoSplash);
    frame.show();
    const fs::path root = MakeWorkRoot();
    frame.View()->FileList()->AppendItem("/data/sales.odb");
    query.AnswerMessage(answer);
    QVERIFY(!frame.close());
    QVERIFY(frame.isVisible());
    QCOMPARE(test::MessageTexts(query), QStringList{"Do you really want to exit the application?"});
    QCOMPARE(query.Asked().first().style, 36);
    QCOMPARE(frame.View()->FileList()->Count(), 1);
    QVERIFY(fs::exists(root / "sales.odb0" / "content.xml"));
  }

  void exitAnsweredYesClearsTheWorkRoot() {
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    CMainFrame frame(kNoSplash);
    frame.show();
    const fs::path root = MakeWorkRoot();
    query.AnswerMessage(kIdYes);
    QVERIFY(frame.close());
    QVERIFY(!frame.isVisible());
    QVERIFY(!fs::exists(root));
  }

  void exitFromTheMenuAndTheWorkspaceButtonAsk() {
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    CMainFrame frame(kNoSplash);
    frame.show();
    query.AnswerMessage(kIdNo);
    frame.Command(57665)->trigger();
    query.AnswerMessage(kIdNo);
    emit frame.View()->exitRequested();
    QCOMPARE(test::MessageTexts(query).size(), 2);
    QVERIFY(frame.isVisible());
  }

  void closingWhileMinimisedFirstShowsTheWindowMaximised() {
    ScriptedUserQuery query;
    ScopedUserQuery installed(query);
    CMainFrame frame(kNoSplash);
    frame.showMinimized();
    query.AnswerMessage(kIdNo);
    QVERIFY(!frame.close());
    QVERIFY(frame.windowState() & Qt::WindowMaximized);
    QVERIFY(!(frame.windowState() & Qt::WindowMinimized));
  }
};

QTEST_MAIN(MainFrameTest)
#include "shell_main_frame_test.moc"
