// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace varnet {

// Why an operation failed, shown as a line under its message. The core only
// names the reason; each front end words it (and an errno through strerror).
enum class Reason {
  None,
  // A port that cannot be opened.
  PortGone,
  PortPermission,
  PortBusy,
  NotASerialPort,
  PortSettings,
  PortError,  // errno
  // An export's files.
  FolderMissing,
  FilePermission,
  ReadOnlyFileSystem,
  DiskFull,
  FileError,  // errno
  QrTooLarge,
  QrError,  // errno
  // An export's transfer.
  ScannerSilent,   // nothing came
  NoFormatBlock,   // the parameter block came, the format block did not
  ScannerStopped,  // a block ended before its announced length
  BlockRefused,    // a refusal or an acknowledgement instead of a block
  BlockTooLong,    // announced above the limit, or more bytes than announced
  UnexpectedData,  // bytes that are not a settings block, or that never stop
  ScannerGone,     // the port closed or the device went away
};

}  // namespace varnet
