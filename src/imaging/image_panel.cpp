// SPDX-License-Identifier: Apache-2.0
#include "imaging/image_panel.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

#include "imaging/capture_files.h"
#include "imaging/exposure_gain.h"
#include "imaging/overlay.h"
#include "imaging/preview.h"
#include "imaging/scan_monitor.h"
#include "link/device_info.h"

namespace varnet {

namespace {

// Paints a capture's thumbnail as it is. Qt's own engine for a pixmap icon
// files a copy of each new picture in the application's pixmap cache under a
// key it keeps for good, so a long run of live captures would grow without
// end; the few thumbnails need no cache.
class ThumbnailEngine : public QIconEngine {
 public:
  explicit ThumbnailEngine(QPixmap pixmap) : pixmap_(std::move(pixmap)) {}
  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    const QSize size = actualSize(rect.size(), mode, state);
    painter->drawPixmap(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, rect), pixmap(size, mode, state));
  }
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
    const QSize own = pixmap_.size();
    return own.width() > size.width() || own.height() > size.height() ? own.scaled(size, Qt::KeepAspectRatio) : own;
  }
  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
    const QSize fit = actualSize(size, mode, state);
    QPixmap shown =
        fit == pixmap_.size() ? pixmap_ : pixmap_.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (mode == QIcon::Normal || mode == QIcon::Active) return shown;
    // Disabled and selected pictures as the style draws them for any icon.
    QStyleOption option;
    option.palette = QGuiApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, shown, &option);
  }
  QIconEngine* clone() const override { return new ThumbnailEngine(pixmap_); }

 private:
  QPixmap pixmap_;
};

}  // namespace

// Shows the newest preview at its own size, as the capture was composed.
class PreviewView : public QWidget {
 public:
  explicit PreviewView(QWidget* parent) : QWidget(parent) {
    setObjectName("preview");
    setAttribute(Qt::WA_OpaquePaintEvent);
    hide();
  }
  void SetImage(QImage image) {
    image_ = std::move(image);
    resize(image_.size());
    show();
    raise();
    update();
  }
  const QImage& Image() const { return image_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.drawImage(0, 0, image_);
  }

 private:
  QImage image_;
};

namespace {

constexpr int kFrameInset = 2;
const QColor kFrameGround(64, 64, 64);
const QColor kRed(220, 30, 30);

constexpr int kImageColumnWidths[] = {32, 100, 80, 80, 373};
constexpr int kScanColumnWidths[] = {32, 558};

// The crossed-out video camera shown where no capture has been painted yet.
QPixmap CameraOffPicture() {
  QPixmap pm(345, 277);
  pm.fill(kFrameGround);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor body(150, 150, 150);
  p.setPen(Qt::NoPen);
  p.setBrush(body);
  // Two film reels, the body and the lens hood.
  p.drawEllipse(QPointF(125, 92), 24, 24);
  p.drawEllipse(QPointF(185, 92), 24, 24);
  p.drawRoundedRect(QRectF(90, 116, 140, 84), 10, 10);
  QPainterPath hood;
  hood.moveTo(232, 145);
  hood.lineTo(270, 122);
  hood.lineTo(270, 194);
  hood.lineTo(232, 171);
  hood.closeSubpath();
  p.drawPath(hood);
  p.setBrush(kFrameGround);
  p.drawEllipse(QPointF(125, 92), 8, 8);
  p.drawEllipse(QPointF(185, 92), 8, 8);
  // The stroke through it, with a gap cut into the picture beside it.
  p.setPen(QPen(kFrameGround, 14, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(82, 56), QPointF(262, 226));
  p.setPen(QPen(kRed, 8, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(82, 56), QPointF(262, 226));
  return pm;
}

// Live: a small matrix symbol between red corner marks.
QPixmap LivePicture() {
  const int s = ImagePanel::kPauseSize;
  QPixmap pm(s, s);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.fillRect(QRect(15, 15, 32, 32), Qt::white);
  static const char* rows[] = {"1110101", "1010011", "1110110", "0001010", "1101111", "0110001", "1011101"};
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 7; ++x)
      if (rows[y][x] == '1') p.fillRect(QRect(17 + 4 * x, 17 + 4 * y, 4, 4), Qt::black);
  p.setPen(QPen(kRed, 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
  const int a = 5, b = s - 6, arm = 13;
  const QPoint corners[4][3] = {{{a, a + arm}, {a, a}, {a + arm, a}},
                                {{b - arm, a}, {b, a}, {b, a + arm}},
                                {{b, b - arm}, {b, b}, {b - arm, b}},
                                {{a + arm, b}, {a, b}, {a, b - arm}}};
  for (const auto& c : corners) p.drawPolyline(c, 3);
  return pm;
}

// Resume: a white play triangle on a dark disc.
QPixmap ResumePicture() {
  const int s = ImagePanel::kPauseSize;
  QPixmap pm(s, s);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(150, 150, 150), 2));
  p.setBrush(QColor(30, 30, 30));
  p.drawEllipse(QRectF(3, 3, s - 6, s - 6));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  const QPointF play[] = {{24, 17}, {46, 31}, {24, 45}};
  p.drawPolygon(play, 3);
  return pm;
}

void SetupList(QTreeWidget* list, const int* widths, int count, const QStringList& titles) {
  list->setColumnCount(count);
  list->setHeaderLabels(titles);
  list->setRootIsDecorated(false);
  list->setIndentation(0);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setAllColumnsShowFocus(true);
  list->header()->setStretchLastSection(false);
  list->header()->setSectionsMovable(false);
  // The five capture columns are a few pixels wider than the room beside the
  // settings side; the data column's last pixels rather than a scroll bar
  // for them (the row's tooltip carries the whole data).
  list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  for (int c = 0; c < count; ++c) {
    list->setColumnWidth(c, widths[c]);
    // Numbers centred, the data left.
    list->headerItem()->setTextAlignment(c, c == count - 1 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignCenter);
  }
}

}  // namespace

void PictureButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
  p.drawPixmap(0, 0, icon().pixmap(iconSize(), mode));
  if (hasFocus()) {
    p.setPen(QPen(palette().color(QPalette::Highlight), 1, Qt::DotLine));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
  }
}

ImagePanel::ImagePanel(const PageContext& page, ImagingState& imaging, const WindowMetrics& metrics, QWidget* parent)
    : QWidget(parent),
      page_(page),
      imaging_(imaging),
      metrics_(metrics),
      imageColumns_(imaging.ImageModeState != kSettingMode) {
  setObjectName("imagePanel");
  slots_.resize(std::max<size_t>(1, metrics_.RowLimit));

  frame_ = new QLabel(this);
  frame_->setObjectName("pictureFrame");
  frame_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  frame_->setAlignment(Qt::AlignCenter);
  frame_->setAutoFillBackground(true);
  QPalette framePalette = frame_->palette();
  framePalette.setColor(QPalette::Window, kFrameGround);
  frame_->setPalette(framePalette);
  frame_->setPixmap(CameraOffPicture());
  preview_ = new PreviewView(this);

  pausePictures_ = {QIcon(LivePicture()), QIcon(ResumePicture())};
  pause_ = new PictureButton(this);
  pause_->setObjectName("pauseButton");
  pause_->setIconSize(QSize(kPauseSize, kPauseSize));
  pause_->setFocusPolicy(Qt::NoFocus);
  pause_->setCursor(Qt::PointingHandCursor);
  ShowPausePicture();

  strip_ = new ThumbnailView(this);
  strip_->setObjectName("thumbnailStrip");
  strip_->setViewMode(QListView::IconMode);
  strip_->setMovement(QListView::Free);  // items sit where they are put
  strip_->setDragEnabled(false);
  strip_->setDragDropMode(QAbstractItemView::NoDragDrop);
  strip_->setFlow(QListView::LeftToRight);
  strip_->setWrapping(false);
  strip_->setResizeMode(QListView::Fixed);
  strip_->setSelectionMode(QAbstractItemView::SingleSelection);
  strip_->setIconSize(QSize(kThumbnailWidth, kThumbnailHeight));
  strip_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  strip_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  fixedBox_ = new QCheckBox(tr("Use Fixed Exposure and Gain Settings"), this);
  fixedBox_->setObjectName("fixedExposureBox");
  exposureLabel_ = new QLabel(ExposureText(0), this);
  exposureLabel_->setObjectName("exposureLabel");
  exposureSlider_ = new QSlider(Qt::Horizontal, this);
  exposureSlider_->setObjectName("exposureSlider");
  exposureSlider_->setRange(kExposureMin, kExposureMax);
  gainLabel_ = new QLabel(tr("Gain: 0"), this);
  gainLabel_->setObjectName("gainLabel");
  gainSlider_ = new QSlider(Qt::Horizontal, this);
  gainSlider_->setObjectName("gainSlider");
  gainSlider_->setRange(kGainMin, kGainMax);
  for (QSlider* s : {exposureSlider_, gainSlider_}) {
    s->setSingleStep(1);
    s->setEnabled(false);
  }
  tuneButton_ = new QPushButton(tr("Auto Tunning"), this);
  tuneButton_->setObjectName("autoTuningButton");
  tuneButton_->setEnabled(false);
  tuneButton_->setAutoDefault(false);

  results_ = new QTreeWidget(this);
  results_->setObjectName("resultList");
  if (imageColumns_) {
    SetupList(results_, kImageColumnWidths, 5,
              {QStringLiteral("No."), QStringLiteral("Decode Time"), QStringLiteral("Exposure"), QStringLiteral("Gain"),
               QStringLiteral("Data")});
  } else {
    SetupList(results_, kScanColumnWidths, 2, {QStringLiteral("No."), QStringLiteral("Data")});
    // Written by the monitor only, but read by the user: greyed, not faded.
    results_->setEnabled(false);
    QPalette readable = results_->palette();
    readable.setColor(QPalette::Disabled, QPalette::Text, readable.color(QPalette::Active, QPalette::Text));
    results_->setPalette(readable);
    strip_->setEnabled(false);
    pause_->setEnabled(false);
  }

  connect(pause_, &QAbstractButton::clicked, this, [this] { TogglePause(); });
  connect(strip_, &QListWidget::itemSelectionChanged, this, [this] { OnListSelection(strip_); });
  connect(results_, &QTreeWidget::itemSelectionChanged, this, [this] { OnListSelection(results_); });
  connect(fixedBox_, &QCheckBox::clicked, this, [this] { OnFixedExposureClicked(); });
  connect(tuneButton_, &QPushButton::clicked, this, [this] { OnAutoTuning(); });

  SetFixedExposureChecked(page_.device.paramBlock.U16(pb::Exposure) != 0);
  UpdateExposureGainControls(true);
}

int ImagePanel::PreviewHeightNow() const { return PreviewHeight(metrics_.EffectiveScreenHeight); }

QString ImagePanel::ExposureText(int exposure) const { return tr("Exposure: %1").arg(exposure); }

QString ImagePanel::GainText(int gain) const { return tr("Gan: %1").arg(gain); }

QWidget* ImagePanel::Preview() const { return preview_; }

QImage ImagePanel::PreviewImage() const { return preview_->isHidden() ? QImage() : preview_->Image(); }

void ImagePanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void ImagePanel::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Relayout();
}

void ImagePanel::Relayout() {
  // The preview belongs at a fixed place of the main window, wherever the
  // tab area puts this page.
  const QPoint o = mapFrom(window(), kPreviewOrigin);
  const int p = PreviewHeightNow();
  frame_->setGeometry(o.x() - kFrameInset, o.y() - kFrameInset, kPreviewWidth + 2 * kFrameInset, p + 2 * kFrameInset);
  preview_->move(o);

  int y = o.y() + p + kFrameInset + 8;
  pause_->setGeometry(o.x(), y, kPauseSize, kPauseSize);
  const int stripWidth = ThumbnailPosition(int(slots_.size())).x() + 2 * strip_->frameWidth();
  strip_->setGeometry(o.x() + kPauseSize + 10, y, stripWidth, kPauseSize);

  y += kPauseSize + 6;
  const int row = std::max(fixedBox_->sizeHint().height(), tuneButton_->sizeHint().height());
  fixedBox_->setGeometry(o.x(), y, kPreviewWidth - 140, row);
  tuneButton_->setGeometry(o.x() + kPreviewWidth - 130, y, 130, row);
  y += row + 4;
  exposureLabel_->setGeometry(o.x(), y, 120, row);
  exposureSlider_->setGeometry(o.x() + 120, y, 190, row);
  gainLabel_->setGeometry(o.x() + 330, y, 100, row);
  gainSlider_->setGeometry(o.x() + 430, y, kPreviewWidth - 430, row);
  y += row + 6;

  // The list is as wide as its columns where the page allows, never wider.
  int columns = 0;
  for (int c = 0; c < results_->columnCount(); ++c) columns += results_->columnWidth(c);
  const int wanted = columns + 2 * results_->frameWidth() +
                     results_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, results_);
  const int w = std::min(wanted, width() - 4);
  const int x = std::clamp(width() - 2 - w, 2, std::max(2, o.x()));
  results_->setGeometry(x, y, w, std::max(60, height() - y - 4));
}

// ---------------------------------------------------------------- captures

void ImagePanel::ClearCaptureLists() {
  // The pictures of the slots stay until they are replaced.
  strip_->clear();
  results_->clear();
}

void ImagePanel::AddThumbnail(uint8_t number, const std::string& path, const std::vector<uint8_t>& image) {
  if (number == 0) return;
  const size_t i = number - 1u;
  if (i >= slots_.size()) slots_.resize(i + 1);
  // One decode serves the thumbnail now and the preview right after.
  const QImage decoded = DecodeCapture(image.data(), image.size());
  pending_ = {};
  if (!decoded.isNull()) {
    pending_ = {path, decoded.size(), ScaleForPreview(decoded, PreviewHeightNow())};
    const QImage thumb = MakeThumbnail(pending_.scaled);
    if (!thumb.isNull())
      slots_[i] = QIcon(new ThumbnailEngine(QPixmap::fromImage(thumb.convertToFormat(QImage::Format_RGB888))));
  }

  strip_->setUpdatesEnabled(false);
  if (int(i) < strip_->count()) delete strip_->takeItem(int(i));
  auto* item = new QListWidgetItem(slots_[i], QString::number(number));
  item->setTextAlignment(Qt::AlignHCenter);
  strip_->insertItem(std::min(int(i), strip_->count()), item);
  strip_->PlaceItems();
  strip_->setUpdatesEnabled(true);
}

void ThumbnailView::PlaceItems() {
  for (int i = 0; i < count(); ++i) setPositionForIndex(ImagePanel::ThumbnailPosition(i), model()->index(i, 0));
}

void ImagePanel::AddResultRow(const CaptureResult& result) {
  const auto cells = ResultRowTexts(result);
  QStringList texts;
  for (const std::string& cell : cells) texts << QString::fromLatin1(cell.data(), qsizetype(cell.size()));
  auto* item = new QTreeWidgetItem(texts);
  for (int c = 0; c < 4; ++c) item->setTextAlignment(c, Qt::AlignCenter);
  item->setToolTip(4, texts[4]);
  const int at = std::clamp(int(result.number) - 1, 0, results_->topLevelItemCount());
  results_->insertTopLevelItem(at, item);
  results_->scrollToItem(item);
}

void ImagePanel::DrawCapturePreview(const std::string& path, const std::optional<BarcodeCorners>& corners) {
  const int p = PreviewHeightNow();
  const uint8_t decodeArea = page_.device.paramBlock.U8(pb::DecodeArea);
  QImage preview;
  if (!pending_.path.empty() && pending_.path == path) {
    preview = std::move(pending_.scaled);
    PaintOverlay(preview,
                 OverlaySegments(pending_.captured.width(), pending_.captured.height(), p, corners, decodeArea));
    pending_ = {};
  } else {
    QImage decoded(QFile::decodeName(path.c_str()));
    preview = ComposeCapturePreview(decoded, corners, decodeArea, p);
  }
  if (preview.isNull()) return;  // the preview keeps what it showed
  preview_->SetImage(std::move(preview));
}

void ImagePanel::AddScanRow(const std::string& text) {
  const ScanRowPlacement place = PlaceScanRow(size_t(results_->topLevelItemCount()), metrics_.RowLimit);
  if (place.clearFirst) results_->clear();
  auto* item =
      new QTreeWidgetItem({QString::number(place.number), QString::fromLatin1(text.data(), qsizetype(text.size()))});
  item->setTextAlignment(0, Qt::AlignCenter);
  results_->addTopLevelItem(item);
  results_->scrollToItem(item);
}

void ImagePanel::ShowPausePicture() {
  pause_->setIcon(pausePictures_[imaging_.ImageModeState == kImagePaused ? 1 : 0]);
  pause_->update();
}

void ImagePanel::TogglePause() {
  if (!page_.link.IsOpen() || imaging_.ImageModeState == kSettingMode) return;
  if (imaging_.ImageModeState == kImageRunning) {
    imaging_.ImageModeState = kImagePaused;
  } else {
    imaging_.ImageModeState = kImageRunning;
    // Live again: no row stands for the picture any more, and a click on the
    // row that was shown must count as a new choice.
    QSignalBlocker a(strip_), b(results_);
    strip_->clearSelection();
    results_->clearSelection();
  }
  ShowPausePicture();
}

void ImagePanel::OnListSelection(QAbstractItemView* list) {
  const QModelIndexList selected = list->selectionModel()->selectedIndexes();
  if (selected.isEmpty()) return;
  const int row = selected.first().row();
  {
    // Both lists mark the capture on show.
    QSignalBlocker a(strip_), b(results_);
    if (list == strip_ && row < results_->topLevelItemCount()) results_->setCurrentItem(results_->topLevelItem(row));
    if (list == results_ && row < strip_->count()) strip_->setCurrentRow(row);
  }
  if (imaging_.ImageModeState == kImageRunning) TogglePause();
  if (imaging_.captureDir.empty()) return;
  DrawCapturePreview(CapturePath(imaging_.captureDir, row + 1), std::nullopt);
}

// ------------------------------------------------------- exposure and gain

void ImagePanel::UpdateAll(bool enable) {
  if (updateAll_) updateAll_(enable);
  else UpdateExposureGainControls(enable);
}

void ImagePanel::SetFixedExposureChecked(bool checked) { fixedBox_->setChecked(checked); }

void ImagePanel::UpdateExposureGainControls(bool enable) {
  const ExposureGainControls c = varnet::UpdateExposureGainControls(page_.device.paramBlock, fixedBox_->isChecked(),
                                                                    enable, imaging_.ImageModeState);
  fixedBox_->setEnabled(c.checkBoxEnabled);
  for (QWidget* w : std::initializer_list<QWidget*>{exposureSlider_, gainSlider_, gainLabel_, tuneButton_})
    w->setHidden(!c.fixed);
  if (!c.fixed) exposureLabel_->setText(tr("Auto Exposure"));
  if (c.exposure) {
    exposureSlider_->setValue(*c.exposure);
    exposureLabel_->setText(ExposureText(*c.exposure));
  }
  if (c.gain) {
    gainSlider_->setValue(*c.gain);
    gainLabel_->setText(GainText(*c.gain));
  }
  for (QWidget* w : std::initializer_list<QWidget*>{exposureSlider_, gainSlider_, tuneButton_})
    w->setEnabled(c.slidersEnabled);
}

void ImagePanel::OnFixedExposureClicked() {
  UpdateAll(false);
  FixedExposureClicked(page_.link, page_.device, fixedBox_->isChecked());
  UpdateAll(true);
}

void ImagePanel::OnAutoTuning() {
  UpdateAll(false);
  // The wait below blocks the event loop: show the greyed controls first.
  if (isVisible()) repaint();
  AutoTuning(page_.link);
  UpdateAll(true);
}

bool ImagePanel::PollExposureGainSliders() {
  const SliderPoll poll = varnet::PollExposureGainSliders(page_.link, imaging_, page_.device, fixedBox_->isChecked(),
                                                          exposureSlider_->value(), gainSlider_->value());
  if (poll.which == SliderPoll::Which::Exposure) exposureLabel_->setText(ExposureText(poll.position));
  if (poll.which == SliderPoll::Which::Gain) gainLabel_->setText(GainText(poll.position));
  return poll.UsedTick();
}

void ImagePanel::ShowCaptureExposureGain(int exposure, int gain) {
  const ShownValues shown = varnet::ShowCaptureExposureGain(imaging_, fixedBox_->isChecked(), exposure, gain);
  if (shown.exposure) {
    exposureLabel_->setText(ExposureText(*shown.exposure));
    exposureSlider_->setValue(*shown.exposure);
  }
  if (shown.gain) {
    gainLabel_->setText(GainText(*shown.gain));
    gainSlider_->setValue(*shown.gain);
  }
}

}  // namespace varnet
