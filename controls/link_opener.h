// Opening link targets: web addresses, "mailto:" addresses, files, folders.
//
// The hyperlink control and the message box's links open their targets
// through the installed opener; tests install their own.
#pragma once

#include <functional>

#include <QString>
#include <QUrl>

namespace keelmend {

// Result of opening a target, in the shell's convention: a value above 32 is
// success; 0 to 32 are the failure codes listed by HyperlinkErrorMessage.
inline constexpr int kOpenSucceeded = 42;
inline constexpr int kOpenFileNotFound = 2;
inline constexpr int kOpenPathNotFound = 3;
inline constexpr int kOpenNoAssociation = 31;
inline constexpr bool OpenSucceeded(int result) { return result > 32; }

using LinkOpener = std::function<int(const QString& target)>;

// The address a target stands for: "http:", "https:", "ftp:", "file:" and
// "mailto:" targets as they are; "www." targets as http addresses; anything
// else is a local file or folder path (made absolute).
QUrl UrlForLinkTarget(const QString& target);

// The default opener: QDesktopServices::openUrl on UrlForLinkTarget. A local
// path that does not exist gives kOpenFileNotFound (kOpenPathNotFound when its
// folder is missing too) without asking the desktop; a desktop that cannot
// open the address gives kOpenNoAssociation; success gives kOpenSucceeded.
int OpenWithDesktop(const QString& target);

// Opens `target` with the installed opener (OpenWithDesktop by default).
int OpenLinkTarget(const QString& target);

// Installs `opener` (an empty function brings back OpenWithDesktop) and
// returns the one installed before. Call on the window thread.
LinkOpener SetLinkOpener(LinkOpener opener);

}  // namespace keelmend
