// The small markup of the program's message texts, turned into Qt rich text.
//
// Recognised (tag names in any case): "<br>" and "<br/>", "<b>" and "</b>",
// "<a href='TARGET'>" or "<a href=\"TARGET\">" and "</a>". A line feed, or a
// carriage return with or without a line feed, also breaks the line; line
// breaks at the very end of the text are dropped (system error texts end with
// one). Everything else, including '<', '&' and quotes in paths, is shown
// literally, so callers pass paths unchanged and never escape anything.
#pragma once

#include <QString>

namespace keelmend {

// Qt rich text (for a QLabel with Qt::RichText) showing `markup`.
QString MessageMarkupToRichText(const QString& markup);

// The text a reader of `markup` sees, without tags (for accessible names).
QString MessageMarkupToPlainText(const QString& markup);

}  // namespace keelmend
