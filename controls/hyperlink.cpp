#include "controls/hyperlink.h"

#include <QApplication>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QLayout>
#include <QMouseEvent>

#include "controls/app_message_box.h"
#include "controls/link_opener.h"

namespace keelmend {

QString HyperlinkErrorText(int code) {
  QString message;
  switch (code) {
    case 0: message = QStringLiteral("The operating system is out\nof memory or resources."); break;
    case 2: message = QStringLiteral("The specified file was not found."); break;
    case 3: message = QStringLiteral("The specified path was not found."); break;
    case 5: message = QStringLiteral("The operating system denied\naccess to the specified file."); break;
    case 8: message = QStringLiteral("There was not enough memory to complete the operation."); break;
    case 11: message = QStringLiteral("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."); break;
    case 26: message = QStringLiteral("A sharing violation occurred. "); break;
    case 27: message = QStringLiteral("The filename association is\nincomplete or invalid."); break;
    case 28: message = QStringLiteral("The DDE transaction could not\nbe completed because the request timed out."); break;
    case 29: message = QStringLiteral("The DDE transaction failed."); break;
    case 30: message = QStringLiteral("The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed."); break;
    case 31: message = QStringLiteral("There is no application associated\nwith the given filename extension."); break;
    case 32: message = QStringLiteral("The specified dynamic-link library was not found."); break;
    default: message = QStringLiteral("Unknown Error (%1) occurred.").arg(code); break;
  }
  return QStringLiteral("Unable to open hyperlink:\n\n") + message;
}

CHyperLink::CHyperLink(QWidget* parent) : CHyperLink(QString(), QString(), parent) {}

CHyperLink::CHyperLink(const QString& text, const QString& target, QWidget* parent)
    : QLabel(text, parent), target_(target) {
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setAutoFillBackground(false);
  setCursor(Qt::PointingHandCursor);
  setFocusPolicy(Qt::TabFocus);
  ApplyTextTargetRule();
  ApplyLook();
}

void CHyperLink::ApplyTextTargetRule() {
  if (target_.isEmpty()) target_ = QLabel::text();
  if (QLabel::text().isEmpty()) QLabel::setText(target_);
  setToolTip(target_);
  setAccessibleName(QLabel::text());
  setAccessibleDescription(target_);
  FitToText();
}

void CHyperLink::SetLinkTarget(const QString& target) {
  target_ = target;
  ApplyTextTargetRule();
}

void CHyperLink::SetLinkText(const QString& text) {
  QLabel::setText(text);
  ApplyTextTargetRule();
}

void CHyperLink::SetColours(const QColor& link, const QColor& visited, const QColor& hover) {
  link_colour_ = link;
  visited_colour_ = visited;
  hover_colour_ = hover;
  ApplyLook();
}

void CHyperLink::SetVisited(bool visited) {
  visited_ = visited;
  ApplyLook();
}

void CHyperLink::SetUnderlineMode(int mode) {
  underline_mode_ = mode;
  ApplyLook();
}

void CHyperLink::SetAutoSize(bool adjust) {
  auto_size_ = adjust;
  FitToText();
}

QColor CHyperLink::CurrentColour() const {
  if (hovered_) return hover_colour_;
  return visited_ ? visited_colour_ : link_colour_;
}

bool CHyperLink::IsUnderlined() const {
  return underline_mode_ == kUnderlineAlways || (underline_mode_ == kUnderlineHover && hovered_);
}

void CHyperLink::ApplyLook() {
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, CurrentColour());
  setPalette(colours);
  QFont look = font();
  look.setUnderline(IsUnderlined());
  setFont(look);
  update();
}

void CHyperLink::FitToText() {
  if (!auto_size_) return;
  QWidget* parent = parentWidget();
  if (parent != nullptr && parent->layout() != nullptr && parent->layout()->indexOf(this) >= 0) {
    updateGeometry();  // the layout places it, from its size hint
    return;
  }
  QFont underlined = font();
  underlined.setUnderline(true);
  const QSize text = QFontMetrics(underlined).size(0, QLabel::text());
  const QMargins margins = contentsMargins();
  const int width = text.width() + margins.left() + margins.right() + 2 * margin();
  const int height = text.height() + margins.top() + margins.bottom() + 2 * margin();
  QRect box = geometry();
  const Qt::Alignment align = alignment();
  int left = box.left();
  if (align & Qt::AlignHCenter) left = box.center().x() - width / 2;
  if (align & Qt::AlignRight) left = box.right() + 1 - width;
  int top = box.top();
  if (align & Qt::AlignVCenter) top = box.center().y() - height / 2;
  setGeometry(left, top, width, height);
}

bool CHyperLink::Activate() {
  hovered_ = false;
  const int result = OpenLinkTarget(target_);
  const bool opened = OpenSucceeded(result);
  visited_ = opened;
  ApplyLook();
  if (!opened) {
    QApplication::beep();
    AppMessageBox(window(), HyperlinkErrorText(result),
                  kMbOk | kMbIconExclamation | kMbNoSound);
  }
  emit LinkOpened(target_, opened);
  return opened;
}

bool CHyperLink::event(QEvent* event) {
  if (event->type() == QEvent::Polish) ApplyTextTargetRule();
  return QLabel::event(event);
}

void CHyperLink::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  ApplyLook();
  QLabel::enterEvent(event);
}

void CHyperLink::leaveEvent(QEvent* event) {
  hovered_ = false;
  ApplyLook();
  QLabel::leaveEvent(event);
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    Activate();
    event->accept();
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

void CHyperLink::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
      Activate();
      event->accept();
      return;
    default:
      QLabel::keyPressEvent(event);
  }
}

}  // namespace keelmend
