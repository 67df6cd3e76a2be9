#include "controls/message_box_template.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "controls/app_message_box.h"
#include "controls/bump_background.h"
#include "controls/link_opener.h"
#include "controls/message_markup.h"

namespace keelmend {
namespace {

constexpr int kCellPadding = 5;
constexpr int kWrapWidth = 560;  // longer lines wrap at about this width

QStyle::StandardPixmap IconFor(int style) {
  switch (style & kMbIconMask) {
    case kMbIconHand: return QStyle::SP_MessageBoxCritical;
    case kMbIconQuestion: return QStyle::SP_MessageBoxQuestion;
    case kMbIconExclamation: return QStyle::SP_MessageBoxWarning;
    case kMbIconInformation: return QStyle::SP_MessageBoxInformation;
    default: return QStyle::SP_CustomBase;  // no icon
  }
}

bool IsYesNo(int style) { return (style & kMbButtonMask) == kMbYesNo; }

}  // namespace

CPPMessageBoxTemplate::CPPMessageBoxTemplate(QWidget* owner, const QString& text, int style)
    : QDialog(owner), style_(style) {
  setWindowTitle(kAppTitle);
  setAccessibleName(kAppTitle);
  setModal(true);
  setSizeGripEnabled(false);
  Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint;
  if (!IsDismissalLocked()) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
  setWindowFlags(flags);
  BuildLayout(text);
}

void CPPMessageBoxTemplate::BuildLayout(const QString& text) {
  auto* body = new QHBoxLayout;
  body->setSpacing(3 * kCellPadding);
  const QStyle::StandardPixmap icon = IconFor(style_);
  if (icon != QStyle::SP_CustomBase) {
    auto* icon_label = new QLabel(this);
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon_label->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(size, size));
    icon_label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    icon_label->setAccessibleName(QStringLiteral("Icon"));
    body->addWidget(icon_label, 0, Qt::AlignTop);
  }

  text_label_ = new QLabel(this);
  text_label_->setTextFormat(Qt::RichText);
  text_label_->setText(MessageMarkupToRichText(text));
  text_label_->setAccessibleName(MessageMarkupToPlainText(text));
  text_label_->setTextInteractionFlags(Qt::TextBrowserInteraction);
  text_label_->setOpenExternalLinks(false);
  text_label_->setAlignment(((style_ & kMbRight) ? Qt::AlignRight : Qt::AlignLeft) |
                            Qt::AlignVCenter);
  QPalette text_palette = text_label_->palette();
  text_palette.setColor(QPalette::WindowText, Qt::black);
  text_palette.setColor(QPalette::Text, Qt::black);
  text_label_->setPalette(text_palette);
  if (text_label_->sizeHint().width() > kWrapWidth) {
    text_label_->setWordWrap(true);
    text_label_->setMinimumWidth(kWrapWidth);
  }
  connect(text_label_, &QLabel::linkActivated, this, &CPPMessageBoxTemplate::OpenLink);
  body->addWidget(text_label_, 1);

  auto* button_row = new QHBoxLayout;
  button_row->addStretch(1);
  if (IsYesNo(style_)) {
    AddButton(QStringLiteral("Yes"), kIdYes);
    AddButton(QStringLiteral("No"), kIdNo);
  } else {
    AddButton(QStringLiteral("OK"), kIdOk);
  }
  for (QPushButton* button : buttons_) button_row->addWidget(button);
  button_row->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4 * kCellPadding, 4 * kCellPadding, 4 * kCellPadding,
                             3 * kCellPadding);
  layout->setSpacing(4 * kCellPadding);
  layout->addLayout(body);
  layout->addLayout(button_row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  buttons_.front()->setDefault(true);
  buttons_.front()->setFocus();
}

void CPPMessageBoxTemplate::AddButton(const QString& label, int id) {
  auto* button = new QPushButton(label, this);
  button->setAccessibleName(label);
  button->setMinimumWidth(80);
  button->setProperty("buttonId", id);
  connect(button, &QPushButton::clicked, this, [this, id] { done(id); });
  buttons_.append(button);
}

QPushButton* CPPMessageBoxTemplate::Button(int id) const {
  for (QPushButton* button : buttons_) {
    if (button->property("buttonId").toInt() == id) return button;
  }
  return nullptr;
}

bool CPPMessageBoxTemplate::IsDismissalLocked() const { return IsYesNo(style_); }

int CPPMessageBoxTemplate::Run() {
  if ((style_ & kMbNoSound) == 0) QApplication::beep();
  return exec();
}

void CPPMessageBoxTemplate::reject() {
  if (IsDismissalLocked()) return;
  done(kIdCancel);
}

void CPPMessageBoxTemplate::done(int result) {
  finishing_ = true;
  QDialog::done(result);
}

void CPPMessageBoxTemplate::closeEvent(QCloseEvent* event) {
  if (IsDismissalLocked() && !finishing_) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CPPMessageBoxTemplate::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  PaintBumpBackground(painter, rect());
}

void CPPMessageBoxTemplate::OpenLink(const QString& target) {
  // Nothing is reported when the target cannot be opened.
  OpenLinkTarget(target);
}

}  // namespace keelmend
