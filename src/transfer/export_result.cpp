// SPDX-License-Identifier: Apache-2.0
#include "transfer/export_result.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/files.h"

namespace varnet {

Message ExportFailureMessage(const ExportResult& result) {
  return {MessageId::ExportFailed, Icon::Error, Caption::None, result.reason, result.error};
}

ExportResult FileFailure(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR: return ExportResult::Failed(Reason::FolderMissing, error);
    case EACCES:
    case EPERM: return ExportResult::Failed(Reason::FilePermission, error);
    case EROFS: return ExportResult::Failed(Reason::ReadOnlyFileSystem, error);
    case ENOSPC: return ExportResult::Failed(Reason::DiskFull, error);
    default:
      if (platform::QuotaExceeded(error)) return ExportResult::Failed(Reason::DiskFull, error);
      return ExportResult::Failed(Reason::FileError, error ? error : EIO);
  }
}

ExportResult CheckExportDestination(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(platform::FilePath(path), ec)) return FileFailure(EISDIR);
  platform::AtomicFile probe(path);
  if (!probe.Open()) return FileFailure(probe.error());
  probe.Discard();
  return ExportResult::Done();
}

}  // namespace varnet
