// SPDX-License-Identifier: Apache-2.0
#include "transfer/export_result.h"

#include <sys/stat.h>

#include <cerrno>

#include "transfer/atomic_file.h"

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
    case ENOSPC:
    case EDQUOT: return ExportResult::Failed(Reason::DiskFull, error);
    default: return ExportResult::Failed(Reason::FileError, error ? error : EIO);
  }
}

ExportResult CheckExportDestination(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return FileFailure(EISDIR);
  AtomicFile probe(path);
  if (!probe.Open()) return FileFailure(probe.error());
  probe.Discard();
  return ExportResult::Done();
}

}  // namespace varnet
