// SPDX-License-Identifier: Apache-2.0
// Image Mode and the scanned data monitor through the main window's timer,
// against the simulated scanner.
#include <gtest/gtest.h>

#include <malloc.h>

#include <QFile>
#include <QTest>

#include <algorithm>
#include <functional>

#include "app/varnet_app.h"
#include "imaging/capture_files.h"
#include "imaging/image_panel.h"
#include "imaging/preview.h"
#include "settings/config_dlg.h"
#include "sim/sim_scanner.h"
#include "support/window_fixture.h"
#include "support/wire.h"

using namespace varnet;
using namespace varnet::test;
using Bytes = std::vector<uint8_t>;

namespace {

int GreenPixels(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == qRgb(0, 255, 0);
  return n;
}

class ImageModeTest : public WindowTest {
 protected:
  // Connects one scanner and stops the timer: the test ticks by hand.
  void Start(sim::Profile profile = sim::ProfileNamed("usb"), bool settingMode = false) {
    sim_ = &Plug(std::move(profile));
    settingMode ? registry.Set(0, {}, {sim_->SlavePath()}) : registry.Set(0, {sim_->SlavePath()});
    ASSERT_NO_FATAL_FAILURE(Search(settingMode));
    ASSERT_EQ(dlg->DeviceList()->topLevelItemCount(), 1);
    ConnectRow(0);
    ASSERT_TRUE(app.link.IsOpen());
    dlg->show();
    dlg->Timer().stop();
    panel = dlg->SettingsPage()->ImageSide();
    // The second Image Mode step is not waited for by the window.
    ASSERT_TRUE(settingMode || WaitUntil([&] { return Heard(sim_->Received(), Cmd(kImageModeStart)); }, 2000));
    sim_->ClearReceived();
  }
  // One tick; the period it leaves is kept, the timer itself stopped.
  void Tick() {
    dlg->OnTimerTick();
    period = dlg->Timer().interval();
    dlg->Timer().stop();
  }
  void ClickThumbnail(int i) {
    QListWidget* strip = panel->ThumbnailStrip();
    QTest::mouseClick(strip->viewport(), Qt::LeftButton, {}, strip->visualItemRect(strip->item(i)).center());
  }
  std::string Capture(int n) const { return CapturePath(app.imaging.captureDir, n); }

  sim::SimScanner* sim_ = nullptr;
  ImagePanel* panel = nullptr;
  int period = 0;
};

}  // namespace

TEST_F(ImageModeTest, TicksListCapturesPaintTheNewestAndWrapAtTheRowLimit) {
  Start();
  QTreeWidget* rows = panel->ResultList();
  QListWidget* strip = panel->ThumbnailStrip();
  EXPECT_EQ(rows->columnCount(), 5);

  for (int i = 0; i < 3; ++i) Tick();
  ASSERT_EQ(rows->topLevelItemCount(), 3);
  ASSERT_EQ(strip->count(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rows->topLevelItem(i)->text(0), QString::number(i + 1));
    EXPECT_EQ(strip->item(i)->text(), QString::number(i + 1));
    EXPECT_EQ(strip->visualItemRect(strip->item(i)).topLeft(), QPoint(36 * i + 6, 5));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Capture(i + 1))));
  }
  const sim::CaptureInfo last = sim_->LastCapture().value();
  EXPECT_EQ(rows->topLevelItem(2)->text(1), QString("%1 ms").arg(last.decodeTimeMs));
  EXPECT_EQ(rows->topLevelItem(2)->text(4), QString::fromStdString(last.text));
  const QImage live = panel->PreviewImage();
  EXPECT_EQ(live.size(), QSize(640, 360));
  EXPECT_GT(GreenPixels(live), 100);  // the outline
  EXPECT_EQ(panel->Preview()->mapTo(dlg.get(), QPoint(0, 0)), QPoint(395, 35));

  // Re-armed after a capture by model code; a refused fetch keeps the period.
  for (auto [code, expected] : std::vector<std::pair<uint8_t, int>>{{1, 150}, {5, 250}, {6, 250}, {2, 150}}) {
    app.device.paramBlock.bytes[pb::ModelCode] = code;
    Tick();
    EXPECT_EQ(period, expected) << int(code);
  }
  sim_->faults().captureNak = true;
  app.device.paramBlock.bytes[pb::ModelCode] = 5;
  Tick();
  EXPECT_EQ(period, 150);
  EXPECT_EQ(rows->topLevelItemCount(), 7);
  sim_->faults().captureNak = false;
  app.device.paramBlock.bytes[pb::ModelCode] = 1;

  // Thumbnail 3 pauses the view and shows capture3.jpg as stored.
  const qint64 livePicture = panel->PauseButton()->icon().cacheKey();
  ClickThumbnail(2);
  EXPECT_EQ(app.imaging.ImageModeState, kImagePaused);
  EXPECT_NE(panel->PauseButton()->icon().cacheKey(), livePicture);
  const QImage stored(QString::fromStdString(Capture(3)));
  EXPECT_EQ(panel->PreviewImage(), ComposeCapturePreview(stored, std::nullopt, 0, 360));
  EXPECT_EQ(GreenPixels(panel->PreviewImage()), 0);
  sim_->ClearReceived();
  Tick();
  EXPECT_TRUE(sim_->Received().empty());
  // The pause button resumes; the same thumbnail then pauses again.
  panel->PauseButton()->click();
  EXPECT_EQ(app.imaging.ImageModeState, kImageRunning);
  EXPECT_EQ(panel->PauseButton()->icon().cacheKey(), livePicture);
  Tick();
  EXPECT_EQ(rows->topLevelItemCount(), 8);
  ClickThumbnail(2);
  EXPECT_EQ(app.imaging.ImageModeState, kImagePaused);
  panel->PauseButton()->click();

  // The 16th capture empties both lists and is number 1 again.
  while (app.imaging.CaptureCounter != 15) Tick();
  Tick();
  ASSERT_EQ(strip->count(), 1);
  EXPECT_EQ(strip->item(0)->text(), "1");
  EXPECT_EQ(strip->visualItemRect(strip->item(0)).topLeft(), QPoint(6, 5));
  ASSERT_EQ(rows->topLevelItemCount(), 1);
  EXPECT_EQ(rows->topLevelItem(0)->text(0), "1");
}

TEST_F(ImageModeTest, ThumbnailsAreNotKeptBeyondTheirSlotsAndStillShowTheirPictures) {
  Start();
  QListWidget* strip = panel->ThumbnailStrip();
  auto paintedTicks = [&](int n) {
    for (int i = 0; i < n; ++i) Tick(), (void)strip->grab();
    return mallinfo2().uordblks;
  };
  // After a first round of the slots, more captures replace pictures: a copy
  // of each one kept elsewhere would make a long live session grow for good.
  // A leak grows every window; a buffer the simulator's thread happens to
  // hold at one reading moves one window up and the next down, so the
  // smallest window's growth is what counts.
  double before = double(paintedTicks(30)), least = 1e12;
  for (int window = 0; window < 3; ++window) {
    const double after = double(paintedTicks(40));
    least = std::min(least, after - before);
    before = after;
  }
  EXPECT_LT(least, 64.0 * 1024);
  auto firstThumbnail = [&] {
    const QImage shot = strip->grab().toImage();
    const QRect item = strip->visualItemRect(strip->item(0)) & shot.rect();
    return shot.copy(item.adjusted(0, 0, 0, -item.height() / 3));  // the picture, not the number under it
  };
  const QImage live = firstThumbnail();
  int light = 0;
  for (int y = 0; y < live.height(); ++y)
    for (int x = 0; x < live.width(); ++x) light += qGray(live.pixel(x, y)) > 120;
  EXPECT_GT(light, 100);  // the scene's light grey on the strip's dark one
  // A disabled strip shows its pictures as the style greys any icon.
  strip->setEnabled(false);
  EXPECT_NE(firstThumbnail(), live);
}

TEST_F(ImageModeTest, ExposureAndGainFrames) {
  sim::Profile profile = sim::ProfileNamed("usb");  // model code 1, stored exposure 0
  profile.paramBlock[pb::Gain] = 80;                // the gain its captures report
  Start(profile);
  QCheckBox* box = panel->FixedExposureBox();
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(panel->ExposureLabel()->text(), "Auto Exposure");
  const std::function<void()> acts[] = {
      [&] { box->click(); },
      [&] { panel->ExposureSlider()->setValue(600), Tick(); },
      [&] { panel->GainSlider()->setValue(100), Tick(); },
      [&] { panel->AutoTuningButton()->click(); },
      [&] { box->click(); },
  };
  struct Step {
    const char* what;
    std::vector<Bytes> frames;
    QString exposureLabel, gainLabel;
    int storedExposure, storedGain;
  };
  // The exposure moved before a capture was shown sends only the capture; the
  // gain moved after a capture with gain 80 sends the gain, no capture.
  const Step steps[] = {
      {"tick the box", {{0x06, 0x57, 0xA0, 0x03, 0xF4, 0x01, 0xFE, 0x0B}}, "Exposure: 500", "Gan: 72", 500, 72},
      {"move exposure", {Cmd(kCapture)}, "Exposure: 500", "Gan: 80", 500, 72},
      {"move gain", {Cmd(GainCommand(100))}, "Exposure: 500", "Gan: 100", 500, 100},
      {"auto tuning", {Cmd(kAutoTune)}, "Exposure: 500", "Gan: 100", 500, 100},
      {"clear the box", {Cmd(kAutoExposure)}, "Auto Exposure", "Gan: 100", 0, 0},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    SCOPED_TRACE(step.what);
    sim_->ClearReceived();
    acts[i]();
    ASSERT_TRUE(sim_->WaitReceived(step.frames.size(), 2000));
    EXPECT_EQ(sim_->Received(), step.frames);
    EXPECT_EQ(panel->ExposureLabel()->text(), step.exposureLabel);
    EXPECT_EQ(panel->GainLabel()->text(), step.gainLabel);
    EXPECT_EQ(app.device.paramBlock.U16(58), step.storedExposure);
    EXPECT_EQ(app.device.paramBlock.U8(60), step.storedGain);
    const bool fixed = step.storedExposure != 0;
    for (QWidget* w : std::initializer_list<QWidget*>{panel->ExposureSlider(), panel->GainSlider(), panel->GainLabel(),
                                                      panel->AutoTuningButton()})
      EXPECT_EQ(w->isVisible(), fixed) << w->objectName().toStdString();
  }
  EXPECT_EQ(app.device.settingsDirty, 1);
}

TEST_F(ImageModeTest, SettingModeListsScannedDataAndWrapsAtTheRowLimit) {
  app.metrics.RowLimit = 3;
  Start(sim::ProfileNamed("usb"), true);
  QTreeWidget* rows = panel->ResultList();
  EXPECT_EQ(rows->columnCount(), 2);
  EXPECT_FALSE(rows->isEnabled());
  EXPECT_FALSE(panel->FixedExposureBox()->isEnabled());

  auto scan = [&] {
    sim_->SendRaw({'A', 'B', 'C', '1', '2', '3', 0x0D, 0x0A});
    Tick();
  };
  app.link.LinkBusy = true;  // another exchange holds the link: the data wait
  scan();
  EXPECT_EQ(rows->topLevelItemCount(), 0);
  app.link.LinkBusy = false;
  Tick(), scan(), scan();
  ASSERT_EQ(rows->topLevelItemCount(), 3);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(rows->topLevelItem(i)->text(0), QString::number(i + 1));
    EXPECT_EQ(rows->topLevelItem(i)->text(1), "ABC123[CR][LF]");
  }
  scan();
  ASSERT_EQ(rows->topLevelItemCount(), 1);
  EXPECT_EQ(rows->topLevelItem(0)->text(0), "1");
  EXPECT_EQ(period, 100);
}
