// Sinks that let the engine's jobs talk to a terminal: log lines on stdout
// (coloured when stdout is a terminal), a one-line progress bar on stderr
// (only when stderr is a terminal), messages on stderr, and Ctrl+C as the
// stop request.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "engine/repair_pipeline.h"
#include "engine/sinks.h"

namespace keelmend::cli {

class TerminalLog final : public LogSink {
 public:
  explicit TerminalLog(std::FILE* out);
  void Log(std::string_view text, Colour colour) override;

 private:
  std::FILE* out_;
  bool colour_;
};

// Draws "[#####.....]  42.00%  files 1/3" on one line of stderr, combining
// the per-file and the total run. Draws nothing when stderr is no terminal.
class TerminalProgress {
 public:
  TerminalProgress();
  ProgressSink& File() { return file_; }
  ProgressSink& Total() { return total_; }
  // Clears the bar's line so that a log line can be printed in its place.
  void Clear();

 private:
  class Run final : public ProgressSink {
   public:
    explicit Run(TerminalProgress& owner) : owner_(owner) {}
    void Start(std::uint32_t steps) override;
    void SetPosition(std::uint32_t position) override;
    std::uint32_t steps = 0;
    std::uint32_t position = 0;

   private:
    TerminalProgress& owner_;
  };
  void Draw();

  bool enabled_;
  bool drawn_ = false;
  Run file_{*this};
  Run total_{*this};
};

// Log lines go through the progress bar so that the bar is redrawn below them.
class LogBelowProgress final : public LogSink {
 public:
  LogBelowProgress(LogSink& log, TerminalProgress& progress) : log_(log), progress_(progress) {}
  void Log(std::string_view text, Colour colour) override;

 private:
  LogSink& log_;
  TerminalProgress& progress_;
};

class TerminalNotify final : public NotifySink {
 public:
  void Notify(std::string_view text) override;
};

// Ctrl+C asks the running job to stop after the file in hand; a second
// Ctrl+C ends the program at once.
class InterruptStop final : public StopQuery {
 public:
  InterruptStop();
  bool ShouldContinue() const override;
};

}  // namespace keelmend::cli
