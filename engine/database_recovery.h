// Database-aware recovery of a work folder, after the extraction and before
// the package is rebuilt.
//
// The extraction leaves damaged entries out, so in the work folder "damaged"
// means "missing". An embedded HSQLDB database (HSQLDB 1.8, as LibreOffice
// embeds it) keeps its schema in database/script, the rows of cached tables
// in database/data, a zipped copy of the data file from the last checkpoint
// in database/backup and its state in database/properties ("modified=no"
// after a clean close). HSQLDB reads the backup only when the properties say
// modified=yes, and with modified=yes it throws the data file away when
// there is no backup. So, measured with LibreOffice 7.4:
//   - data missing, backup and script present: properties set to
//     modified=yes (written when missing): the rows come back from the backup;
//   - data and script present, backup missing, properties missing or saying
//     modified=yes: properties set to modified=no: the rows of the data file
//     stay;
//   - script missing while rows survive: nothing can read them; said in red,
//     nothing is changed (the rows stay in the package);
//   - every other combination is left as HSQLDB handles it by itself.
// An embedded Firebird database is one file, database/firebird.fbk; there is
// nothing to do beyond leaving a damaged one out.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sinks.h"

namespace keelmend {

enum class EmbeddedEngine { kNone, kHsqldb, kFirebird };

struct DatabaseRecovery {
  EmbeddedEngine engine = EmbeddedEngine::kNone;
  bool restoreFromBackup = false;  // modified=yes so that HSQLDB reads database/backup
  bool keepDataFile = false;       // modified=no so that HSQLDB keeps database/data
  bool wroteProperties = false;    // database/properties was missing and was written
  bool schemaLost = false;         // rows survive but database/script does not
  bool failed = false;             // database/properties could not be written
  std::vector<std::string> notes;  // one short text per step taken, as logged
};

// Which embedded database `workFolder` holds: HSQLDB when any of its
// database/ files is there, Firebird when database/firebird.fbk is, else what
// content.xml names (sdbc:embedded:hsqldb or sdbc:embedded:firebird).
EmbeddedEngine DetectEmbeddedEngine(const std::filesystem::path& workFolder);

// Applies the steps above to `workFolder` and logs each as a path-less line
// (" database/... ....\r\n", black; red when nothing can be done or the
// properties cannot be written). Never throws.
DatabaseRecovery RecoverDatabase(const std::filesystem::path& workFolder, LogSink& log);

// The text of an HSQLDB properties file with its "modified" key set to yes or
// no; every other line stays as it was. Adds the key when it is absent.
std::string WithModifiedFlag(std::string_view properties, bool modified);

// The properties file written when database/properties is missing.
std::string MinimalHsqldbProperties(bool modified);

}  // namespace keelmend
