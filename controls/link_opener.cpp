#include "controls/link_opener.h"

#include <mutex>

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace keelmend {
namespace {

std::mutex g_mutex;
LinkOpener g_opener;

}  // namespace

QUrl UrlForLinkTarget(const QString& target) {
  const QString text = target.trimmed();
  if (text.isEmpty()) return {};
  static const QRegularExpression kScheme(QStringLiteral("^(https?|ftp|file|mailto):"),
                                          QRegularExpression::CaseInsensitiveOption);
  if (kScheme.match(text).hasMatch()) return QUrl(text, QUrl::TolerantMode);
  if (text.startsWith(QStringLiteral("www."), Qt::CaseInsensitive)) {
    return QUrl(QStringLiteral("http://") + text, QUrl::TolerantMode);
  }
  return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

int OpenWithDesktop(const QString& target) {
  const QUrl url = UrlForLinkTarget(target);
  if (url.isEmpty() || !url.isValid()) return kOpenFileNotFound;
  if (url.isLocalFile()) {
    const QFileInfo file(url.toLocalFile());
    if (!file.exists()) return file.dir().exists() ? kOpenFileNotFound : kOpenPathNotFound;
  }
  return QDesktopServices::openUrl(url) ? kOpenSucceeded : kOpenNoAssociation;
}

int OpenLinkTarget(const QString& target) {
  LinkOpener opener;
  {
    std::lock_guard lock(g_mutex);
    opener = g_opener;
  }
  return opener ? opener(target) : OpenWithDesktop(target);
}

LinkOpener SetLinkOpener(LinkOpener opener) {
  std::lock_guard lock(g_mutex);
  LinkOpener previous = std::move(g_opener);
  g_opener = std::move(opener);
  if (!previous) previous = OpenWithDesktop;
  return previous;
}

}  // namespace keelmend
