#include "workspace/job_log.h"

#include <QScrollBar>
#include <QTextCursor>

#include "controls/gui_thread.h"

namespace keelmend {

QColor ColourFromValue(Colour value) {
  return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                static_cast<int>((value >> 16) & 0xFF));
}

namespace {

// The box's text uses plain line breaks; the jobs write "\r\n".
QString WithPlainLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

QTextCharFormat BoldIn(const QColor& colour) {
  QTextCharFormat format;
  format.setFontWeight(QFont::Bold);
  format.setForeground(colour);
  return format;
}

}  // namespace

CJobLog::CJobLog(QWidget* parent) : QTextEdit(parent) {
  setAccessibleName(QStringLiteral("Log"));
  setReadOnly(true);
  setFrameShape(QFrame::NoFrame);
  setLineWrapMode(QTextEdit::NoWrap);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setUndoRedoEnabled(false);
  QFont bold = font();
  bold.setBold(true);
  document()->setDefaultFont(bold);
}

void CJobLog::AppendLog(const QString& text, Colour colour) {
  RunOnGuiThread([&] {
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(WithPlainLineBreaks(text), BoldIn(ColourFromValue(colour)));
    setTextCursor(cursor);
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    viewport()->update();
  });
}

void CJobLog::AppendLog(std::string_view utf8, Colour colour) {
  AppendLog(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())), colour);
}

void CJobLog::SetLogText(const QString& text) {
  RunOnGuiThread([&] {
    clear();
    QTextCursor cursor(document());
    cursor.insertText(WithPlainLineBreaks(text), BoldIn(ColourFromValue(kLogBlack)));
  });
}

}  // namespace keelmend
