// The package manifest (META-INF/manifest.xml) of a repaired work folder.
//
// LibreOffice refuses a package ("type detection failed") whose manifest is
// missing, unreadable, lacks the root entry "/" or leaves any packed file
// unlisted. It writes the manifest last, so almost every cut-short file has
// lost it. Before a work folder is packed, EnsureManifest makes its manifest
// match what the folder holds:
//   - missing, cut short or not well-formed: a new one is written that lists
//     every file (and every sub-document folder) with a media type, plus the
//     root entry with the database media type;
//   - intact: its lines naming files that are gone are dropped, lines for
//     files it does not list are added, the root entry is added when absent;
//     every other byte stays as it was.
// `mimetype` and the files below META-INF/ are never listed (LibreOffice
// lists neither).
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sinks.h"

namespace keelmend {

// Why an existing manifest could not be used.
enum class ManifestFault {
  kNone,       // it parsed
  kMissing,    // no META-INF/manifest.xml in the folder
  kCutShort,   // the text ends before its root element is closed
  kMalformed,  // not well-formed, or not a manifest at all
};

struct ManifestRepair {
  ManifestFault fault = ManifestFault::kNone;
  bool regenerated = false;           // a new manifest replaced or supplied the old one
  bool changed = false;               // the file on disk was written
  bool failed = false;                // the manifest could not be read or written
  std::vector<std::string> dropped;   // full paths whose lines were removed
  std::vector<std::string> added;     // full paths whose lines were added to a kept manifest
};

// Makes `workFolder`/META-INF/manifest.xml fit the folder (see above) and logs
// black lines about what it did (path-less, each " manifest.xml ...\r\n"), or
// a red line when it cannot write the file. A folder that does not exist is
// left alone (failed = true). Never throws.
ManifestRepair EnsureManifest(const std::filesystem::path& workFolder, LogSink& log);

// ---- Building blocks, exposed for tests and for the window's preview ----

// One line of a manifest: a full path ("/" for the package itself, a folder
// path ending in "/" for a sub-document) and its media type.
struct ManifestListing {
  std::string fullPath;
  std::string mediaType;
};

// Media type for a file path, as LibreOffice writes it: "text/xml" for .xml,
// image types for pictures, "" for database files and anything unknown.
std::string MediaTypeFor(std::string_view fullPath);

// What the manifest of `workFolder` must list, in sorted order: "/" first,
// then every regular file, every sub-document folder (a folder below the
// root, other than META-INF, that holds a content.xml directly) and the
// user-interface configuration folder Configurations2/ when it is there.
std::vector<ManifestListing> ExpectedListings(const std::filesystem::path& workFolder);

// A complete manifest text for `listings` (manifest version 1.3).
std::string BuildManifest(const std::vector<ManifestListing>& listings);

// One file-entry element of a parsed manifest.
struct ManifestElement {
  std::string fullPath;  // attribute value, entities resolved
  std::size_t begin = 0;  // byte span of the element in the text,
  std::size_t end = 0;    //   from "<" to just after its end
};

struct ParsedManifest {
  ManifestFault fault = ManifestFault::kNone;
  std::string prefix;                    // namespace prefix of the root element
  std::size_t rootStartEnd = 0;          // just after the root's start tag
  std::size_t rootEndBegin = 0;          // where the root's end tag begins
  std::vector<ManifestElement> entries;  // children named file-entry, in order
};

// Checks that `xml` is a well-formed manifest (a small tolerant checker: XML
// declaration, comments, processing instructions, elements, quoted
// attributes, character data) and lists its file entries.
ParsedManifest ParseManifest(std::string_view xml);

// Escapes &, <, >, " and ' for an attribute value.
std::string XmlEscape(std::string_view text);

}  // namespace keelmend
