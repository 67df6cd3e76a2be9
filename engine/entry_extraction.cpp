#include "engine/entry_extraction.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "engine/descriptor_template.h"
#include "platform/entry_names.h"
#include "platform/error_text.h"
#include "platform/file_io.h"
#include "platform/temp_paths.h"

namespace keelmend {
namespace {

using platform::ErrorCode;
using platform::InputFile;
using platform::OutputFile;

constexpr std::size_t kInChunk = 256u * 1024;   // compressed bytes per read
constexpr std::size_t kOutChunk = 1024u * 1024; // inflated bytes per write

// The outcome of one way of producing the entry's bytes into an open file.
struct Attempt {
  EntryProblem problem = EntryProblem::kNone;  // kNone: size and CRC as expected
  std::string detail;
  ErrorCode writeError = 0;
};

bool IsDataProblem(EntryProblem p) {
  return p == EntryProblem::kCrcMismatch || p == EntryProblem::kSizeMismatch ||
         p == EntryProblem::kStreamBroken || p == EntryProblem::kTruncated;
}

// Checks the produced bytes against the record.
void CheckResult(const SalvagedEntry& e, std::uint64_t produced, std::uint32_t crc, Attempt& a) {
  if (produced != e.uncompressedSize) {
    a.problem = EntryProblem::kSizeMismatch;
    a.detail = "gives " + std::to_string(produced) + " bytes instead of " +
               std::to_string(e.uncompressedSize);
  } else if (e.crcKnown && crc != e.crc32) {
    a.problem = EntryProblem::kCrcMismatch;
    char text[80];
    std::snprintf(text, sizeof text, "CRC-32 %08x instead of %08x", crc, e.crc32);
    a.detail = text;
  }
}

// Copies the compressedSize bytes at dataOffset.
Attempt CopyStored(const InputFile& src, const SalvagedEntry& e, OutputFile& out) {
  Attempt a;
  std::unique_ptr<unsigned char[]> buffer(new unsigned char[kOutChunk]);
  std::uint64_t done = 0;
  uLong crc = crc32(0L, Z_NULL, 0);
  const std::uint64_t total = e.compressedSize;
  while (done < total) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kOutChunk, total - done));
    ErrorCode error = 0;
    const std::int64_t got = src.ReadAt(e.dataOffset + done, buffer.get(), want, &error);
    if (got < 0) {
      a.problem = EntryProblem::kTruncated;
      a.detail = "reading the source failed: " + platform::ErrorText(error);
      return a;
    }
    if (got == 0) {
      a.problem = EntryProblem::kTruncated;
      a.detail = "the source file ends inside the entry's data";
      return a;
    }
    crc = crc32(crc, buffer.get(), static_cast<uInt>(got));
    if (!out.Write(buffer.get(), static_cast<std::size_t>(got), &a.writeError)) {
      a.problem = EntryProblem::kWriteFailed;
      a.detail = platform::ErrorText(a.writeError);
      return a;
    }
    done += static_cast<std::uint64_t>(got);
  }
  CheckResult(e, done, static_cast<std::uint32_t>(crc), a);
  return a;
}

// Inflates the compressedSize bytes at dataOffset as one raw deflate stream.
Attempt InflateDeflated(const InputFile& src, const SalvagedEntry& e, OutputFile& out) {
  Attempt a;
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
    a.problem = EntryProblem::kStreamBroken;
    a.detail = "the inflater could not be set up";
    return a;
  }
  std::unique_ptr<unsigned char[]> in(new unsigned char[kInChunk]);
  std::unique_ptr<unsigned char[]> outBuf(new unsigned char[kOutChunk]);
  const std::uint64_t inputTotal = e.compressedSize;
  std::uint64_t fed = 0;
  std::uint64_t produced = 0;
  uLong crc = crc32(0L, Z_NULL, 0);
  bool ended = false;
  bool sourceEnded = false;
  bool failed = false;
  bool outputFull = false;  // the last call filled the output: more may be pending
  while (!ended && !failed) {
    if (zs.avail_in == 0 && !outputFull) {
      if (fed >= inputTotal) break;  // all compressed data given
      const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kInChunk, inputTotal - fed));
      ErrorCode error = 0;
      const std::int64_t got = src.ReadAt(e.dataOffset + fed, in.get(), want, &error);
      if (got <= 0) {
        sourceEnded = true;
        if (got < 0) a.detail = "reading the source failed: " + platform::ErrorText(error);
        break;
      }
      fed += static_cast<std::uint64_t>(got);
      zs.next_in = in.get();
      zs.avail_in = static_cast<uInt>(got);
    }
    zs.next_out = outBuf.get();
    zs.avail_out = static_cast<uInt>(kOutChunk);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const std::size_t have = kOutChunk - zs.avail_out;
    outputFull = zs.avail_out == 0;
    if (have > 0) {
      if (produced + have > e.uncompressedSize) {
        // More data than the header promises: stop before writing it.
        a.problem = EntryProblem::kSizeMismatch;
        a.detail = "gives more than " + std::to_string(e.uncompressedSize) + " bytes";
        inflateEnd(&zs);
        return a;
      }
      crc = crc32(crc, outBuf.get(), static_cast<uInt>(have));
      if (!out.Write(outBuf.get(), have, &a.writeError)) {
        a.problem = EntryProblem::kWriteFailed;
        a.detail = platform::ErrorText(a.writeError);
        inflateEnd(&zs);
        return a;
      }
      produced += have;
    }
    if (rc == Z_STREAM_END) {
      ended = true;
    } else if (rc == Z_BUF_ERROR) {
      if (zs.avail_in != 0 && have == 0) failed = true;  // no progress possible
    } else if (rc != Z_OK) {
      failed = true;
      a.detail = zs.msg ? std::string("inflate: ") + zs.msg : "inflate failed";
    }
  }
  inflateEnd(&zs);
  if (failed) {
    a.problem = EntryProblem::kStreamBroken;
    if (a.detail.empty()) a.detail = "the deflate stream is broken";
    return a;
  }
  if (ended) {
    CheckResult(e, produced, static_cast<std::uint32_t>(crc), a);
  } else if (produced == e.uncompressedSize && e.crcKnown &&
             static_cast<std::uint32_t>(crc) == e.crc32) {
    // Every byte is there with the right CRC; only the end marker is missing.
  } else if (sourceEnded) {
    a.problem = EntryProblem::kTruncated;
    if (a.detail.empty()) a.detail = "the source file ends inside the entry's data";
  } else {
    a.problem = EntryProblem::kStreamBroken;
    a.detail = "the deflate stream does not end within its compressed size";
  }
  return a;
}

enum class Way { kCopy, kInflate };

Way PrimaryWay(const SalvagedEntry& e) {
  if (e.method == 0) return Way::kCopy;
  if (e.method == 8) return Way::kInflate;
  return (e.compressedSize != 0 && e.compressedSize == e.uncompressedSize) ? Way::kCopy : Way::kInflate;
}

// Produces the entry into a fresh temporary file next to `outputPath` and
// renames it into place on success.
EntryResult ExtractOne(const InputFile& src, const std::filesystem::path& outputPath,
                       const SalvagedEntry& e) {
  EntryResult result;
  result.name = e.name;
  result.outputPath = outputPath;

  std::vector<Way> ways{PrimaryWay(e)};
  if (e.compressedSize == e.uncompressedSize && e.compressedSize != 0) {
    ways.push_back(ways.front() == Way::kCopy ? Way::kInflate : Way::kCopy);
  }
  Attempt first;
  for (std::size_t k = 0; k < ways.size(); ++k) {
    OutputFile out;
    std::filesystem::path tempPath;
    ErrorCode error = 0;
    if (!platform::CreateTempFileNextTo(outputPath, out, tempPath, &error)) {
      result.outcome = EntryOutcome::kSkipped;
      result.problem = EntryProblem::kWriteFailed;
      result.detail = platform::ErrorText(error);
      return result;
    }
    Attempt a = ways[k] == Way::kCopy ? CopyStored(src, e, out) : InflateDeflated(src, e, out);
    ErrorCode closeError = 0;
    const bool closed = out.Close(&closeError);
    if (a.problem == EntryProblem::kNone && !closed) {
      a.problem = EntryProblem::kWriteFailed;
      a.detail = platform::ErrorText(closeError);
    }
    if (a.problem == EntryProblem::kNone) {
      if (!platform::RenameReplacing(tempPath, outputPath, &error)) {
        platform::RemoveFile(tempPath, nullptr);
        result.outcome = EntryOutcome::kSkipped;
        result.problem = EntryProblem::kWriteFailed;
        result.detail = platform::ErrorText(error);
        return result;
      }
      result.outcome = EntryOutcome::kWritten;
      result.problem = EntryProblem::kNone;
      result.inflated = ways[k] == Way::kInflate;
      result.detail.clear();
      return result;
    }
    platform::RemoveFile(tempPath, nullptr);
    if (k == 0) first = a;
    if (a.problem == EntryProblem::kWriteFailed) {
      first = a;
      break;
    }
    // Try the other way only when this one found the data wrong and a CRC
    // can tell which way is right.
    if (!IsDataProblem(a.problem) || !e.crcKnown) break;
  }
  result.problem = first.problem;
  result.detail = first.detail;
  result.inflated = ways.front() == Way::kInflate;
  result.outcome = first.problem == EntryProblem::kWriteFailed ? EntryOutcome::kSkipped
                                                               : EntryOutcome::kDamaged;
  return result;
}

}  // namespace

EntryTarget CreateEntryFolders(const std::filesystem::path& workFolder, std::string_view entryName,
                               NotifySink& notify) {
  EntryTarget target;
  const platform::EntryPath rel = platform::EntryNameToRelativePath(entryName);
  target.hadSeparator = rel.hadSeparator;
  if (rel.status != platform::EntryNameStatus::kOk) {
    target.problem = rel.problem;
    return target;
  }
  // Folders between the work folder and the file, left to right.
  std::filesystem::path folder = workFolder;
  const std::filesystem::path parent = rel.relative.parent_path();
  for (const auto& part : parent) {
    folder /= part;
    ErrorCode error = 0;
    if (!platform::CreateFolder(folder, &error)) notify.Notify(platform::ErrorText(error));
  }
  target.outputPath = platform::ConfinedPath(workFolder, rel.relative);
  target.ok = true;
  return target;
}

EntryResult ExtractEntry(const std::filesystem::path& sourcePath,
                         const std::filesystem::path& outputPath, const SalvagedEntry& entry) {
  InputFile src;
  ErrorCode error = 0;
  if (!src.Open(sourcePath, &error, /*exclusive=*/true)) {
    EntryResult result;
    result.name = entry.name;
    result.outputPath = outputPath;
    result.outcome = EntryOutcome::kSkipped;
    result.problem = EntryProblem::kSourceUnavailable;
    result.detail = platform::ErrorText(error);
    return result;
  }
  return ExtractOne(src, outputPath, entry);
}

ExtractionReport ExtractEntries(const std::vector<SalvagedEntry>& entryList,
                                const std::filesystem::path& workFolder,
                                const std::filesystem::path& sourcePath, ProgressSink& progress,
                                NotifySink& notify, LogSink& log) {
  ExtractionReport report;
  const std::size_t n = entryList.size();
  const auto steps = static_cast<std::uint32_t>(std::min<std::size_t>(n, 0xFFFFFFFFu));
  progress.Start(steps);
  const std::string path = sourcePath.string();

  if (n > 0) {
    platform::CreateFolder(workFolder, nullptr);  // normally made by the repair job already
    InputFile src;
    ErrorCode error = 0;
    const bool opened = src.Open(sourcePath, &error, /*exclusive=*/true);
    if (!opened) {
      notify.Notify(platform::ErrorText(error));
      log.Log(path + kSourceNotReopenedText, kLogRed);
    }
    for (std::size_t i = 0; i < n; ++i) {
      const SalvagedEntry& entry = entryList[i];
      const std::string shown = platform::EntryNameForDisplay(entry.name);
      EntryResult result;
      if (!opened) {
        result.name = entry.name;
        result.outcome = EntryOutcome::kSkipped;
        result.problem = EntryProblem::kSourceUnavailable;
        result.detail = platform::ErrorText(error);
      } else {
        const EntryTarget target = CreateEntryFolders(workFolder, entry.name, notify);
        if (!target.ok) {
          result.name = entry.name;
          result.outcome = EntryOutcome::kSkipped;
          result.problem = EntryProblem::kNotAFileName;
          result.detail = target.problem;
          log.Log(path + " entry " + shown + kEntryNotAFileNameText, kLogRed);
        } else {
          result = ExtractOne(src, target.outputPath, entry);
          if (result.outcome == EntryOutcome::kDamaged) {
            log.Log(path + " entry " + shown + kEntryDamagedText, kLogRed);
          } else if (result.outcome == EntryOutcome::kSkipped) {
            std::string line = path + " entry " + shown + kEntryNotWrittenText;
            if (!result.detail.empty()) {
              // "... left out (No space left on device)....\r\n"
              line = path + " entry " + shown + " could not be written and is left out (" +
                     result.detail + ")....\r\n";
            }
            log.Log(line, kLogRed);
          }
        }
      }
      switch (result.outcome) {
        case EntryOutcome::kWritten: ++report.written; break;
        case EntryOutcome::kDamaged: ++report.damaged; break;
        case EntryOutcome::kSkipped: ++report.skipped; break;
      }
      report.entries.push_back(std::move(result));
      progress.SetPosition(static_cast<std::uint32_t>(std::min<std::size_t>(i, 0xFFFFFFFFu)));
    }
  }
  report.templateWritten = WriteDescriptorTemplate(workFolder);
  progress.SetPosition(steps);
  return report;
}

}  // namespace keelmend
