// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <QAbstractButton>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "imaging/capture_fetch.h"
#include "imaging/imaging_state.h"
#include "ui_common/page_context.h"
#include "ui_common/window_metrics.h"

namespace varnet {

class PreviewView;

// A picture that reports clicks (the pause button).
class PictureButton : public QAbstractButton {
  Q_OBJECT
 public:
  using QAbstractButton::QAbstractButton;
  QSize sizeHint() const override { return iconSize(); }

 protected:
  void paintEvent(QPaintEvent*) override;
};

// The thumbnail strip: an icon view whose items sit where they are put.
class ThumbnailView : public QListWidget {
  Q_OBJECT
 public:
  using QListWidget::QListWidget;
  // The view lays all items out anew on every insertion; this puts them
  // back at (36 i + 6, 5).
  void PlaceItems();
};

// The image side of the settings page: the picture frame and the preview,
// the pause button, the thumbnail strip, the exposure and gain controls and
// the result list (captures in Image Mode, scanned data in Setting Mode).
// Placed so that the preview's top-left is at (395, 35) of the main window.
class ImagePanel : public QWidget, public CaptureSink {
  Q_OBJECT
 public:
  // The result list's columns follow ImageModeState as it is now.
  ImagePanel(const PageContext& page, ImagingState& imaging, const WindowMetrics& metrics, QWidget* parent);

  // Live captures.
  void ClearCaptureLists() override;
  void AddThumbnail(uint8_t number, const std::string& path, const std::vector<uint8_t>& image) override;
  void AddResultRow(const CaptureResult& result) override;
  void ShowCaptureExposureGain(int exposure, int gain) override;
  // Paints the capture at `path` into the preview; the outline or the
  // decode-area marks only when corners are given. A file that cannot be
  // read paints nothing.
  void DrawCapturePreview(const std::string& path, const std::optional<BarcodeCorners>& corners);
  // Setting Mode: one reading of scanned data as a new row.
  void AddScanRow(const std::string& text);
  // Running <-> paused, only while connected in Image Mode.
  void TogglePause();

  // Exposure and gain. UpdateExposureGainControls does the image side; the
  // handlers run the whole page's update through `updateAll`, which the
  // settings page sets so that its group selection follows.
  void SetUpdateAll(std::function<void(bool)> updateAll) { updateAll_ = std::move(updateAll); }
  void SetFixedExposureChecked(bool checked);
  void UpdateExposureGainControls(bool enable);
  void OnFixedExposureClicked();
  void OnAutoTuning();
  // One tick's look at the sliders; true when it used the tick.
  bool PollExposureGainSliders();

  QTreeWidget* ResultList() const { return results_; }
  QListWidget* ThumbnailStrip() const { return strip_; }
  QAbstractButton* PauseButton() const { return pause_; }
  QWidget* Preview() const;
  // What the preview shows (null before the first capture).
  QImage PreviewImage() const;
  QCheckBox* FixedExposureBox() const { return fixedBox_; }
  QSlider* ExposureSlider() const { return exposureSlider_; }
  QSlider* GainSlider() const { return gainSlider_; }
  QLabel* ExposureLabel() const { return exposureLabel_; }
  QLabel* GainLabel() const { return gainLabel_; }
  QPushButton* AutoTuningButton() const { return tuneButton_; }

  static constexpr QPoint kPreviewOrigin{395, 35};  // in the main window
  static constexpr int kPauseSize = 62;
  static QPoint ThumbnailPosition(int index) { return {36 * index + 6, 5}; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Relayout();
  void UpdateAll(bool enable);
  void OnListSelection(QAbstractItemView* list);
  void ShowPausePicture();
  int PreviewHeightNow() const;
  QString ExposureText(int exposure) const;
  QString GainText(int gain) const;

  PageContext page_;
  ImagingState& imaging_;
  const WindowMetrics& metrics_;
  std::function<void(bool)> updateAll_;
  const bool imageColumns_;
  std::vector<QIcon> slots_;  // thumbnail pictures, RowLimit of them

  // The newest capture scaled for the preview, made with its thumbnail from
  // the one decode, until the preview is drawn from it.
  struct Pending {
    std::string path;
    QSize captured;
    QImage scaled;
  } pending_;

  QLabel* frame_ = nullptr;
  PreviewView* preview_ = nullptr;
  PictureButton* pause_ = nullptr;
  std::array<QIcon, 2> pausePictures_;  // live, resume
  ThumbnailView* strip_ = nullptr;
  QCheckBox* fixedBox_ = nullptr;
  QLabel* exposureLabel_ = nullptr;
  QSlider* exposureSlider_ = nullptr;
  QLabel* gainLabel_ = nullptr;
  QSlider* gainSlider_ = nullptr;
  QPushButton* tuneButton_ = nullptr;
  QTreeWidget* results_ = nullptr;
};

}  // namespace varnet
