// The destination folder: the prompting edit and the Browse command.
#include <QtTest>

#include "controls/edit_prompt.h"
#include "view_fixture.h"
#include "workspace/salvor_view.h"
#include "workspace/workspace_texts.h"

using namespace keelmend;
using namespace keelmend::testing;

class DestinationTest : public QObject {
  Q_OBJECT

 private slots:
  void browse_data();
  void browse();
  void browseAsksWithItsTitle();
};

void DestinationTest::browse_data() {
  QTest::addColumn<QString>("typed");   // "" = the edit still shows its prompt
  QTest::addColumn<QString>("chosen");  // "" = the browser was cancelled
  QTest::addColumn<QString>("result");  // "<temp>" stands for the temporary folder
  QTest::newRow("folder chosen") << "" << "<temp>" << "<temp>";
  QTest::newRow("blanks around the chosen path") << "" << "  <temp> \t" << "<temp>";
  QTest::newRow("cancel keeps a typed path") << "/typed/path" << "" << "/typed/path";
  QTest::newRow("cancel keeps the prompt") << "" << "" << "";
  QTest::newRow("no such folder: unchanged") << "/typed/path" << "/no/such/folder" << "/typed/path";
  QTest::newRow("a file is no folder") << "" << "<temp>/file.odb" << "";
  QTest::newRow("replaces a typed path") << "/typed/path" << "<temp>" << "<temp>";
}

void DestinationTest::browse() {
  QFETCH(QString, typed);
  QFETCH(QString, chosen);
  QFETCH(QString, result);
  PrivateTempDir temp;
  WriteFile(temp.Path() / "file.odb", "x");
  const auto expand = [&temp](QString text) { return text.replace("<temp>", temp.Text()); };
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  view.EnableSaveGroup(true);
  if (!typed.isEmpty()) view.SetDestination(typed);
  query.AnswerFolder(expand(chosen));
  view.Browse();
  QCOMPARE(view.Destination(), expand(result));
  QCOMPARE(view.DestinationEdit()->IsPrompting(), typed.isEmpty() && result.isEmpty());
}

void DestinationTest::browseAsksWithItsTitle() {
  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam(query);
  CSalvorView view;
  query.AnswerFolder(QString());
  view.Browse();
  const auto asked = query.Asked();
  QCOMPARE(asked.size(), 1);
  QCOMPARE(asked[0].kind, ScriptedUserQuery::Kind::kChooseFolder);
  QCOMPARE(asked[0].text, QString("Select path to save repaired file(s)"));
  QCOMPARE(asked[0].owner, static_cast<QWidget*>(&view));
}

QTEST_MAIN(DestinationTest)
#include "workspace_destination_test.moc"
