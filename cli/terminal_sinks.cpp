#include "cli/terminal_sinks.h"

#include <csignal>
#include <cstdlib>
#include <string>

#if defined(_WIN32)
#include <io.h>
#define KEELMEND_ISATTY _isatty
#define KEELMEND_FILENO _fileno
#else
#include <unistd.h>
#define KEELMEND_ISATTY isatty
#define KEELMEND_FILENO fileno
#endif

namespace keelmend::cli {
namespace {

bool IsTerminal(std::FILE* f) { return KEELMEND_ISATTY(KEELMEND_FILENO(f)) != 0; }

// Job texts end their lines with "\r\n"; a terminal wants "\n".
std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

volatile std::sig_atomic_t g_interrupts = 0;

extern "C" void OnInterrupt(int) {
  g_interrupts = g_interrupts + 1;
  if (g_interrupts > 1) std::_Exit(130);
}

}  // namespace

TerminalLog::TerminalLog(std::FILE* out) : out_(out), colour_(IsTerminal(out) && !std::getenv("NO_COLOR")) {}

void TerminalLog::Log(std::string_view text, Colour colour) {
  const std::string line = TerminalText(text);
  const char* start = "";
  if (colour_ && colour == kLogGreen) start = "\x1b[32m";
  if (colour_ && colour == kLogRed) start = "\x1b[31m";
  if (*start) {
    // Colour the text but not the line break, so the next line starts clean.
    std::string body = line;
    std::string tail;
    while (!body.empty() && body.back() == '\n') {
      body.pop_back();
      tail.push_back('\n');
    }
    std::fprintf(out_, "%s%s\x1b[0m%s", start, body.c_str(), tail.c_str());
  } else {
    std::fputs(line.c_str(), out_);
  }
  std::fflush(out_);
}

TerminalProgress::TerminalProgress() : enabled_(IsTerminal(stderr)) {}

void TerminalProgress::Run::Start(std::uint32_t n) {
  steps = n;
  position = 0;
  owner_.Draw();
}

void TerminalProgress::Run::SetPosition(std::uint32_t p) {
  position = p;
  owner_.Draw();
}

void TerminalProgress::Clear() {
  if (!enabled_ || !drawn_) return;
  std::fputs("\r\x1b[2K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

void TerminalProgress::Draw() {
  if (!enabled_) return;
  // The total run counts whole files; the file run fills in the current one.
  double done = 0.0;
  if (total_.steps > 0) {
    double part = file_.steps > 0 ? double(file_.position) / file_.steps : 0.0;
    if (total_.position >= total_.steps) part = 0.0;
    done = (total_.position + part) / total_.steps;
  } else if (file_.steps > 0) {
    done = double(file_.position) / file_.steps;
  }
  if (done > 1.0) done = 1.0;
  constexpr int kWidth = 30;
  const int filled = int(done * kWidth + 0.5);
  std::string bar(filled, '#');
  bar.append(kWidth - filled, '.');
  std::fprintf(stderr, "\r\x1b[2K[%s] %6.2f%%  files %u/%u", bar.c_str(), done * 100.0,
               total_.position, total_.steps);
  std::fflush(stderr);
  drawn_ = true;
}

void LogBelowProgress::Log(std::string_view text, Colour colour) {
  progress_.Clear();
  log_.Log(text, colour);
}

void TerminalNotify::Notify(std::string_view text) {
  std::fprintf(stderr, "keelmend-cli: %s\n", TerminalText(text).c_str());
  std::fflush(stderr);
}

InterruptStop::InterruptStop() { std::signal(SIGINT, OnInterrupt); }

bool InterruptStop::ShouldContinue() const { return g_interrupts == 0; }

}  // namespace keelmend::cli
