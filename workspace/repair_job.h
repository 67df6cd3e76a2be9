// The repair job: what Repair files runs on the job thread.
#pragma once

#include "workspace/workspace_state.h"

namespace keelmend {

// Repairs every listed file into its work folder through the shared
// pipeline (engine/repair_pipeline.h). While it runs, the window shows its
// log lines, the total bar moving per file, the file bar per entry while a
// file is unpacked, and each file's mark in the list (repaired: image and
// data 1; stopped or not readable: image and data 0). The end brings the
// Repaired state. Runs on the job thread, which StartRepair starts once it
// has cleared the last run and entered the Repairing state. Returns 1.
int RepairJob(JobContext* context);

// The starter of Repair files: RepairJob on the view's job thread. Should no
// thread be available, the window goes straight back to the Repaired state.
void StartRepairJobThread(JobContext* context);

}  // namespace keelmend
