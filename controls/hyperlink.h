// CHyperLink: a text label that acts as a link.
#pragma once

#include <QColor>
#include <QLabel>
#include <QString>

namespace keelmend {

// The report shown when a target cannot be opened: "Unable to open
// hyperlink:\n\n" followed by the message for the opener's result code
// (see controls/link_opener.h), e.g. code 26 gives "A sharing violation
// occurred. ", an unknown code "Unknown Error (99) occurred.".
QString HyperlinkErrorText(int code);

// The link's text is drawn in the link colour (blue), the hover colour (red)
// while the pointer is over it, or the visited colour (purple) after a
// successful click; the background is the parent's. The pointer is a hand
// over it, a tooltip shows the target, and a click (or Enter/Space while it
// has the focus) opens the target through OpenLinkTarget. When that fails the
// link beeps, shows HyperlinkErrorText through AppMessageBox (OK,
// exclamation icon) and shows itself unvisited.
//
// Text and target: if the target is empty when the link is first shown, the
// text is the target; if the text is empty, the target is the text. With
// auto-size on (the default) the control resizes to its text whenever the
// text or target is set, keeping its left edge (centre or right edge for
// centred or right-aligned labels) and its top (vertical centre for
// vertically centred labels).
//
// Accessible name: the text; accessible description: the target.
class CHyperLink : public QLabel {
  Q_OBJECT

 public:
  enum UnderlineMode { kUnderlineHover = -1, kUnderlineNever = 0, kUnderlineAlways = 1 };

  static inline const QColor kDefaultLinkColour{0, 0, 238};
  static inline const QColor kDefaultVisitedColour{85, 26, 139};
  static inline const QColor kDefaultHoverColour{255, 0, 0};

  explicit CHyperLink(QWidget* parent = nullptr);
  CHyperLink(const QString& text, const QString& target, QWidget* parent = nullptr);

  void SetLinkTarget(const QString& target);
  QString GetLinkTarget() const { return target_; }
  // Sets the text and applies the text/target rule and auto-size.
  void SetLinkText(const QString& text);

  void SetColours(const QColor& link, const QColor& visited, const QColor& hover);
  QColor GetLinkColour() const { return link_colour_; }
  QColor GetVisitedColour() const { return visited_colour_; }
  QColor GetHoverColour() const { return hover_colour_; }

  void SetVisited(bool visited);
  bool GetVisited() const { return visited_; }

  // kUnderlineHover (default): underlined while hovered; kUnderlineAlways;
  // any other value: never underlined.
  void SetUnderlineMode(int mode);
  int GetUnderlineMode() const { return underline_mode_; }

  void SetAutoSize(bool adjust);
  bool GetAutoSize() const { return auto_size_; }

  bool IsHovered() const { return hovered_; }
  // The colour the text is drawn in now, and whether it is underlined now.
  QColor CurrentColour() const;
  bool IsUnderlined() const;

  // Opens the target as a click does. Returns whether it opened.
  bool Activate();

 signals:
  // After every attempt to open the target.
  void LinkOpened(const QString& target, bool succeeded);

 protected:
  bool event(QEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyTextTargetRule();
  void ApplyLook();
  void FitToText();

  QColor link_colour_ = kDefaultLinkColour;
  QColor visited_colour_ = kDefaultVisitedColour;
  QColor hover_colour_ = kDefaultHoverColour;
  bool hovered_ = false;
  bool visited_ = false;
  int underline_mode_ = kUnderlineHover;
  bool auto_size_ = true;
  QString target_;
};

}  // namespace keelmend
