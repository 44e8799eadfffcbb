// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace varnet {

// Pictures of the program, drawn at run time so no binary files are needed.
QIcon AppIcon();
QPixmap BannerPixmap(const QSize& size);
// The Data Matrix that switches a keyboard-mode scanner to its virtual
// serial port: 12 x 12 modules of 6 x 6 pixels in a 96 x 85 picture.
QImage ConnectionBarcode();

}  // namespace varnet
