// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <string>

#include "ui_common/prompts.h"

namespace varnet {

// How an export, or one of its steps, ended; on failure, why.
struct ExportResult {
  bool ok = false;
  Reason reason = Reason::None;
  int error = 0;  // the errno behind a file or encoder reason

  static ExportResult Done() { return {true}; }
  static ExportResult Failed(Reason reason, int error = 0) { return {false, reason, error}; }
};

// "Export Failed" with the reason of a failed export.
Message ExportFailureMessage(const ExportResult& result);

// A file that could not be written, by its errno.
ExportResult FileFailure(int error);

// Whether a file can be written at `path`, checked before anything is asked
// of a scanner: the folder must exist and take a new file (a hidden probe
// file is made there and removed again, which holds for root, ACLs and
// read-only mounts alike), and the path must not name a folder.
ExportResult CheckExportDestination(const std::string& path);

}  // namespace varnet
