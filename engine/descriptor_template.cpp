#include "engine/descriptor_template.h"


#include <string>

#include "platform/file_io.h"
#include "platform/folder_removal.h"
#include "platform/temp_paths.h"

namespace keelmend {
namespace {

// The template, byte for byte (999 bytes, LF line ends, no LF
// after the last line). Program resource RCDATA 363 in the original.
constexpr std::string_view kHsqldbTemplate = R"KMTPL(<?xml version="1.0" encoding="UTF-8"?>

<office:document-content xmlns:office="http://openoffice.org/2004/office" xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" xmlns:svg="http://www.w3.org/2000/svg" xmlns:ooo="http://openoffice.org/2004/office" xmlns:db="http://openoffice.org/2004/database" office:version="1.1">
 <office:font-face-decls/>
 <office:automatic-styles/>
 <office:body>
  <office:database>
   <db:data-source db:connection-resource="sdbc:embedded:hsqldb" db:suppress-version-columns="true">
    <db:login db:is-password-required="false"/>
    <db:table-filter>
     <db:table-filter-pattern>%</db:table-filter-pattern>
    </db:table-filter>
   </db:data-source>
  </office:database>
 </office:body>
</office:document-content>)KMTPL";

static_assert(kHsqldbTemplate.size() == kDescriptorTemplateSize,
              "the descriptor template must be exactly 999 bytes");

const std::string& FirebirdTemplate() {
  static const std::string text = [] {
    std::string t(kHsqldbTemplate);
    const std::string from = "sdbc:embedded:hsqldb";
    t.replace(t.find(from), from.size(), "sdbc:embedded:firebird");
    return t;
  }();
  return text;
}

}  // namespace

std::string_view DescriptorTemplateText(DatabaseEngine engine) {
  if (engine == DatabaseEngine::kFirebird) return FirebirdTemplate();
  return kHsqldbTemplate;
}

DatabaseEngine DetectDatabaseEngine(const std::filesystem::path& folder) {
  if (platform::KindOfPath(folder / "database" / "firebird.fbk") == platform::PathKind::kFile)
    return DatabaseEngine::kFirebird;
  return DatabaseEngine::kHsqldb;
}

bool WriteDescriptorTemplate(const std::filesystem::path& folder, DatabaseEngine engine) {
  try {
    if (folder.empty()) return false;
    const std::filesystem::path target = folder / "content.xml";
    const platform::PathKind kind = platform::KindOfPath(target);
    if (kind != platform::PathKind::kMissing) {
      if (kind == platform::PathKind::kFolder) return false;
      if (kind == platform::PathKind::kFile) {
        platform::InputFile existing;
        if (existing.Open(target, nullptr, /*exclusive=*/false) &&
            existing.Size() >= kDescriptorKeepThreshold) {
          return true;  // the salvaged descriptor stays, whatever it holds
        }
      }
      // Short, unreadable or not a plain file: replaced below (the rename
      // replaces a file or a symbolic link itself).
    }
    const std::string_view text = DescriptorTemplateText(engine);
    platform::OutputFile out;
    std::filesystem::path temp;
    if (!platform::CreateTempFileNextTo(target, out, temp, nullptr)) return false;
    const bool written = out.Write(text.data(), text.size(), nullptr);
    const bool closed = out.Close(nullptr);
    if (!written || !closed || !platform::RenameReplacing(temp, target, nullptr)) {
      platform::RemoveFile(temp, nullptr);
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

bool WriteDescriptorTemplate(const std::filesystem::path& folder) {
  try {
    if (folder.empty()) return false;
    return WriteDescriptorTemplate(folder, DetectDatabaseEngine(folder));
  } catch (...) {
    return false;
  }
}

}  // namespace keelmend
