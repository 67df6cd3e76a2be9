// Every control rendered in its typical states. With KEELMEND_SHOTS_DIR set,
// the pictures are also written there as PNG files to look at.
#include <QDir>
#include <QEnterEvent>
#include <QLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtTest>

#include "controls/artwork.h"
#include "controls/edit_prompt.h"
#include "controls/est_progress_ctrl.h"
#include "controls/hyperlink.h"
#include "controls/link_opener.h"
#include "controls/message_box_template.h"
#include "controls/splash_screen.h"
#include "controls/transparent_static.h"

using namespace keelmend;

namespace {

void Keep(const QImage& image, const QString& name) {
  QVERIFY2(!image.isNull() && image.width() > 10 && image.height() > 10, qPrintable(name));
  const QString dir = qEnvironmentVariable("KEELMEND_SHOTS_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  QVERIFY(image.save(QDir(dir).filePath(name + ".png")));
}

QImage Grab(QWidget& widget) {
  widget.ensurePolished();
  if (widget.layout() != nullptr) widget.layout()->activate();
  widget.adjustSize();
  return widget.grab().toImage();
}

// A picture behind labels: a pale sky with a sun.
class PictureBackdrop : public QWidget {
 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(214, 234, 248));
    sky.setColorAt(1, QColor(250, 240, 214));
    painter.fillRect(rect(), sky);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 214, 102));
    painter.drawEllipse(QPoint(width() - 70, 60), 38, 38);
  }
};

}  // namespace

class ControlGalleryTest : public QObject {
  Q_OBJECT

 private slots:
  void ProgressBars() {
    QWidget panel;
    auto* layout = new QVBoxLayout(&panel);
    const QDateTime start(QDate(2026, 3, 10), QTime(14, 0, 0));
    const int positions[] = {0, 1, 2, 3};
    for (int pos : positions) {
      auto* bar = new CEstProgressCtrl(&panel);
      bar->SetClock([start] { return start; });
      bar->setMinimumWidth(420);
      bar->ResetEstimate();
      bar->SetRange(3);
      bar->SetPos(pos);
      bar->UpdateEstimate();  // the run started at `start`, now 40 s in
      bar->SetClock([start] { return start.addSecs(40); });
      layout->addWidget(bar);
    }
    Keep(Grab(panel), "progress_bars");
  }

  void Hyperlinks() {
    QWidget panel;
    auto* layout = new QVBoxLayout(&panel);
    auto* normal = new CHyperLink("www.vantrelworks.example", "", &panel);
    auto* hovered = new CHyperLink("support@vantrelworks.example",
                                   "mailto:support@vantrelworks.example", &panel);
    auto* visited = new CHyperLink("sales@vantrelworks.example",
                                   "mailto:sales@vantrelworks.example", &panel);
    auto* always = new CHyperLink("Always underlined", "https://vantrelworks.example", &panel);
    always->SetUnderlineMode(CHyperLink::kUnderlineAlways);
    visited->SetVisited(true);
    for (QWidget* link : {static_cast<QWidget*>(normal), static_cast<QWidget*>(hovered),
                          static_cast<QWidget*>(visited), static_cast<QWidget*>(always)}) {
      layout->addWidget(link);
    }
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(hovered, &enter);
    Keep(Grab(panel), "hyperlinks");
  }

  void PromptingEdit() {
    QWidget panel;
    auto* layout = new QVBoxLayout(&panel);
    auto* prompting = new CXEditPrompt(&panel);
    prompting->SetPromptText("<Please enter valid path to save repaired Base file(s)> ");
    auto* filled = new CXEditPrompt(&panel);
    filled->SetPromptText("<Please enter valid path to save repaired Base file(s)> ");
    filled->SetText("/home/maria/Repaired databases");
    prompting->setMinimumWidth(420);
    layout->addWidget(prompting);
    layout->addWidget(filled);
    Keep(Grab(panel), "edit_prompt");
  }

  void TransparentLabels() {
    PictureBackdrop backdrop;
    backdrop.setFixedSize(360, 180);
    auto* title = new CTrelTransparentStatic("VantrelWorks Keelmend", &backdrop);
    auto* version = new CTrelTransparentStatic("Version 1.0\nRepairs LibreOffice Base files",
                                               &backdrop);
    QFont big = title->font();
    big.setPointSize(big.pointSize() + 6);
    big.setBold(true);
    title->setFont(big);
    title->move(20, 40);
    title->adjustSize();
    version->move(22, 90);
    version->adjustSize();
    Keep(backdrop.grab().toImage(), "transparent_labels");
    version->SetText("Version 1.0");  // shorter: nothing of the old text stays
    Keep(backdrop.grab().toImage(), "transparent_labels_changed");
  }

  void Splash() {
    auto* splash = new CSplashScreenEx;
    splash->CreateSplash(nullptr);
    QVERIFY(splash->SetSplashPicture(DrawSplashPicture(), kSplashKeyColour));
    Keep(DrawSplashPicture(), "splash_picture");
    // What shows on screen: the picture inside its shape.
    QImage shaped(splash->size(), QImage::Format_ARGB32);
    shaped.fill(Qt::transparent);
    {
      QPainter painter(&shaped);
      painter.setClipRegion(splash->Shape());
      painter.drawImage(0, 0, splash->Picture());
    }
    Keep(shaped, "splash_shaped");
    delete splash;
  }

  void MessageBoxes_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("style");
    QTest::newRow("notice") << "box_notice" << "No file(s) selected to remove." << 64;
    QTest::newRow("question") << "box_question" << "Do you really want to exit the application?"
                              << 36;
    QTest::newRow("completion") << "box_completion"
                                << "File(s) saving process has been completed.Saved file(s) "
                                   "location is:<br><a href='/home/maria/Repaired databases'>"
                                   "/home/maria/Repaired databases</a>"
                                << 64;
    QTest::newRow("link failure") << "box_link_failure" << HyperlinkErrorText(31) << 48;
  }
  void MessageBoxes() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(int, style);
    CPPMessageBoxTemplate box(nullptr, text, style);
    Keep(Grab(box), name);
  }
};

QTEST_MAIN(ControlGalleryTest)
#include "control_gallery_test.moc"
