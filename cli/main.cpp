// keelmend-cli: the repair without a window.
//
//   keelmend-cli scan FILE.odb [--json]
//   keelmend-cli repair FILE.odb... --out DIR [--no-media]
//
// The repair runs the same jobs as the window, with the same log lines.
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_commands.h"

namespace {

constexpr const char* kUsage =
    "Usage:\n"
    "  keelmend-cli scan FILE.odb [--json]\n"
    "      List the entries the salvage scan finds in FILE.odb: name, compressed\n"
    "      and uncompressed size, data offset and modification time.\n"
    "  keelmend-cli repair FILE.odb... --out DIR [--no-media]\n"
    "      Repair each file and save the rebuilt database as DIR/VANTRELREP_<name>,\n"
    "      with its pictures in DIR/<name>_MediaContent unless --no-media is given.\n"
    "      The source files are only read, never written.\n"
    "  keelmend-cli --help | --version\n"
    "\n"
    "Exit status: 0 when every file was repaired and saved, 1 when any file could\n"
    "not be, 2 for a wrong command line. Ctrl+C stops after the file in hand.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "keelmend-cli: %s\n\n%s", message.c_str(), kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string_view> args(argv + 1, argv + argc);
  if (args.empty()) return UsageError("no command given");
  const std::string_view command = args.front();
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version" || command == "-V") {
    std::printf("keelmend-cli (VantrelWorks Keelmend) %s\n", KEELMEND_VERSION);
    return 0;
  }

  std::vector<std::string> files;
  keelmend::cli::Options options;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string_view a = args[i];
    if (a == "--json") {
      options.json = true;
    } else if (a == "--no-media") {
      options.media = false;
    } else if (a == "--out" || a == "-o") {
      if (i + 1 >= args.size()) return UsageError("--out needs a folder");
      options.out = std::string(args[++i]);
    } else if (a.rfind("--out=", 0) == 0) {
      options.out = std::string(a.substr(6));
    } else if (a == "--help" || a == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      return UsageError("unknown option " + std::string(a));
    } else {
      files.emplace_back(a);
    }
  }

  if (command == "scan") {
    if (files.size() != 1) return UsageError("scan takes exactly one file");
    return keelmend::cli::Scan(files.front(), options);
  }
  if (command == "repair") {
    if (files.empty()) return UsageError("repair needs at least one file");
    if (options.out.empty()) return UsageError("repair needs --out DIR");
    return keelmend::cli::Repair(files, options);
  }
  return UsageError("unknown command " + std::string(command));
}
