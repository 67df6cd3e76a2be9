// The commands that change the file list: Select files, Remove files and
// drops, with the work folders kept in step with the rows.
#include <filesystem>
#include <system_error>

#include <QApplication>

#include "controls/app_message_box.h"
#include "controls/user_query.h"
#include "engine/work_folder.h"
#include "workspace/path_text.h"
#include "workspace/salvor_view.h"
#include "workspace/trel_list_ctrl.h"
#include "workspace/workspace_texts.h"

namespace keelmend {

namespace fs = std::filesystem;

namespace {

// Shows the wait cursor for as long as it lives.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

bool IsFolder(const fs::path& path) {
  std::error_code error;
  return fs::is_directory(fs::symlink_status(path, error));
}

bool Exists(const fs::path& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

// A name beside `folder` that no work folder can have: work folder names end
// in a digit, this one does not.
fs::path AsideName(const fs::path& folder) {
  fs::path aside = folder;
  aside += ".removed";
  while (Exists(aside)) aside += "~";
  return aside;
}

}  // namespace

bool CSalvorView::WorkRootExists() const { return Exists(GetWorkRoot()); }

bool CSalvorView::WorkRootIsFolder() const { return IsFolder(GetWorkRoot()); }

void CSalvorView::ClearWorkRootNow() {
  ShowPreview(QString(), PreviewState::NoText);  // let go of a shown picture file first
  ClearWorkRoot();
}

fs::path CSalvorView::WorkFolderOf(int row) const {
  return WorkFolderPath(ItemTextUtf8(fileList_->ItemText(row)), row);
}

void CSalvorView::SelectFiles() {
  if (state_->Busy()) return;  // a job still reads or writes the work folders
  const QStringList names = CurrentUserQuery().OpenFiles(this, QString(), texts::kOdbFilter);
  if (names.isEmpty()) return;  // cancelled: nothing changes
  {
    // The wait cursor covers the clearing, not the dialog or the messages,
    // which keep their own cursor.
    WaitCursor wait;
    if (WorkRootIsFolder()) ClearWorkRootNow();
    if (state_->listHoldsResults.load() != 0) {
      fileList_->DeleteAll();
      state_->listHoldsResults = 0;
    }
  }
  SetLogText(texts::kListedLog);
  ShowPreview(QString(), PreviewState::SelectToRepair);
  for (const QString& name : names) {
    if (fileList_->IsNotInList(name)) {
      fileList_->AppendItem(name);
    } else {
      AppMessageBox(nullptr, name + texts::kAlreadyListed, kStyleNotice);
    }
  }
  ApplyWindowState(WindowState::Listed);
}

void CSalvorView::RemoveFiles() {
  if (state_->Busy()) return;
  if (fileList_->SelectedRows().isEmpty()) {
    AppMessageBox(nullptr, texts::kNothingToRemove, kStyleNotice);
    return;
  }
  for (QList<int> rows = fileList_->SelectedRows(); !rows.isEmpty();
       rows = fileList_->SelectedRows()) {
    RemoveRow(rows.first());
  }
  if (fileList_->Count() > 0) {
    ShowPreview(QString(), PreviewState::SelectToPreview);
  } else {
    ReturnToIdle();
  }
}

// Deletes the item at `row` with its work folder, then moves the work folders
// of the rows below up with their items, so that every item's folder is
// always named after its current row.
void CSalvorView::RemoveRow(int row) {
  const fs::path folder = WorkFolderOf(row);
  ShowPreview(QString(), PreviewState::NoText);
  ClearFolderContents(folder);
  std::error_code error;
  fs::remove(folder, error);
  // Whatever could not be deleted must not be taken for the folder of the
  // item that moves into this row.
  if (Exists(folder)) fs::rename(folder, AsideName(folder), error);
  fileList_->DeleteItem(row);
  RenameFoldersAfterRemoval(row);
}

void CSalvorView::RenameFoldersAfterRemoval(int removedRow) {
  for (int row = removedRow; row < fileList_->Count(); ++row) {
    const std::string text = ItemTextUtf8(fileList_->ItemText(row));
    const fs::path old = WorkFolderPath(text, row + 1);
    if (!Exists(old)) continue;
    const fs::path moved = WorkFolderPath(text, row);
    std::error_code error;
    if (!Exists(moved)) fs::rename(old, moved, error);
    if (Exists(old) || !Exists(moved) || error) {
      // The folder could not follow its item: rather than let the item reach
      // another file's data, it no longer counts as repaired.
      fileList_->ReplaceItem(row, fileList_->ItemText(row), CTrelListCtrl::NotRepaired);
    }
  }
}

void CSalvorView::ReturnToIdle() {
  ClearWorkRootNow();
  SetDestination(QStringLiteral(""));  // an empty text, not a null one
  ApplyWindowState(WindowState::Idle);
}

void CSalvorView::AddDroppedFiles(const QStringList& paths) {
  for (const QString& dropped : paths) {
    const QString path = dropped.trimmed();
    if (path.contains(QStringLiteral(".odb"), Qt::CaseSensitive)) fileList_->AppendItem(path);
  }
}

}  // namespace keelmend
