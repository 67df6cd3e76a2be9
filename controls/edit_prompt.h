// CXEditPrompt: a single-line edit that shows a grey prompt while it holds
// no text of its own.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <QString>

namespace keelmend {

// While prompting, the prompt shows in grey and the control reads as empty
// (text() is ""). The first key pressed in it, whichever key, or a press of
// any mouse button inside it ends the prompt, which then never comes back by
// itself (clearing the text later does not bring it back); receiving the
// focus alone keeps it. Setting a text:
//   - a null QString is ignored;
//   - while prompting, "" is ignored (the prompt stays);
//   - setting exactly the prompt text leaves the state as it is (while
//     prompting nothing changes; otherwise it is set as ordinary text);
//   - any other text ends the prompt and is set.
// The prompt comes back only through RestorePrompt().
//
// The prompt is the line edit's placeholder text in the palette's
// PlaceholderText colour, so while it shows the caret stands before it.
//
// Use SetText/GetText (or setText/text, which this class hides with the same
// rules). Typing into it or setting its text through a QLineEdit pointer
// ends the prompt too.
class CXEditPrompt : public QLineEdit {
  Q_OBJECT

 public:
  static inline const QColor kPromptColour{158, 158, 158};
  static inline const QString kDefaultPrompt = QStringLiteral("<Enter text here>");

  explicit CXEditPrompt(QWidget* parent = nullptr);

  // Stores the prompt; an empty prompt ends the prompt state; while the
  // state is on, the new prompt shows.
  void SetPromptText(const QString& prompt);
  QString GetPromptText() const { return prompt_; }

  bool IsPrompting() const { return prompting_; }
  // Clears the text and shows the prompt again (when the prompt is not empty).
  void RestorePrompt();

  void SetText(const QString& text);
  QString GetText() const { return QLineEdit::text(); }
  void setText(const QString& text) { SetText(text); }
  QString text() const { return GetText(); }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void EndPrompt();
  void ShowPromptState();

  bool prompting_ = true;
  QString prompt_ = kDefaultPrompt;
};

}  // namespace keelmend
