// CAboutDlg: the modal About box. The product name with its version (bold),
// the "Software" line, the rights notice and three links (the maker's web
// site, the support and the sales addresses) over a picture that fills the
// box, and an OK button. Enter and Escape do nothing in it; it closes
// through OK (or Space on it) or its close box.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>

class QPushButton;

namespace keelmend {

class CHyperLink;
class CTrelTransparentStatic;

inline const QString kApplicationTitle = QStringLiteral("VantrelWorks Keelmend");
inline const QString kRightsNotice =
    QStringLiteral("\u00A9 2026 VantrelWorks. All rights reserved.");
inline const QString kMakerWebSite = QStringLiteral("https://vantrelworks.example/keelmend");
inline const QString kSupportAddress = QStringLiteral("support@vantrelworks.example");
inline const QString kSalesAddress = QStringLiteral("sales@vantrelworks.example");

// Control ids of the box.
namespace about_id {
inline constexpr int kWebLink = 1000;
inline constexpr int kSupportLink = 1001;
inline constexpr int kSalesLink = 1002;
inline constexpr int kVersionLabel = 1003;
inline constexpr int kRightsLabel = 1004;
inline constexpr int kSoftwareLabel = 1005;
}  // namespace about_id

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
  ~CAboutDlg() override;

  CTrelTransparentStatic* VersionLabel() const { return version_; }
  CTrelTransparentStatic* RightsLabel() const { return rights_; }
  CTrelTransparentStatic* SoftwareLabel() const { return software_; }
  CHyperLink* WebLink() const { return web_; }
  CHyperLink* SupportLink() const { return support_; }
  CHyperLink* SalesLink() const { return sales_; }
  QPushButton* OkButton() const { return ok_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  CHyperLink* CreateLink(int id, const QString& text, const QString& target,
                         const QRect& rect);

  CTrelTransparentStatic* version_ = nullptr;
  CTrelTransparentStatic* rights_ = nullptr;
  CTrelTransparentStatic* software_ = nullptr;
  CHyperLink* web_ = nullptr;
  CHyperLink* support_ = nullptr;
  CHyperLink* sales_ = nullptr;
  QPushButton* ok_ = nullptr;
  QPixmap background_;
};

// Whether a key press is one the About box swallows (Enter, Return, Escape).
bool IsAboutBoxSwallowedKey(int key);

}  // namespace keelmend
