// AppMessageBox: the one way the program shows its messages.
#pragma once

#include <QString>

#include "controls/user_query.h"

class QWidget;

namespace keelmend {

// The caption of every box the program shows.
inline const QString kAppTitle = QStringLiteral("VantrelWorks Keelmend");

// Shows `text` with caption "VantrelWorks Keelmend" through the installed
// UserQuery and returns the button id: kIdOk (1), kIdYes (6), kIdNo (7), or
// kIdCancel (2) for an OK box closed by Escape or its close box, and when no
// box can be shown at all (no QApplication). Callers of a question compare
// the result with kIdYes and treat anything else as No.
//
// `style` is kStyleNotice (64: OK, information icon) or kStyleQuestion (36:
// Yes/No, question icon); other icon bits (16, 48) are accepted as well.
//
// `text` is plain text with optional markup: "<br>" (line break), "<b>...</b>"
// and "<a href='TARGET'>LABEL</a>" (a link opening TARGET: a web address, a
// "mailto:" address, a file or a folder). Line breaks in the text break the
// line too; every other character is shown as it stands (see
// controls/message_markup.h).
//
// `owner`: the window the box is centred over; when null, the active window
// of the calling thread (none on a worker thread).
//
// Callable from any thread. On the window thread the box runs modally; on a
// worker thread the call is carried to the window thread (blocking queued
// invocation) and the worker waits until the box is answered. The window
// thread must therefore never wait for a worker that may ask.
int AppMessageBox(QWidget* owner, const QString& text, int style);

}  // namespace keelmend
