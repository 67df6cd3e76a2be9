#include "workspace/workspace_state.h"

#include "workspace/picture_box.h"

namespace keelmend {

namespace {
constexpr int kUnchanged = -1;
constexpr int P(PreviewState s) { return static_cast<int>(s); }
}  // namespace

WindowStateRules RulesFor(WindowState state) {
  switch (state) {
    case WindowState::Idle:
      return {1, 0, GroupRule::Disable, false, ProgressRows::None, kUnchanged,
              P(PreviewState::NoFiles), LogRule::IdleText, Notice::Idle, 0};
    case WindowState::Listed:
      return {1, 1, GroupRule::Keep, false, ProgressRows::None, kUnchanged,
              P(PreviewState::SelectToRepair), LogRule::ListedText, std::nullopt, 0};
    case WindowState::Repairing:
      return {0, 0, GroupRule::Keep, true, ProgressRows::Both, P(PreviewState::NotRepaired),
              P(PreviewState::Repairing), LogRule::Empty, Notice::Repairing, 1};
    case WindowState::Repaired:
      return {1, 1, GroupRule::Enable, false, ProgressRows::None, kUnchanged,
              P(PreviewState::SelectToPreview), LogRule::Keep, Notice::Repaired, 0};
    case WindowState::Saving:
      return {0, 0, GroupRule::Disable, true, ProgressRows::TotalOnly, kUnchanged, kUnchanged,
              LogRule::Empty, Notice::Saving, 1};
  }
  return RulesFor(WindowState::Idle);
}

}  // namespace keelmend
