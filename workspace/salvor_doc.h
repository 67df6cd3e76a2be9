// The workspace document. It holds no data; it routes the keys Ctrl+N and
// Ctrl+O (Select files, while selectEnabled) and Ctrl+S (Save, while
// saveEnabled) to the workspace window the main frame knows.
#pragma once

#include <QObject>
#include <QPointer>

class QWidget;

namespace keelmend {

class CSalvorView;

class CSalvorDoc : public QObject {
  Q_OBJECT
 public:
  explicit CSalvorDoc(QObject* parent = nullptr);

  // The workspace window the keys go to; null means the keys do nothing.
  void SetView(CSalvorView* view) { view_ = view; }
  CSalvorView* View() const { return view_; }

  // Binds Ctrl+N, Ctrl+O and Ctrl+S to the slots below as window-wide
  // shortcuts of `window` (the main frame), unless it binds them itself.
  void InstallShortcuts(QWidget* window);

 public slots:
  void OnFileNew();   // Ctrl+N: Select files while selectEnabled
  void OnFileOpen();  // Ctrl+O: as Ctrl+N
  void OnFileSave();  // Ctrl+S: Save while saveEnabled

 private:
  QPointer<CSalvorView> view_;
};

}  // namespace keelmend
