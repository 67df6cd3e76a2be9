#include "platform/entry_names.h"

#include <cstdint>
#include <vector>

namespace keelmend::platform {
namespace {

constexpr std::size_t kMaxComponent = 255;  // NAME_MAX on Linux file systems

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t extra;
    std::uint32_t value;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1;
      value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2;
      value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3;
      value = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;  // sequence cut short
    for (std::size_t k = 1; k <= extra; ++k) {
      const auto d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      value = (value << 6) | (d & 0x3F);
    }
    if ((extra == 1 && value < 0x80) || (extra == 2 && value < 0x800) ||
        (extra == 3 && (value < 0x10000 || value > 0x10FFFF)) ||
        (value >= 0xD800 && value <= 0xDFFF)) {
      return false;
    }
    i += extra + 1;
  }
  return true;
}

}  // namespace

EntryPath EntryNameToRelativePath(std::string_view entryName) {
  EntryPath result;
  if (entryName.empty()) {
    result.problem = "the name is empty";
    return result;
  }
  if (entryName.find('\0') != std::string_view::npos) {
    result.problem = "the name holds a NUL byte";
    return result;
  }
  std::vector<std::string> components;
  std::string current;
  bool endsWithSeparator = false;
  auto flush = [&]() {
    if (!current.empty() && current != "." && current != "..") components.push_back(current);
    current.clear();
  };
  for (const char c : entryName) {
    if (c == '\\' || c == '/') {
      result.hadSeparator = true;
      flush();
      endsWithSeparator = true;
      continue;
    }
    endsWithSeparator = false;
    if (c == ':') continue;
    current.push_back(c);
  }
  flush();
  if (endsWithSeparator) {
    result.problem = "the name ends with a separator and names a folder";
    return result;
  }
  if (components.empty()) {
    result.problem = "no file name is left once \".\", \"..\" and separators are taken out";
    return result;
  }
  for (const auto& component : components) {
    if (component.size() > kMaxComponent) {
      result.problem = "a part of the name is longer than 255 bytes";
      return result;
    }
  }
  std::filesystem::path relative;
  for (const auto& component : components) relative /= component;
  result.relative = relative;
  result.status = EntryNameStatus::kOk;
  return result;
}

std::filesystem::path ConfinedPath(const std::filesystem::path& folder,
                                   const std::filesystem::path& relative) {
  if (folder.empty()) return relative;
  return folder / relative;
}

bool IsBelowFolder(const std::filesystem::path& folder, const std::filesystem::path& path) {
  const auto base = folder.lexically_normal();
  const auto full = path.lexically_normal();
  auto b = base.begin();
  auto f = full.begin();
  for (; b != base.end(); ++b, ++f) {
    if (b->empty()) continue;  // trailing separator of the folder
    if (f == full.end() || *b != *f) return false;
  }
  // Something must follow, and it must not climb.
  bool any = false;
  for (; f != full.end(); ++f) {
    if (f->empty() || *f == ".") continue;
    if (*f == "..") return false;
    any = true;
  }
  return any;
}

std::string RelativePathToEntryName(const std::filesystem::path& relative) {
  std::string name;
  for (const auto& part : relative) {
    const std::string& text = part.native();
    if (text.empty() || text == "." || text == "/") continue;
    if (!name.empty()) name.push_back('/');
    name += text;
  }
  return name;
}

std::string EntryNameForDisplay(std::string_view entryName) {
  if (IsValidUtf8(entryName)) return std::string(entryName);
  std::string text;
  text.reserve(entryName.size() * 2);
  for (const char ch : entryName) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      text.push_back(static_cast<char>(c));
    } else {
      text.push_back(static_cast<char>(0xC0 | (c >> 6)));
      text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return text;
}

}  // namespace keelmend::platform
