#include "engine/odf_manifest.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <system_error>

namespace keelmend {
namespace fs = std::filesystem;

namespace {

constexpr const char* kDatabaseMediaType = "application/vnd.oasis.opendocument.base";
constexpr const char* kConfigurationMediaType = "application/vnd.sun.xml.ui.configuration";
constexpr const char* kManifestNamespace = "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0";
constexpr const char* kManifestVersion = "1.3";

// ---- the tolerant well-formedness checker ---------------------------------

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameStart(char c) {
  const auto u = static_cast<unsigned char>(c);
  return std::isalpha(u) != 0 || c == '_' || c == ':' || u >= 0x80;
}

bool IsNameChar(char c) {
  return IsNameStart(c) || std::isdigit(static_cast<unsigned char>(c)) != 0 || c == '-' ||
         c == '.';
}

std::string_view LocalName(std::string_view name) {
  const auto colon = name.find(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

std::string_view Prefix(std::string_view name) {
  const auto colon = name.find(':');
  return colon == std::string_view::npos ? std::string_view{} : name.substr(0, colon);
}

// Resolves the five predefined entities and character references; anything
// else is kept as written.
std::string Unescape(std::string_view raw) {
  std::string out;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    const auto semi = raw[i] == '&' ? raw.find(';', i) : std::string_view::npos;
    if (semi == std::string_view::npos) {
      out += raw[i];
      continue;
    }
    const std::string_view ref = raw.substr(i + 1, semi - i - 1);
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}};
    bool done = false;
    for (const auto& [name, ch] : kNamed) {
      if (ref == name) {
        out += ch;
        done = true;
      }
    }
    if (!done && ref.size() > 1 && ref[0] == '#') {
      const bool hex = ref[1] == 'x';
      unsigned long code = 0;
      try {
        code = std::stoul(std::string(ref.substr(hex ? 2 : 1)), nullptr, hex ? 16 : 10);
      } catch (...) {
        code = 0;
      }
      if (code > 0 && code < 0x110000) {  // as UTF-8
        if (code < 0x80) {
          out += static_cast<char>(code);
        } else if (code < 0x800) {
          out += static_cast<char>(0xC0 | (code >> 6));
          out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
          out += static_cast<char>(0xE0 | (code >> 12));
          out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
          out += static_cast<char>(0xF0 | (code >> 18));
          out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
          out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
          out += static_cast<char>(0x80 | (code & 0x3F));
        }
        done = true;
      }
    }
    if (!done) {
      out += raw.substr(i, semi - i + 1);
    }
    i = semi;
  }
  return out;
}

struct Tag {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;  // raw values
  bool selfClosing = false;
};

// Walks the text once. Every step returns false on a fault and records which
// one: running out of text is "cut short", anything else "malformed".
class Checker {
 public:
  explicit Checker(std::string_view text) : s_(text) {}

  ParsedManifest Run() {
    if (s_.substr(0, 3) == "\xEF\xBB\xBF") {
      i_ = 3;
    }
    if (!Prolog() || !Root() || !Epilog()) {
      result_.entries.clear();
      return Fail();
    }
    return result_;
  }

 private:
  ParsedManifest Fail() {
    ParsedManifest failed;
    failed.fault = fault_;
    return failed;
  }
  bool Short() {
    fault_ = ManifestFault::kCutShort;
    return false;
  }
  bool Bad() {
    fault_ = ManifestFault::kMalformed;
    return false;
  }
  bool AtEnd() const { return i_ >= s_.size(); }
  bool LooksAt(std::string_view what) const { return s_.substr(i_, what.size()) == what; }
  // The text ends in the middle of `what`.
  bool EndsInside(std::string_view what) const {
    const auto rest = s_.substr(i_);
    return rest.size() < what.size() && what.substr(0, rest.size()) == rest;
  }
  void SkipSpace() {
    while (!AtEnd() && IsSpace(s_[i_])) ++i_;
  }
  bool SkipPast(std::string_view terminator) {
    const auto at = s_.find(terminator, i_);
    if (at == std::string_view::npos) return Short();
    i_ = at + terminator.size();
    return true;
  }

  // Comments, processing instructions and (before the root) a doctype.
  // Returns false with no fault set when nothing of the kind is next.
  bool Misc(bool allowDoctype) {
    if (EndsInside("<!--") || EndsInside("<![CDATA[") || (allowDoctype && EndsInside("<!DOCTYPE"))) {
      return Short();
    }
    if (LooksAt("<?")) return SkipPast("?>");
    if (LooksAt("<!--")) return SkipPast("-->");
    if (allowDoctype && LooksAt("<!DOCTYPE")) return SkipPast(">");
    return false;
  }

  bool Prolog() {
    for (;;) {
      SkipSpace();
      if (AtEnd()) return Short();
      if (s_[i_] != '<') return Bad();
      const auto before = i_;
      if (!Misc(true)) {
        if (fault_ != ManifestFault::kNone) return false;
        return i_ == before;  // the root element starts here
      }
    }
  }

  bool Name(std::string& out) {
    if (AtEnd()) return Short();
    if (!IsNameStart(s_[i_])) return Bad();
    const auto from = i_;
    while (!AtEnd() && IsNameChar(s_[i_])) ++i_;
    if (AtEnd()) return Short();
    out.assign(s_.substr(from, i_ - from));
    return true;
  }

  bool Attribute(Tag& tag) {
    std::string name;
    if (!Name(name)) return false;
    SkipSpace();
    if (AtEnd()) return Short();
    if (s_[i_] != '=') return Bad();
    ++i_;
    SkipSpace();
    if (AtEnd()) return Short();
    const char quote = s_[i_];
    if (quote != '"' && quote != '\'') return Bad();
    const auto close = s_.find(quote, ++i_);
    if (close == std::string_view::npos) return Short();
    const std::string_view value = s_.substr(i_, close - i_);
    if (value.find('<') != std::string_view::npos) return Bad();
    tag.attributes.emplace_back(std::move(name), std::string(value));
    i_ = close + 1;
    return true;
  }

  // A start tag from its "<".
  bool StartTag(Tag& tag) {
    ++i_;
    if (!Name(tag.name)) return false;
    for (;;) {
      const auto before = i_;
      SkipSpace();
      if (AtEnd()) return Short();
      if (EndsInside("/>")) return Short();
      if (LooksAt("/>")) {
        i_ += 2;
        tag.selfClosing = true;
        return true;
      }
      if (s_[i_] == '>') {
        ++i_;
        return true;
      }
      if (i_ == before) return Bad();  // attributes need blanks between them
      if (!Attribute(tag)) return false;
    }
  }

  bool EndTag(const std::string& expected) {
    i_ += 2;
    std::string name;
    if (!Name(name)) return false;
    SkipSpace();
    if (AtEnd()) return Short();
    if (s_[i_] != '>' || name != expected) return Bad();
    ++i_;
    return true;
  }

  void NoteRootChild(const Tag& tag, std::size_t begin) {
    if (LocalName(tag.name) != "file-entry") return;
    ManifestElement element;
    element.begin = begin;
    for (const auto& [name, value] : tag.attributes) {
      if (LocalName(name) == "full-path") element.fullPath = Unescape(value);
    }
    result_.entries.push_back(element);
    pendingChild_ = true;
  }

  bool Root() {
    Tag root;
    if (!StartTag(root)) return false;
    if (LocalName(root.name) != "manifest") return Bad();
    result_.prefix = std::string(Prefix(root.name));
    for (const auto& [name, value] : root.attributes) {
      if (LocalName(name) == "version" && Prefix(name) == result_.prefix) {
        version_ = Unescape(value);
      }
    }
    result_.rootStartEnd = i_;
    if (root.selfClosing) {
      result_.rootEndBegin = i_;  // nothing to patch into; caller regenerates
      return true;
    }
    return Content(root.name);
  }

  // Everything inside the root up to and including its end tag.
  bool Content(const std::string& rootName) {
    std::vector<std::string> open{rootName};
    while (!open.empty()) {
      const auto lt = s_.find('<', i_);
      if (lt == std::string_view::npos) return Short();
      i_ = lt;
      if (LooksAt("</")) {
        const auto begin = i_;
        if (!EndTag(open.back())) return false;
        open.pop_back();
        if (open.empty()) {
          result_.rootEndBegin = begin;
        } else if (open.size() == 1 && pendingChild_) {
          CloseChild();
        }
        continue;
      }
      if (LooksAt("<![CDATA[")) {
        if (!SkipPast("]]>")) return false;
        continue;
      }
      if (Misc(false)) continue;
      if (fault_ != ManifestFault::kNone) return false;
      const auto begin = i_;
      Tag tag;
      if (!StartTag(tag)) return false;
      if (open.size() == 1) NoteRootChild(tag, begin);
      if (tag.selfClosing) {
        if (open.size() == 1 && pendingChild_) CloseChild();
      } else {
        open.push_back(tag.name);
      }
    }
    return true;
  }

  void CloseChild() {
    result_.entries.back().end = i_;
    pendingChild_ = false;
  }

  bool Epilog() {
    for (;;) {
      SkipSpace();
      if (AtEnd()) return true;
      if (!Misc(false)) return fault_ == ManifestFault::kNone ? Bad() : false;
    }
  }

 public:
  std::string version_;

 private:
  std::string_view s_;
  std::size_t i_ = 0;
  ManifestFault fault_ = ManifestFault::kNone;
  ParsedManifest result_;
  bool pendingChild_ = false;
};

// ---- the folder -----------------------------------------------------------

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::optional<std::string> ReadSmallFile(const fs::path& path, std::size_t limit) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  text.resize(limit);
  in.read(text.data(), static_cast<std::streamsize>(limit));
  if (in.bad()) return std::nullopt;
  text.resize(static_cast<std::size_t>(in.gcount()));
  return text;
}

std::string ReadAll(const fs::path& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ok = ok && !in.bad();
  return text;
}

bool IsRegularFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
}

bool IsDirectory(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(fs::symlink_status(path, ec));
}

// A sub-document's own type: its mimetype file when it has one, else what
// LibreOffice uses for forms and reports.
std::string SubDocumentType(const std::string& relative, const fs::path& folder) {
  if (auto own = ReadSmallFile(folder / "mimetype", 200)) {
    const bool printable = std::all_of(own->begin(), own->end(), [](unsigned char c) {
      return c > 0x20 && c < 0x7F && c != '"' && c != '<' && c != '&';
    });
    if (printable && !own->empty()) return *own;
  }
  const auto top = relative.substr(0, relative.find('/'));
  if (top == "forms") return "application/vnd.oasis.opendocument.text";
  if (top == "reports") return "application/vnd.sun.xml.report";
  return "";
}

bool NeverListed(const std::string& relative) {
  return relative == "mimetype" || relative == "META-INF" || relative.rfind("META-INF/", 0) == 0;
}

std::string EntryLine(std::string_view prefix, const ManifestListing& listing,
                      std::string_view version) {
  const std::string p = prefix.empty() ? std::string() : std::string(prefix) + ":";
  std::string line = " <" + p + "file-entry " + p + "full-path=\"" + XmlEscape(listing.fullPath) +
                     "\"";
  if (!version.empty()) line += " " + p + "version=\"" + XmlEscape(version) + "\"";
  line += " " + p + "media-type=\"" + XmlEscape(listing.mediaType) + "\"/>\n";
  return line;
}

ManifestListing RootListing() { return {"/", kDatabaseMediaType}; }

// Removes the element together with its own line when it stands alone there.
void WidenToLine(std::string_view text, std::size_t& begin, std::size_t& end) {
  auto lineStart = begin;
  while (lineStart > 0 && (text[lineStart - 1] == ' ' || text[lineStart - 1] == '\t')) --lineStart;
  if (lineStart != 0 && text[lineStart - 1] != '\n') return;
  auto lineEnd = end;
  while (lineEnd < text.size() && (text[lineEnd] == ' ' || text[lineEnd] == '\t')) ++lineEnd;
  if (lineEnd < text.size() && text[lineEnd] == '\r') ++lineEnd;
  if (lineEnd < text.size() && text[lineEnd] == '\n') {
    begin = lineStart;
    end = lineEnd + 1;
  }
}

// Where new lines go: at the start of the line that holds the given position
// when only blanks precede it there; otherwise right at it, after a newline.
std::string InsertLinesAt(std::string text, std::size_t at, const std::string& lines) {
  auto lineStart = at;
  while (lineStart > 0 && (text[lineStart - 1] == ' ' || text[lineStart - 1] == '\t')) --lineStart;
  if (lineStart == 0 || text[lineStart - 1] == '\n') {
    text.insert(lineStart, lines);
  } else {
    text.insert(at, "\n" + lines);
  }
  return text;
}

struct Patch {
  std::string text;
  std::vector<std::string> dropped;
  std::vector<std::string> added;
};

// A path that leads out of the package ("..", absolute) names nothing in it.
bool LeavesPackage(const std::string& fullPath) {
  if (fullPath.front() == '/') return true;
  for (const auto& part : fs::path(fullPath)) {
    if (part == "..") return true;
  }
  return false;
}

bool Gone(const fs::path& folder, const std::string& fullPath) {
  if (fullPath.empty() || fullPath == "/" || fullPath == "mimetype") return false;
  if (LeavesPackage(fullPath)) return true;
  if (fullPath.back() == '/') return !IsDirectory(folder / fs::path(fullPath).parent_path());
  return !IsRegularFile(folder / fs::path(fullPath));
}

Patch PatchManifest(const fs::path& folder, std::string_view text, const ParsedManifest& parsed,
                    const std::string& version,
                    const std::vector<ManifestListing>& expected) {
  Patch patch;
  std::set<std::string> listed;
  // Rebuild the text from the kept spans.
  std::size_t copied = 0;
  std::string out;
  for (const auto& element : parsed.entries) {
    listed.insert(element.fullPath);
    if (!Gone(folder, element.fullPath)) continue;
    auto begin = element.begin;
    auto end = element.end;
    WidenToLine(text, begin, end);
    out.append(text.substr(copied, begin - copied));
    copied = end;
    patch.dropped.push_back(element.fullPath);
  }
  out.append(text.substr(copied));
  const std::size_t removedBeforeEnd = text.size() - out.size();
  auto rootEnd = parsed.rootEndBegin - removedBeforeEnd;

  std::string tail;
  for (const auto& listing : expected) {
    if (listing.fullPath == "/" || listed.count(listing.fullPath) != 0) continue;
    tail += EntryLine(parsed.prefix, listing, "");
    patch.added.push_back(listing.fullPath);
  }
  if (!tail.empty()) out = InsertLinesAt(std::move(out), rootEnd, tail);
  if (listed.count("/") == 0) {
    auto at = parsed.rootStartEnd;
    if (at < out.size() && out[at] == '\r') ++at;
    if (at < out.size() && out[at] == '\n') ++at;
    const std::string line = EntryLine(parsed.prefix, RootListing(), version);
    out.insert(at, at > 0 && out[at - 1] == '\n' ? line : "\n" + line);
    patch.added.insert(patch.added.begin(), "/");
  }
  patch.text = std::move(out);
  return patch;
}

bool WriteManifest(const fs::path& path, const std::string& text) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (IsDirectory(path)) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

const char* FaultText(ManifestFault fault) {
  switch (fault) {
    case ManifestFault::kMissing:
      return "missing";
    case ManifestFault::kCutShort:
      return "cut short";
    case ManifestFault::kMalformed:
      return "unreadable";
    case ManifestFault::kNone:
      break;
  }
  return "incomplete";
}

// One line per changed listing while there are few; a database of
// thousands of entries gets one line with the count instead of thousands.
void LogListingChanges(LogSink& log, const std::vector<std::string>& names, const char* one,
                       const char* oneTail, const char* many, const char* manyTail) {
  constexpr std::size_t kLinesEach = 8;
  if (names.size() <= kLinesEach) {
    for (const auto& name : names)
      log.Log(std::string(" manifest.xml: ") + one + name + oneTail + "....\r\n", kLogBlack);
    return;
  }
  log.Log(std::string(" manifest.xml: ") + many + std::to_string(names.size()) + manyTail +
              " (" + names.front() + ", ...)....\r\n",
          kLogBlack);
}

ManifestRepair EnsureManifestUnguarded(const fs::path& workFolder, LogSink& log) {
  ManifestRepair repair;
  if (!IsDirectory(workFolder)) {
    repair.failed = true;
    return repair;
  }
  const auto expected = ExpectedListings(workFolder);
  const fs::path path = workFolder / "META-INF" / "manifest.xml";

  std::string text;
  ParsedManifest parsed;
  std::string version;
  if (!IsRegularFile(path)) {
    parsed.fault = ManifestFault::kMissing;
  } else {
    bool ok = false;
    text = ReadAll(path, ok);
    if (!ok) {
      parsed.fault = ManifestFault::kMalformed;
    } else {
      Checker checker(text);
      parsed = checker.Run();
      version = checker.version_;
      // A manifest without a prefix or without a body cannot take new lines
      // in the same form; it is rebuilt.
      if (parsed.fault == ManifestFault::kNone &&
          (parsed.prefix.empty() || parsed.rootEndBegin <= parsed.rootStartEnd)) {
        parsed.fault = ManifestFault::kMalformed;
      }
    }
  }
  repair.fault = parsed.fault;

  std::string newText;
  if (parsed.fault != ManifestFault::kNone) {
    newText = BuildManifest(expected);
    repair.regenerated = true;
  } else {
    auto patch = PatchManifest(workFolder, text, parsed, version, expected);
    repair.dropped = std::move(patch.dropped);
    repair.added = std::move(patch.added);
    if (patch.text == text) return repair;
    newText = std::move(patch.text);
  }

  if (!WriteManifest(path, newText)) {
    repair.failed = true;
    log.Log(" manifest.xml could not be written....\r\n", kLogRed);
    return repair;
  }
  repair.changed = true;
  if (repair.regenerated) {
    log.Log(std::string(" manifest.xml regenerated, the old one was ") + FaultText(repair.fault) +
                "....\r\n",
            kLogBlack);
  }
  LogListingChanges(log, repair.dropped, "dropped the entry of ", ", which is gone",
                    "dropped the entries of ", " files that are gone");
  LogListingChanges(log, repair.added, "added the missing entry of ", "",
                    "added the missing entries of ", " files");
  return repair;
}

}  // namespace

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string MediaTypeFor(std::string_view fullPath) {
  const auto slash = fullPath.rfind('/');
  const auto name = slash == std::string_view::npos ? fullPath : fullPath.substr(slash + 1);
  const auto dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return "";
  const std::string ext = Lower(name.substr(dot + 1));
  static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {
      {"xml", "text/xml"},          {"rdf", "application/rdf+xml"}, {"png", "image/png"},
      {"jpg", "image/jpeg"},        {"jpeg", "image/jpeg"},         {"gif", "image/gif"},
      {"bmp", "image/bmp"},         {"svg", "image/svg+xml"},       {"emf", "image/x-emf"},
      {"wmf", "image/x-wmf"},       {"tif", "image/tiff"},          {"tiff", "image/tiff"},
  };
  for (const auto& [e, type] : kTypes) {
    if (ext == e) return std::string(type);
  }
  return "";
}

std::vector<ManifestListing> ExpectedListings(const fs::path& workFolder) {
  std::vector<ManifestListing> listings;
  std::error_code ec;
  fs::recursive_directory_iterator it(workFolder, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path full = it->path();
    const std::string relative = full.lexically_relative(workFolder).generic_string();
    if (NeverListed(relative)) {
      if (relative == "META-INF") it.disable_recursion_pending();
      continue;
    }
    if (IsRegularFile(full)) {
      listings.push_back({relative, MediaTypeFor(relative)});
    } else if (relative == "Configurations2" && IsDirectory(full)) {
      listings.push_back({"Configurations2/", kConfigurationMediaType});
    } else if (IsDirectory(full) && IsRegularFile(full / "content.xml")) {
      listings.push_back({relative + "/", SubDocumentType(relative, full)});
    }
  }
  std::sort(listings.begin(), listings.end(),
            [](const ManifestListing& a, const ManifestListing& b) { return a.fullPath < b.fullPath; });
  listings.insert(listings.begin(), RootListing());
  return listings;
}

std::string BuildManifest(const std::vector<ManifestListing>& listings) {
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<manifest:manifest xmlns:manifest=\"";
  text += kManifestNamespace;
  text += "\" manifest:version=\"";
  text += kManifestVersion;
  text += "\">\n";
  for (const auto& listing : listings) {
    text += EntryLine("manifest", listing, listing.fullPath == "/" ? kManifestVersion : "");
  }
  text += "</manifest:manifest>\n";
  return text;
}

ParsedManifest ParseManifest(std::string_view xml) { return Checker(xml).Run(); }

ManifestRepair EnsureManifest(const fs::path& workFolder, LogSink& log) {
  try {
    return EnsureManifestUnguarded(workFolder, log);
  } catch (...) {
    ManifestRepair failed;
    failed.failed = true;
    return failed;
  }
}

}  // namespace keelmend
