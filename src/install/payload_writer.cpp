#include "install/payload_writer.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <utility>

#include "payload/checksum.h"

WriteOutcome WritePayloadFile(const std::atomic<bool>& stopRequested, const platform::Platform& os,
                              const FileToUnpack& file, platform::FileHandle output,
                              ChunkSource& source, ProgressReport& progress) {
  auto fail = [](uint32_t code, WString what) {
    return WriteOutcome{WriteOutcome::Kind::kFailed, code, std::move(what)};
  };

  // Without a table there is nothing to compare with.
  std::optional<payload::Checksum> checksum;
  if (file.checksum) checksum.emplace();

  uint64_t writtenTotal = 0;
  do {
    const uint32_t chunk = static_cast<uint32_t>(
        std::min<uint64_t>(file.size - writtenTotal, ChunkSource::kChunkBytes));
    const unsigned char* bytes = source.Next(chunk);
    if (bytes == nullptr) return fail(os.process.LastError(), source.FailedRead());
    if (checksum) checksum->Add(bytes, chunk);

    uint32_t chunkWritten = 0;
    do {
      const uint32_t left = chunk - chunkWritten;
      uint32_t written = 0;
      const bool ok = os.files.Write(output, bytes + chunkWritten, left, &written);
      // A write that claims success without progress would repeat for ever.
      const bool stalled = ok && (written > left || (written == 0 && left != 0));
      if (!ok || stalled) {
        return fail(stalled ? platform::kErrorWriteFault : os.process.LastError(), u"WriteFile");
      }

      progress.Add(written);
      chunkWritten += written;
      writtenTotal += written;
      // Checked between writes so that the main thread can remove the
      // workspace once this thread has closed the file.
      if (writtenTotal != file.size && stopRequested.load()) {
        return WriteOutcome{WriteOutcome::Kind::kStopped, 0, WString()};
      }
    } while (chunkWritten != chunk);
  } while (writtenTotal != file.size);

  if (checksum && checksum->Value() != *file.checksum) {
    return fail(platform::kErrorCrc, u"Verifying " + file.name);
  }
  return WriteOutcome{};
}
