// Shared by the repair and save job tests: real LibreOffice databases damaged
// in small, known ways, a workspace window whose jobs run on their real job
// thread with the dialogs scripted, and readers for what the window shows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include <QColor>
#include <QObject>
#include <QSignalSpy>
#include <QStringList>
#include <QTextBlock>
#include <QtTest>
#include <zlib.h>

#include "view_fixture.h"
#include "workspace/job_log.h"
#include "workspace/repair_job.h"
#include "workspace/salvor_view.h"
#include "workspace/save_job.h"
#include "workspace/trel_list_ctrl.h"

namespace keelmend::testing {

namespace fs = std::filesystem;

inline constexpr int kJobTimeoutMs = 60000;
inline const QString kAsterisks = QString(85, QLatin1Char('*'));
inline const QString kUnderscores = QString(64, QLatin1Char('_'));

// --- damaged databases -------------------------------------------------------

// The bytes of one of the real databases in tests/data/odb.
inline std::string SampleBytes(const std::string& name) {
  return ReadFile(fs::path(__FILE__).parent_path().parent_path() / "data" / "odb" / name);
}

// The first `keep` bytes only: the file was cut short there.
inline std::string CutShort(std::string bytes, std::size_t keep) {
  bytes.resize(keep);
  return bytes;
}

// `length` bytes from `offset` overwritten with zeros.
inline std::string WithZeroedBlock(std::string bytes, std::size_t offset, std::size_t length) {
  for (std::size_t i = offset; i < offset + length && i < bytes.size(); ++i) bytes[i] = '\0';
  return bytes;
}

// A stored entry as the scan finds it after the end of a damaged file: a
// local header with the right CRC and sizes, the name and the data.
inline std::string StoredEntry(const std::string& name, const std::string& data) {
  auto le = [](std::string& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  const auto crc = static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
  std::string out = "PK\x03\x04";
  le(out, 10, 2);           // version needed
  le(out, 0, 2);            // flags
  le(out, 0, 2);            // stored
  le(out, 0x5A21, 4);       // a DOS time and date
  le(out, crc, 4);
  le(out, static_cast<std::uint32_t>(data.size()), 4);
  le(out, static_cast<std::uint32_t>(data.size()), 4);
  le(out, static_cast<std::uint32_t>(name.size()), 2);
  le(out, 0, 2);            // no extra field
  return out + name + data;
}

// Writes `bytes` as `folder`/`name` and returns the path as the file list
// shows it.
inline QString WriteSource(const fs::path& folder, const std::string& name, const std::string& bytes) {
  WriteFile(folder / name, bytes);
  return QString::fromStdString((folder / name).string());
}

// --- the window with its jobs ------------------------------------------------

// A workspace window in a private temporary directory, with the real job
// starters and the dialogs answered from a script.
class JobWindow {
 public:
  JobWindow() {
    view.SetRepairJobStarter(&StartRepairJobThread);
    view.SetSaveJobStarter(&StartSaveJobThread);
  }

  fs::path Dir(const std::string& name) const {
    const fs::path dir = temp.Path() / name;
    fs::create_directories(dir);
    return dir;
  }

  void List(const QStringList& paths) {
    query.AnswerFiles(paths);
    view.SelectFiles();
  }

  // Runs a command that starts a job and waits until its thread has been
  // joined. False when no job ended in time.
  bool RunJob(const std::function<void()>& command) {
    QSignalSpy finished(&view, &CSalvorView::jobThreadFinished);
    command();
    return finished.wait(kJobTimeoutMs) && !view.IsJobThreadAlive();
  }
  bool Repair() {
    return RunJob([this] { view.StartRepair(); });
  }
  // Answers are taken in the order the boxes come: `earlierAnswers` first
  // (questions during the save), then OK for the completion message.
  bool Save(const QString& destination, std::initializer_list<int> earlierAnswers = {}) {
    view.SetDestination(destination);
    for (int answer : earlierAnswers) query.AnswerMessage(answer);
    query.AnswerMessage(kIdOk);
    return RunJob([this] { view.StartSave(); });
  }

  // The message boxes asked so far, in order.
  QList<ScriptedUserQuery::Question> Messages() const {
    QList<ScriptedUserQuery::Question> messages;
    for (const auto& q : query.Asked())
      if (q.kind == ScriptedUserQuery::Kind::kMessage) messages << q;
    return messages;
  }
  QStringList MessageTexts() const {
    QStringList texts;
    for (const auto& q : Messages()) texts << q.text;
    return texts;
  }

  PrivateTempDir temp;
  ScriptedUserQuery query;
  ScopedUserQuery seam{query};
  CSalvorView view;
};

// Runs `action` once, on the window thread while the job waits, as soon as
// the log box shows `line`.
inline void OnLogLine(CSalvorView& view, const QString& line, std::function<void()> action) {
  auto done = std::make_shared<bool>(false);
  QObject::connect(view.LogBox(), &QTextEdit::textChanged, view.LogBox(),
                   [&view, line, done, action = std::move(action)] {
                     if (*done || !view.LogBox()->toPlainText().contains(line + QLatin1Char('\n')))
                       return;
                     *done = true;
                     action();
                   });
}

// A line of the log box with its colour.
struct LogLine {
  QString text;
  QColor colour;
  bool operator==(const LogLine& o) const { return text == o.text && colour == o.colour; }
};

inline QColor Black() { return ColourFromValue(kLogBlack); }
inline QColor Green() { return ColourFromValue(kLogGreen); }
inline QColor Red() { return ColourFromValue(kLogRed); }

// The lines of the log box (the empty line after the last line break
// included), each with the colour of its first character.
inline QList<LogLine> LogLines(const CSalvorView& view) {
  QList<LogLine> lines;
  for (QTextBlock b = view.LogBox()->document()->begin(); b.isValid(); b = b.next()) {
    const QColor colour = b.begin().atEnd() ? Black() : b.begin().fragment().charFormat().foreground().color();
    lines.append({b.text(), colour});
  }
  return lines;
}

inline QString PrintLines(const QList<LogLine>& lines) {
  QString out;
  for (const LogLine& l : lines) out += l.colour.name() + QLatin1Char(' ') + l.text + QLatin1Char('\n');
  return out;
}

// Compares two logs and prints both in full when they differ.
#define COMPARE_LOG(actual, expected)                                                  \
  do {                                                                                 \
    const QList<LogLine> a_ = (actual), e_ = (expected);                               \
    if (!(a_ == e_))                                                                   \
      QFAIL(qPrintable(QStringLiteral("log differs\n--- actual\n") + PrintLines(a_) + \
                       QStringLiteral("--- expected\n") + PrintLines(e_)));            \
  } while (false)

// The item images and repaired marks of the file list, as "image/data".
inline QStringList Marks(const CSalvorView& view) {
  QStringList marks;
  for (int row = 0; row < view.FileList()->Count(); ++row)
    marks << QStringLiteral("%1/%2").arg(view.FileList()->ItemImage(row)).arg(view.FileList()->ItemData(row));
  return marks;
}

// True when `path` is a ZIP archive that starts with the stored mimetype
// entry and ends with an end-of-central-directory record.
inline bool IsRebuiltDatabase(const fs::path& path) {
  const std::string bytes = ReadFile(path);
  return bytes.size() > 60 && bytes.compare(0, 4, "PK\x03\x04") == 0 &&
         bytes.compare(30, 8, "mimetype") == 0 &&
         bytes.compare(bytes.size() - 22, 4, "PK\x05\x06") == 0;
}

}  // namespace keelmend::testing
