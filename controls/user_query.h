// The one seam through which the program asks the user anything.
//
// Message boxes, the open-file dialog and the folder dialog all go through
// the installed UserQuery. The window program runs with the default
// DialogUserQuery (real dialogs); tests install a ScriptedUserQuery
// (controls/scripted_user_query.h) that answers from a script.
//
// The seam is called on the window (GUI) thread: AppMessageBox moves calls
// made on a worker thread there before it asks (controls/app_message_box.h),
// and DialogUserQuery does the same for its own dialogs.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace keelmend {

// Message box style bits, the values the program's callers pass.
inline constexpr int kMbOk = 0x00000000;                // one "OK" button
inline constexpr int kMbYesNo = 0x00000004;             // "Yes" and "No"
inline constexpr int kMbButtonMask = 0x0000000F;
inline constexpr int kMbIconHand = 0x00000010;          // error icon
inline constexpr int kMbIconQuestion = 0x00000020;
inline constexpr int kMbIconExclamation = 0x00000030;   // warning icon
inline constexpr int kMbIconInformation = 0x00000040;
inline constexpr int kMbIconMask = 0x000000F0;
inline constexpr int kMbRight = 0x00080000;             // right-aligned text
inline constexpr int kMbNoSound = 0x40000000;           // no beep when shown

// The two styles the program uses.
inline constexpr int kStyleNotice = kMbOk | kMbIconInformation;   // 64
inline constexpr int kStyleQuestion = kMbYesNo | kMbIconQuestion; // 36

// Results: the id of the button that ended the box.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;  // OK box closed by Escape/close; or no box
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class UserQuery {
 public:
  virtual ~UserQuery() = default;

  // Shows `text` (with the small markup of AppMessageBox) in a modal box of
  // the given style and returns the button id (kIdOk, kIdYes, kIdNo, or
  // kIdCancel when an OK box was closed otherwise). `owner` may be null.
  virtual int MessageBox(QWidget* owner, const QString& text, int style) = 0;

  // The multiple-choice open-file dialog. `filter` is a Qt name filter such
  // as "Base File (*.odb)". Returns the chosen paths; empty when cancelled.
  virtual QStringList OpenFiles(QWidget* owner, const QString& caption,
                                const QString& filter) = 0;

  // The folder dialog. Returns the chosen folder; empty when cancelled.
  virtual QString ChooseFolder(QWidget* owner, const QString& title) = 0;
};

// Shows the real dialogs: CPPMessageBoxTemplate for messages, QFileDialog for
// files and folders. Safe to call from any thread (the dialogs run on the
// window thread; the caller waits).
class DialogUserQuery final : public UserQuery {
 public:
  int MessageBox(QWidget* owner, const QString& text, int style) override;
  QStringList OpenFiles(QWidget* owner, const QString& caption,
                        const QString& filter) override;
  QString ChooseFolder(QWidget* owner, const QString& title) override;
};

// The installed seam; the process-wide DialogUserQuery until something else
// is installed.
UserQuery& CurrentUserQuery();

// Installs `query` (not owned; it must outlive its installation) and returns
// the one installed before. nullptr brings back the default DialogUserQuery.
UserQuery* SetUserQuery(UserQuery* query);

// Installs a seam for the lifetime of a scope, restoring the previous one.
class ScopedUserQuery {
 public:
  explicit ScopedUserQuery(UserQuery& query) : previous_(SetUserQuery(&query)) {}
  ~ScopedUserQuery() { SetUserQuery(previous_); }
  ScopedUserQuery(const ScopedUserQuery&) = delete;
  ScopedUserQuery& operator=(const ScopedUserQuery&) = delete;

 private:
  UserQuery* previous_;
};

}  // namespace keelmend
