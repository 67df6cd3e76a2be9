// Fuzz target: the manifest handling. The input is a manifest text found in
// a work folder next to a few files. Checks: the parser never reads outside
// the text, its spans lie inside it, and whenever EnsureManifest succeeds
// the manifest on disk parses and lists every file the folder holds.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "engine/odf_manifest.h"
#include "engine/sinks.h"
#include "fuzz/fuzz_support.h"

namespace fs = std::filesystem;
using namespace keelmend;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const ParsedManifest parsed = ParseManifest(text);
  for (const ManifestElement& e : parsed.entries)
    fuzz::Check(e.begin <= e.end && e.end <= text.size(), "element span outside the text");
  if (parsed.fault == ManifestFault::kNone)
    fuzz::Check(parsed.rootStartEnd <= parsed.rootEndBegin && parsed.rootEndBegin <= text.size(),
                "root span outside the text");

  const fs::path& work = fuzz::ScratchFolder();
  fuzz::EmptyFolder(work);
  fs::create_directories(work / "META-INF");
  fs::create_directories(work / "database");
  fs::create_directories(work / "Forms" / "Obj11");
  fuzz::WriteFile(work / "mimetype", "application/vnd.oasis.opendocument.base");
  fuzz::WriteFile(work / "content.xml", "<x/>");
  fuzz::WriteFile(work / "database" / "script", "CREATE TABLE T(ID INT)");
  fuzz::WriteFile(work / "Forms" / "Obj11" / "content.xml", "<x/>");
  fuzz::WriteFile(work / "META-INF" / "manifest.xml", text);

  NullLog log;
  const ManifestRepair repair = EnsureManifest(work, log);
  if (repair.failed) return 0;
  const std::string written = fuzz::ReadFile(work / "META-INF" / "manifest.xml");
  const ParsedManifest after = ParseManifest(written);
  fuzz::Check(after.fault == ManifestFault::kNone, "the manifest left behind does not parse");
  std::set<std::string> listed;
  for (const ManifestElement& e : after.entries) listed.insert(e.fullPath);
  for (const ManifestListing& l : ExpectedListings(work))
    fuzz::Check(listed.count(l.fullPath) == 1, "not listed after the repair: " + l.fullPath);
  return 0;
}
