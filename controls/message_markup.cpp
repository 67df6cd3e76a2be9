#include "controls/message_markup.h"

#include <QRegularExpression>

namespace keelmend {
namespace {

enum class TokenKind { kText, kBreak, kBoldOn, kBoldOff, kLinkOn, kLinkOff };

struct Token {
  TokenKind kind;
  QString value;  // the character for kText, the target for kLinkOn
};

// A recognised tag starting at `at`; its length goes to `length`.
bool MatchTag(const QString& text, qsizetype at, Token* token, qsizetype* length) {
  static const QRegularExpression kBreak(QStringLiteral(R"(<br\s*/?>)"),
                                         QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression kBold(QStringLiteral(R"(<(/?)b>)"),
                                        QRegularExpression::CaseInsensitiveOption);
  static const QRegularExpression kLinkEnd(QStringLiteral(R"(</a\s*>)"),
                                           QRegularExpression::CaseInsensitiveOption);
  // The value ends at the first matching quote that closes the tag, so a
  // quote inside a path (/home/o'neil) stays part of the target.
  static const QRegularExpression kLink(
      QStringLiteral(R"re(<a\s+href\s*=\s*(?:'(.*?)'|"(.*?)")\s*>)re"),
      QRegularExpression::CaseInsensitiveOption);
  const auto anchored = QRegularExpression::AnchorAtOffsetMatchOption;
  if (auto m = kBreak.match(text, at, QRegularExpression::NormalMatch, anchored); m.hasMatch()) {
    *token = {TokenKind::kBreak, {}};
    *length = m.capturedLength();
    return true;
  }
  if (auto m = kBold.match(text, at, QRegularExpression::NormalMatch, anchored); m.hasMatch()) {
    *token = {m.captured(1).isEmpty() ? TokenKind::kBoldOn : TokenKind::kBoldOff, {}};
    *length = m.capturedLength();
    return true;
  }
  if (auto m = kLinkEnd.match(text, at, QRegularExpression::NormalMatch, anchored); m.hasMatch()) {
    *token = {TokenKind::kLinkOff, {}};
    *length = m.capturedLength();
    return true;
  }
  if (auto m = kLink.match(text, at, QRegularExpression::NormalMatch, anchored); m.hasMatch()) {
    QString target = m.captured(1);
    if (m.capturedStart(1) < 0) target = m.captured(2);
    *token = {TokenKind::kLinkOn, target};
    *length = m.capturedLength();
    return true;
  }
  return false;
}

QString WithoutTrailingBreaks(QString text) {
  while (!text.isEmpty() && (text.back() == u'\n' || text.back() == u'\r')) text.chop(1);
  return text;
}

QList<Token> Tokenize(const QString& markup) {
  const QString text = WithoutTrailingBreaks(markup);
  QList<Token> tokens;
  for (qsizetype i = 0; i < text.size();) {
    Token token;
    qsizetype length = 1;
    const QChar c = text[i];
    if (c == u'<' && MatchTag(text, i, &token, &length)) {
      tokens.append(token);
    } else if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') length = 2;
      tokens.append({TokenKind::kBreak, {}});
    } else {
      tokens.append({TokenKind::kText, QString(c)});
    }
    i += length;
  }
  return tokens;
}

}  // namespace

QString MessageMarkupToRichText(const QString& markup) {
  QString html;
  for (const Token& token : Tokenize(markup)) {
    switch (token.kind) {
      case TokenKind::kText: html += token.value.toHtmlEscaped(); break;
      case TokenKind::kBreak: html += QStringLiteral("<br>"); break;
      case TokenKind::kBoldOn: html += QStringLiteral("<b>"); break;
      case TokenKind::kBoldOff: html += QStringLiteral("</b>"); break;
      case TokenKind::kLinkOn:
        html += QStringLiteral("<a href=\"%1\">").arg(token.value.toHtmlEscaped());
        break;
      case TokenKind::kLinkOff: html += QStringLiteral("</a>"); break;
    }
  }
  return html;
}

QString MessageMarkupToPlainText(const QString& markup) {
  QString plain;
  for (const Token& token : Tokenize(markup)) {
    if (token.kind == TokenKind::kText) plain += token.value;
    if (token.kind == TokenKind::kBreak) plain += u'\n';
  }
  return plain;
}

}  // namespace keelmend
