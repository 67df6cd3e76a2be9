#include "workspace/workspace_texts.h"

namespace keelmend {

const NoticeText& NoticeTextOf(Notice notice) {
  static const NoticeText kIdle{
      QStringLiteral("Click Select files to select .odb file(s) to repair.\n"
                     "Click Repair files to see the preview of the .odb file(s)."),
      {{6, 18}, {29, 33}, {59, 72}, {99, 103}}};
  static const NoticeText kRepairing{
      QStringLiteral("Please wait while .odb file(s) are Repairing...."), {{19, 30}}};
  static const NoticeText kRepaired{
      QStringLiteral("Click item in the list to see the preview in right side.\n"
                     "Click Browse folder to select destination path.\n"
                     "Click Save.... to save .odb file(s)"),
      {{6, 22}, {62, 76}, {110, 118}, {127, 132}}};
  static const NoticeText kSaving{QStringLiteral("Please wait while .odb file(s) are saving...."),
                                  {{19, 30}}};
  static const NoticeText kSaved{
      QStringLiteral("Saving of .odb file(s) completed....\n"
                     " Click exit to end the application or \n"
                     "Select new .odb file(s) to repair...."),
      {{11, 22}}};
  switch (notice) {
    case Notice::Idle: return kIdle;
    case Notice::Repairing: return kRepairing;
    case Notice::Repaired: return kRepaired;
    case Notice::Saving: return kSaving;
    case Notice::Saved: return kSaved;
  }
  return kIdle;
}

}  // namespace keelmend
