// CPPMessageBoxTemplate: the real box behind AppMessageBox.
#pragma once

#include <QDialog>
#include <QList>

class QLabel;
class QPushButton;

namespace keelmend {

// A modal box: caption "VantrelWorks Keelmend", the icon of the style's icon
// bits (question, information, warning, error), the text rendered from its
// markup beside it, and the buttons of the style ("OK", or "Yes" then "No"),
// over the yellow bump background (controls/bump_background.h).
//
// Dismissal: a button ends the box with its id (kIdOk, kIdYes, kIdNo). An OK
// box also closes on Escape or its close box with kIdCancel. A Yes/No box
// cannot be dismissed any other way: its close box is removed, and Escape and
// close requests are refused.
//
// A link in the text opens its target through OpenLinkTarget (a folder opens
// in the file manager); nothing is reported when that fails.
//
// Accessible names: the box has its caption, the text label the plain text,
// each button its label.
class CPPMessageBoxTemplate : public QDialog {
  Q_OBJECT

 public:
  CPPMessageBoxTemplate(QWidget* owner, const QString& text, int style);

  // Beeps (unless kMbNoSound), shows the box modally and returns the id of
  // the button that ended it. Call on the window thread.
  int Run();

  int Style() const { return style_; }
  QLabel* TextLabel() const { return text_label_; }
  QList<QPushButton*> Buttons() const { return buttons_; }
  // The button with that id, or null.
  QPushButton* Button(int id) const;

  // Whether the box refuses Escape and close requests (Yes/No boxes).
  bool IsDismissalLocked() const;

 public slots:
  // Refused (does nothing) for a Yes/No box; otherwise ends with kIdCancel.
  void reject() override;
  void done(int result) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void BuildLayout(const QString& text);
  void AddButton(const QString& label, int id);
  void OpenLink(const QString& target);

  int style_;
  bool finishing_ = false;  // a button (or reject of an OK box) ends the box
  QLabel* text_label_ = nullptr;
  QList<QPushButton*> buttons_;
};

}  // namespace keelmend
