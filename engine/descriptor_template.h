// The database descriptor template.
//
// A minimal content.xml for a database embedded in the file, written into a
// work folder whenever the salvaged content.xml there is missing or shorter
// than 999 bytes. The template is a fixed 999-byte text (UTF-8, no
// byte-order mark, lines ended by a single LF, none after the last line),
// kept as a constant in descriptor_template.cpp. The four namespaces that are
// not OASIS URNs are http://openoffice.org/2004/office,
// http://openoffice.org/2004/database, http://www.w3.org/1999/xlink and
// http://www.w3.org/2000/svg, which make it exactly 999 bytes.
//
// Mended: a Firebird database (the salvaged files include
// database/firebird.fbk) gets the template with
// db:connection-resource="sdbc:embedded:firebird" (1001 bytes) instead of
// "sdbc:embedded:hsqldb". Whatever the template's own length, an existing
// content.xml of 999 bytes or more stays.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace keelmend {

enum class DatabaseEngine { kHsqldb, kFirebird };

// Length of the HSQLDB template, and the size from which an existing
// content.xml is kept.
inline constexpr std::size_t kDescriptorTemplateSize = 999;
inline constexpr std::size_t kDescriptorKeepThreshold = 999;

// The template's bytes for an engine.
std::string_view DescriptorTemplateText(DatabaseEngine engine = DatabaseEngine::kHsqldb);

// The engine a work folder's files point to: kFirebird when
// folder/database/firebird.fbk is a file, kHsqldb otherwise.
DatabaseEngine DetectDatabaseEngine(const std::filesystem::path& folder);

// Makes sure `folder` holds a descriptor: an existing content.xml that is a
// readable file of at least kDescriptorKeepThreshold bytes stays (true);
// otherwise the template is written in its place (through a temporary file
// renamed onto content.xml; a symbolic link of that name is replaced, not
// followed) and the result is true. False when nothing could be written, when
// content.xml is a folder, or when `folder` is empty. Reports nothing.
bool WriteDescriptorTemplate(const std::filesystem::path& folder, DatabaseEngine engine);

// The same with the engine taken from the folder (DetectDatabaseEngine).
bool WriteDescriptorTemplate(const std::filesystem::path& folder);

}  // namespace keelmend
