#include "controls/edit_prompt.h"

#include <QKeyEvent>
#include <QMouseEvent>

namespace keelmend {

CXEditPrompt::CXEditPrompt(QWidget* parent) : QLineEdit(parent) {
  QPalette colours = palette();
  colours.setColor(QPalette::PlaceholderText, kPromptColour);
  setPalette(colours);
  setAccessibleName(prompt_);
  ShowPromptState();
  // Text that arrives by other ways (typing, paste, drop, a QLineEdit
  // pointer) ends the prompt as well.
  connect(this, &QLineEdit::textChanged, this, [this](const QString& now) {
    if (prompting_ && !now.isEmpty()) EndPrompt();
  });
}

void CXEditPrompt::SetPromptText(const QString& prompt) {
  if (accessibleName() == prompt_) setAccessibleName(prompt);
  prompt_ = prompt;
  if (prompt_.isEmpty()) prompting_ = false;
  ShowPromptState();
}

void CXEditPrompt::RestorePrompt() {
  if (prompt_.isEmpty()) return;
  prompting_ = true;
  QLineEdit::clear();
  ShowPromptState();
}

void CXEditPrompt::SetText(const QString& text) {
  if (text.isNull()) return;
  if (prompting_) {
    if (text.isEmpty() || text == prompt_) return;
    EndPrompt();
  }
  QLineEdit::setText(text);
}

void CXEditPrompt::EndPrompt() {
  prompting_ = false;
  ShowPromptState();
}

void CXEditPrompt::ShowPromptState() {
  setPlaceholderText(prompting_ ? prompt_ : QString());
}

void CXEditPrompt::keyPressEvent(QKeyEvent* event) {
  if (prompting_) EndPrompt();
  QLineEdit::keyPressEvent(event);
}

void CXEditPrompt::mousePressEvent(QMouseEvent* event) {
  if (prompting_) EndPrompt();
  QLineEdit::mousePressEvent(event);
}

}  // namespace keelmend
