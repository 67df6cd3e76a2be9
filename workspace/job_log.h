// The log box of the workspace: a read-only rich text box to which the jobs
// append coloured lines, and the log sink that feeds it from the engine.
#pragma once

#include <string_view>

#include <QString>
#include <QTextEdit>

#include "engine/sinks.h"

namespace keelmend {

// 0x00BBGGRR colour value to a Qt colour.
QColor ColourFromValue(Colour value);

class CJobLog : public QTextEdit {
  Q_OBJECT
 public:
  explicit CJobLog(QWidget* parent = nullptr);

  // Appends text at the end in the given colour, bold like the box's default
  // format, and scrolls so that the last line is in view. "\r\n" (and a lone
  // "\n") starts a new line; a text without a final line break is continued
  // by the next call on the same line. Callable from any thread: from another
  // thread the call waits until the window thread has appended the text.
  void AppendLog(const QString& text, Colour colour);
  void AppendLog(std::string_view utf8, Colour colour);

  // Replaces the whole text with one line in black (also from any thread).
  void SetLogText(const QString& text);
};

// Feeds engine log lines into a log box.
class JobLogSink final : public LogSink {
 public:
  explicit JobLogSink(CJobLog& log) : log_(log) {}
  void Log(std::string_view text, Colour colour) override { log_.AppendLog(text, colour); }

 private:
  CJobLog& log_;
};

}  // namespace keelmend
