// The message texts' small markup: what becomes rich text, and what stays
// literal.
#include <QtTest>

#include "controls/message_markup.h"

using keelmend::MessageMarkupToPlainText;
using keelmend::MessageMarkupToRichText;

class MessageMarkupTest : public QObject {
  Q_OBJECT

 private slots:
  void RichText_data() {
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("html");
    QTest::newRow("plain") << "No file(s) selected to remove." << "No file(s) selected to remove.";
    QTest::newRow("break") << "a<br>b" << "a<br>b";
    QTest::newRow("break, any case, closed") << "a<BR/>b<br />c" << "a<br>b<br>c";
    QTest::newRow("bold") << "<b>bold</b> <B>too</B>" << "<b>bold</b> <b>too</b>";
    QTest::newRow("link, single quotes") << "<a href='/tmp/out'>/tmp/out</a>"
                                         << "<a href=\"/tmp/out\">/tmp/out</a>";
    QTest::newRow("link, double quotes") << "<a href=\"https://x.example\">site</a>"
                                         << "<a href=\"https://x.example\">site</a>";
    QTest::newRow("quote inside the target") << "<a href='/home/o'neil'>o'neil</a>"
                                             << "<a href=\"/home/o'neil\">o'neil</a>";
    QTest::newRow("special characters stay literal")
        << "C:/R&D/<new> \"x\".odb" << "C:/R&amp;D/&lt;new&gt; &quot;x&quot;.odb";
    QTest::newRow("special characters in a target")
        << "<a href='/a&b/<c>'>/a&b/<c></a>" << "<a href=\"/a&amp;b/&lt;c&gt;\">/a&amp;b/&lt;c&gt;</a>";
    QTest::newRow("other tags stay literal") << "<i>x</i>" << "&lt;i&gt;x&lt;/i&gt;";
    QTest::newRow("unclosed tag") << "a <br b" << "a &lt;br b";
    QTest::newRow("line feed") << "a\nb" << "a<br>b";
    QTest::newRow("CR LF") << "a\r\nb" << "a<br>b";
    QTest::newRow("lone CR") << "a\rb" << "a<br>b";
    QTest::newRow("system error text ends with CR LF") << "Access is denied.\r\n"
                                                       << "Access is denied.";
    QTest::newRow("empty") << "" << "";
  }
  void RichText() {
    QFETCH(QString, markup);
    QTEST(MessageMarkupToRichText(markup), "html");
  }

  void PlainText_data() {
    QTest::addColumn<QString>("markup");
    QTest::addColumn<QString>("plain");
    QTest::newRow("completion message")
        << "File(s) saving process has been completed.Saved file(s) location is:<br>"
           "<a href='/tmp/out'>/tmp/out</a>"
        << "File(s) saving process has been completed.Saved file(s) location is:\n/tmp/out";
    QTest::newRow("bold and breaks") << "<b>x</b>\r\ny" << "x\ny";
    QTest::newRow("literal characters") << "R&D <1>" << "R&D <1>";
  }
  void PlainText() {
    QFETCH(QString, markup);
    QTEST(MessageMarkupToPlainText(markup), "plain");
  }
};

QTEST_MAIN(MessageMarkupTest)
#include "message_markup_test.moc"
