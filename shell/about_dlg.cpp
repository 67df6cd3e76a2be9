#include "shell/about_dlg.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

#include "controls/hyperlink.h"
#include "controls/transparent_static.h"
#include "shell/frame_artwork.h"

namespace keelmend {

namespace {

// The box's layout in pixels: the dialog units of an 8-point dialog font
// at 1.5 pixels across and 1.625 pixels down.
QRect FromDialogUnits(int x, int y, int width, int height) {
  return QRect(x * 3 / 2, y * 13 / 8, width * 3 / 2, height * 13 / 8);
}

const QSize kBoxSize = FromDialogUnits(0, 0, 234, 201).size();

QIcon OkImage() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x22, 0x8b, 0x3a), 2.6, Qt::SolidLine, Qt::RoundCap,
                Qt::RoundJoin));
  QPainterPath tick;
  tick.moveTo(3, 8.5);
  tick.lineTo(6.5, 12);
  tick.lineTo(13, 4);
  p.drawPath(tick);
  return QIcon(pixmap);
}

}  // namespace

bool IsAboutBoxSwallowedKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent), background_(AboutBackground()) {
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(true);
  setFixedSize(kBoxSize);
  QFont dialogFont(QStringLiteral("DejaVu Sans"));
  dialogFont.setPixelSize(11);
  setFont(dialogFont);
  CreateControls();
  const QString versionText = QStringLiteral("%1 v%2.%3").arg(kApplicationTitle).arg(1).arg(0);
  software_->SetText(QStringLiteral("%1 Software").arg(kApplicationTitle));
  version_->SetText(versionText);
  setWindowTitle(QStringLiteral("About %1").arg(versionText));
  setAccessibleName(windowTitle());
  rights_->SetText(kRightsNotice);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::CreateControls() {
  ok_ = new QPushButton(OkImage(), QStringLiteral("OK"), this);
  ok_->setGeometry(FromDialogUnits(95, 184, 50, 14));
  ok_->setAccessibleName(QStringLiteral("OK"));
  ok_->setAutoDefault(false);
  ok_->setDefault(false);
  connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

  version_ = new CTrelTransparentStatic(this);
  version_->setGeometry(FromDialogUnits(42, 68, 180, 10));
  QFont bold(QStringLiteral("DejaVu Sans"));
  bold.setPixelSize(14);
  bold.setWeight(QFont::Bold);
  bold.setStyleHint(QFont::SansSerif);
  version_->setFont(bold);
  version_->setProperty("controlId", about_id::kVersionLabel);

  rights_ = new CTrelTransparentStatic(this);
  // The notice may run to the box's right margin.
  rights_->setGeometry(FromDialogUnits(60, 85, 170, 8));
  rights_->setProperty("controlId", about_id::kRightsLabel);
  software_ = new CTrelTransparentStatic(this);
  software_->setGeometry(FromDialogUnits(60, 99, 165, 8));
  software_->setProperty("controlId", about_id::kSoftwareLabel);

  web_ = CreateLink(about_id::kWebLink, kMakerWebSite, kMakerWebSite,
                    FromDialogUnits(76, 114, 93, 8));
  support_ = CreateLink(about_id::kSupportLink, kSupportAddress,
                        QStringLiteral("mailto:") + kSupportAddress,
                        FromDialogUnits(76, 125, 84, 8));
  sales_ = CreateLink(about_id::kSalesLink, kSalesAddress,
                      QStringLiteral("mailto:") + kSalesAddress,
                      FromDialogUnits(77, 136, 76, 8));
}

CHyperLink* CAboutDlg::CreateLink(int id, const QString& text,
                                  const QString& target, const QRect& rect) {
  auto* link = new CHyperLink(text, target, this);
  link->setGeometry(rect);
  link->SetLinkText(text);  // fits the control to its text
  link->SetUnderlineMode(CHyperLink::kUnderlineAlways);
  link->setProperty("controlId", id);
  return link;
}

void CAboutDlg::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawPixmap(0, 0, background_);
}

void CAboutDlg::keyPressEvent(QKeyEvent* event) {
  if (IsAboutBoxSwallowedKey(event->key())) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress &&
      IsAboutBoxSwallowedKey(static_cast<QKeyEvent*>(event)->key()))
    return true;  // neither the box nor its controls act on these keys
  return QDialog::eventFilter(watched, event);
}

}  // namespace keelmend
