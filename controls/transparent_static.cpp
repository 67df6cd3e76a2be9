#include "controls/transparent_static.h"

namespace keelmend {

CTrelTransparentStatic::CTrelTransparentStatic(QWidget* parent) : QLabel(parent) { Init(); }

CTrelTransparentStatic::CTrelTransparentStatic(const QString& text, QWidget* parent)
    : QLabel(text, parent) {
  Init();
}

void CTrelTransparentStatic::Init() {
  setAutoFillBackground(false);
  setAttribute(Qt::WA_NoSystemBackground);
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  setWordWrap(false);
  QPalette colours = palette();
  colours.setColor(QPalette::WindowText, Qt::black);
  setPalette(colours);
  if (accessibleName().isEmpty()) setAccessibleName(text());
}

void CTrelTransparentStatic::SetText(const QString& text) {
  if (accessibleName() == QLabel::text()) setAccessibleName(text);
  // The area the old text covered, before the label may change size.
  const QRect old_area = geometry();
  QLabel::setText(text);
  if (QWidget* parent = parentWidget()) parent->update(old_area.united(geometry()));
}

}  // namespace keelmend
