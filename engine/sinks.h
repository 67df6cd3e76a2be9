// The small interfaces through which the engine talks to whoever runs it.
//
// The engine never shows anything and never asks anybody directly. The
// command-line tool and the window each plug in their own implementations:
// the CLI prints, the window appends to its log box and drives its progress
// bars on the window thread.
#pragma once

#include <cstdint>
#include <string_view>

namespace keelmend {

// Colours are 0x00BBGGRR values (red in the low byte).
using Colour = std::uint32_t;
inline constexpr Colour kLogBlack = 0x000000;
inline constexpr Colour kLogGreen = 0x009900;  // red 0, green 153, blue 0
inline constexpr Colour kLogRed = 0x0000FF;    // red 255, green 0, blue 0

// Receives one log line. Lines about a file are the file's path followed by
// a fixed text that starts with a blank and ends with "\r\n". Text is UTF-8.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual void Log(std::string_view text, Colour colour) = 0;
};

// A run of steps: Start(n) begins a run of n steps at position 0, then
// SetPosition moves within 0..n.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  virtual void Start(std::uint32_t steps) = 0;
  virtual void SetPosition(std::uint32_t position) = 0;
};

// Shows a message to the user and returns once it has been acknowledged.
class NotifySink {
 public:
  virtual ~NotifySink() = default;
  virtual void Notify(std::string_view text) = 0;
};

// Asked at every step of long work: false means stop as soon as possible.
// Implementations must read their flag afresh on every call.
class StopQuery {
 public:
  virtual ~StopQuery() = default;
  virtual bool ShouldContinue() const = 0;
};

// Do-nothing sinks for callers that do not care.
class NullLog final : public LogSink {
 public:
  void Log(std::string_view, Colour) override {}
};
class NullProgress final : public ProgressSink {
 public:
  void Start(std::uint32_t) override {}
  void SetPosition(std::uint32_t) override {}
};
class NullNotify final : public NotifySink {
 public:
  void Notify(std::string_view) override {}
};
class NeverStop final : public StopQuery {
 public:
  bool ShouldContinue() const override { return true; }
};

}  // namespace keelmend
