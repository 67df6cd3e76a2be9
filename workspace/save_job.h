// The save job: what Save runs on the job thread.
#pragma once

#include <QString>

#include "workspace/workspace_state.h"

namespace keelmend {

// Refusal shown when the destination edit holds no existing folder.
inline const QString kInvalidDestinationText = QStringLiteral("Please select a valid folder path.");

// The completion message for the destination as the user typed it; its link
// opens that folder.
QString SaveCompletedText(const QString& shownDestination);

// Reads the destination edit; when it does not name an existing folder,
// says so (information box, no owner) and returns 0 with nothing changed.
// Otherwise enters the Saving state and packs every repaired file's work
// folder into the destination through the shared pipeline
// (engine/repair_pipeline.h), copying its pictures out when Extract Media is
// checked; files that are not repaired are reported and skipped, and after a
// confirmed Stop the remaining files lose their repaired mark. The log shows
// whether each archive was written completely. The end returns to the
// Repaired row with the Saved notice and shows the completion message, owned
// by the workspace window. Runs on the job thread. Returns 1 after a save.
int SaveJob(JobContext* context);

// The starter of Save: SaveJob on the view's job thread.
void StartSaveJobThread(JobContext* context);

}  // namespace keelmend
