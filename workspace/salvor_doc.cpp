#include "workspace/salvor_doc.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "workspace/salvor_view.h"

namespace keelmend {

CSalvorDoc::CSalvorDoc(QObject* parent) : QObject(parent) {}

void CSalvorDoc::InstallShortcuts(QWidget* window) {
  auto bind = [this, window](Qt::Key key, void (CSalvorDoc::*slot)()) {
    auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | key), window);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, slot);
  };
  bind(Qt::Key_N, &CSalvorDoc::OnFileNew);
  bind(Qt::Key_O, &CSalvorDoc::OnFileOpen);
  bind(Qt::Key_S, &CSalvorDoc::OnFileSave);
}

void CSalvorDoc::OnFileNew() {
  if (view_ && view_->IsSelectEnabled()) view_->SelectFiles();
}

void CSalvorDoc::OnFileOpen() { OnFileNew(); }

void CSalvorDoc::OnFileSave() {
  if (view_ && view_->IsSaveEnabled()) view_->StartSave();
}

}  // namespace keelmend
