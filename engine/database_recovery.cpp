#include "engine/database_recovery.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

namespace keelmend {
namespace fs = std::filesystem;

namespace {

bool IsFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
}

std::optional<std::string> ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return text;
}

bool WriteText(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\f'; }

// The value of the "modified" key, if the properties hold one.
std::optional<std::string> ModifiedValue(std::string_view properties) {
  std::optional<std::string> value;
  std::size_t pos = 0;
  while (pos < properties.size()) {
    auto end = properties.find('\n', pos);
    if (end == std::string_view::npos) end = properties.size();
    auto line = properties.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) ++i;
    if (line.substr(i, 8) == "modified") {
      auto j = i + 8;
      while (j < line.size() && IsBlank(line[j])) ++j;
      if (j < line.size() && (line[j] == '=' || line[j] == ':')) {
        ++j;
        while (j < line.size() && IsBlank(line[j])) ++j;
        auto v = line.substr(j);
        while (!v.empty() && IsBlank(v.back())) v.remove_suffix(1);
        value = std::string(v);  // the last one counts, as in java.util.Properties
      }
    }
    pos = end + 1;
  }
  return value;
}

struct Folder {
  fs::path script, data, backup, properties;
  explicit Folder(const fs::path& work)
      : script(work / "database" / "script"),
        data(work / "database" / "data"),
        backup(work / "database" / "backup"),
        properties(work / "database" / "properties") {}
};

void Note(DatabaseRecovery& result, LogSink& log, const std::string& text, Colour colour) {
  result.notes.push_back(text);
  log.Log(" " + text + "....\r\n", colour);
}

// Makes database/properties say modified=<modified>, writing a minimal file
// when there is none. Returns false when it cannot be written.
bool SetModified(const Folder& f, bool modified, DatabaseRecovery& result) {
  auto text = IsFile(f.properties) ? ReadText(f.properties) : std::nullopt;
  const bool missing = !text.has_value();
  const std::string updated =
      missing ? MinimalHsqldbProperties(modified) : WithModifiedFlag(*text, modified);
  if (!missing && updated == *text) return true;
  if (!WriteText(f.properties, updated)) return false;
  result.wroteProperties = missing;
  return true;
}

void RecoverHsqldb(const Folder& f, DatabaseRecovery& result, LogSink& log) {
  const bool script = IsFile(f.script);
  const bool data = IsFile(f.data);
  const bool backup = IsFile(f.backup);
  if (!script) {
    if (data || backup) {
      result.schemaLost = true;
      Note(result, log,
           "database/script is missing; the rows that survive in database/data and "
           "database/backup cannot be read without it",
           kLogRed);
    }
    return;
  }
  if (!data && backup) {
    if (!SetModified(f, true, result)) {
      result.failed = true;
      Note(result, log, "database/properties could not be written", kLogRed);
      return;
    }
    result.restoreFromBackup = true;
    Note(result, log,
         "database/data is missing; database/properties now says modified=yes so that "
         "HSQLDB restores the rows from database/backup",
         kLogBlack);
    return;
  }
  if (data && !backup) {
    const auto text = IsFile(f.properties) ? ReadText(f.properties) : std::nullopt;
    const auto flag = text ? ModifiedValue(*text) : std::nullopt;
    if (text && flag && *flag == "no") return;  // HSQLDB reads the data file as it is
    if (!SetModified(f, false, result)) {
      result.failed = true;
      Note(result, log, "database/properties could not be written", kLogRed);
      return;
    }
    result.keepDataFile = true;
    Note(result, log,
         "database/backup is missing; database/properties now says modified=no so that "
         "HSQLDB keeps the rows of database/data",
         kLogBlack);
  }
}

std::optional<std::string> ReadHead(const fs::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(limit, '\0');
  in.read(text.data(), static_cast<std::streamsize>(limit));
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

}  // namespace

std::string MinimalHsqldbProperties(bool modified) {
  // What HSQLDB 1.8 needs to open the files beside it: its version and the
  // modified flag. Everything else falls back to the engine's defaults.
  return std::string("version=1.8.0\nmodified=") + (modified ? "yes" : "no") + "\n";
}

std::string WithModifiedFlag(std::string_view properties, bool modified) {
  const std::string value = modified ? "yes" : "no";
  std::string out;
  bool found = false;
  std::size_t pos = 0;
  while (pos < properties.size()) {
    auto end = properties.find('\n', pos);
    const bool hasNewline = end != std::string_view::npos;
    if (!hasNewline) end = properties.size();
    std::string_view line = properties.substr(pos, end - pos);
    const bool cr = !line.empty() && line.back() == '\r';
    if (cr) line.remove_suffix(1);
    if (ModifiedValue(line).has_value()) {
      const auto key = line.find("modified");
      out.append(line.substr(0, key));
      out += "modified=" + value;
      found = true;
    } else {
      out.append(line);
    }
    if (cr) out += '\r';
    if (hasNewline) out += '\n';
    pos = end + 1;
  }
  if (!found) {
    if (!out.empty() && out.back() != '\n') out += '\n';
    out += "modified=" + value + "\n";
  }
  return out;
}

EmbeddedEngine DetectEmbeddedEngine(const fs::path& workFolder) {
  const Folder f(workFolder);
  if (IsFile(f.script) || IsFile(f.data) || IsFile(f.backup) || IsFile(f.properties)) {
    return EmbeddedEngine::kHsqldb;
  }
  if (IsFile(workFolder / "database" / "firebird.fbk")) return EmbeddedEngine::kFirebird;
  // The descriptor names the engine near its start; a few KiB are plenty.
  const auto head = ReadHead(workFolder / "content.xml", 64 * 1024);
  if (head && head->find("sdbc:embedded:hsqldb") != std::string::npos) {
    return EmbeddedEngine::kHsqldb;
  }
  if (head && head->find("sdbc:embedded:firebird") != std::string::npos) {
    return EmbeddedEngine::kFirebird;
  }
  return EmbeddedEngine::kNone;
}

DatabaseRecovery RecoverDatabase(const fs::path& workFolder, LogSink& log) {
  DatabaseRecovery result;
  try {
    result.engine = DetectEmbeddedEngine(workFolder);
    if (result.engine == EmbeddedEngine::kHsqldb) RecoverHsqldb(Folder(workFolder), result, log);
  } catch (...) {
    result.failed = true;
  }
  return result;
}

}  // namespace keelmend
