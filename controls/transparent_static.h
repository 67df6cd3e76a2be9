// CTrelTransparentStatic: a text label without a background of its own.
#pragma once

#include <QLabel>

namespace keelmend {

// Draws its text (black by default, left and top aligned, no word wrap; line
// breaks in the text start new lines) straight over whatever its parent
// paints, e.g. a picture. Changing the text repaints the parent under the
// label, so a shorter text leaves nothing of the longer one behind.
// Accessible name: its text, unless one is set.
class CTrelTransparentStatic : public QLabel {
  Q_OBJECT

 public:
  explicit CTrelTransparentStatic(QWidget* parent = nullptr);
  explicit CTrelTransparentStatic(const QString& text, QWidget* parent = nullptr);

  // Sets the text and repaints the parent under the label's whole area.
  void SetText(const QString& text);

 private:
  void Init();
};

}  // namespace keelmend
