// The two commands of keelmend-cli.
#pragma once

#include <string>
#include <vector>

namespace keelmend::cli {

struct Options {
  bool json = false;   // scan: machine-readable output
  bool media = true;   // repair: copy the pictures out as well
  std::string out;     // repair: destination folder
};

// Lists the entries the salvage scan finds. Returns the exit status.
int Scan(const std::string& file, const Options& options);

// Repairs and saves every file into options.out. Returns the exit status:
// 0 when all were repaired and saved, 1 otherwise.
int Repair(const std::vector<std::string>& files, const Options& options);

}  // namespace keelmend::cli
