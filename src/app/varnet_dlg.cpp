// SPDX-License-Identifier: Apache-2.0
#include "app/varnet_dlg.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

#include "app/images.h"
#include "app/qt_prompts.h"
#include "app/search_worker.h"
#include "imaging/capture_fetch.h"
#include "imaging/capture_files.h"
#include "imaging/image_mode.h"
#include "imaging/image_panel.h"
#include "imaging/scan_monitor.h"
#include "link/protocol.h"
#include "pages/output_format_dlg.h"
#include "pages/trigger_dlg.h"
#include "settings/config_dlg.h"
#include "transfer/export_dlg.h"
#include "ui_common/link_texts.h"
#include "ui_common/window_metrics.h"

namespace varnet {

namespace {

// The small window: 391 x 282 dialog units of the classic dialog font.
constexpr int kSmallWidth = 586;
constexpr int kSmallHeight = 458;
// A virtual serial port ignores the rate; the search recorded none for it.
constexpr uint32_t kUsbConnectRate = 115200;

void SetTextColour(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, c);
  p.setColor(QPalette::ButtonText, c);
  p.setColor(QPalette::Text, c);
  w->setPalette(p);
}

}  // namespace

bool KeySwallower::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget->window() != window_) return false;
  int key = static_cast<QKeyEvent*>(event)->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) return true;
  // A space may be typed into a text field; it must not press a button.
  if (key == Qt::Key_Space) return qobject_cast<QLineEdit*>(widget) == nullptr;
  return false;
}

CVarnetDlg::CVarnetDlg(AppState& app, DeviceRegistry& registry, QWidget* parent)
    : QWidget(parent), app_(app), registry_(registry) {
  setObjectName("CVarnetDlg");
  setWindowTitle(QStringLiteral("Varnet V" VARNET_VERSION));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Button, Qt::white);
  setPalette(pal);
  resize(kSmallWidth, kSmallHeight);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &CVarnetDlg::OnTimerTick);

  banner_ = new QLabel(this);
  banner_->setObjectName("banner");
  banner_->setGeometry(10, 10, 420, 120);
  banner_->setPixmap(BannerPixmap(banner_->size()));

  barcode_ = new QLabel(this);
  barcode_->setObjectName("connectionBarcode");
  barcode_->setGeometry(455, 12, 96, 85);
  instruction_ = new QLabel(this);
  instruction_->setObjectName("instruction");
  instruction_->setGeometry(436, 98, 140, 40);
  instruction_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  instruction_->setText(tr("    Scan Barcode ") + "\n\n" + tr("Connect to Scanner"));
  SetTextColour(instruction_, QColor(0, 0, 255));

  imageRadio_ = new QRadioButton(tr("Image Mode  ( USB Port Only )"), this);
  imageRadio_->setObjectName("imageModeRadio");
  imageRadio_->setGeometry(20, 142, 260, 22);
  settingRadio_ = new QRadioButton(tr("Setting Mode"), this);
  settingRadio_->setObjectName("settingModeRadio");
  settingRadio_->setGeometry(300, 142, 200, 22);
  searchButton_ = new QPushButton(tr("Search"), this);
  searchButton_->setObjectName("searchButton");
  searchButton_->setGeometry(20, 172, 120, 32);
  connectButton_ = new QPushButton(tr("Connect"), this);
  connectButton_->setObjectName("connectButton");
  connectButton_->setGeometry(150, 172, 120, 32);
  progress_ = new QProgressBar(this);
  progress_->setObjectName("searchProgress");
  progress_->setGeometry(290, 180, 276, 16);
  progress_->setRange(0, 8);
  progress_->setTextVisible(false);

  list_ = new QTreeWidget(this);
  list_->setObjectName("deviceList");
  list_->setGeometry(10, 214, 566, 234);
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setAllColumnsShowFocus(true);

  tabArea_ = new QWidget(this);
  tabArea_->setObjectName("tabArea");
  tabArea_->hide();
  tabs_ = new QTabBar(tabArea_);
  tabs_->setObjectName("tabs");
  tabs_->setExpanding(false);

  connect(imageRadio_, &QRadioButton::clicked, this, &CVarnetDlg::OnImageModeClicked);
  connect(settingRadio_, &QRadioButton::clicked, this, &CVarnetDlg::OnSettingModeClicked);
  connect(searchButton_, &QPushButton::clicked, this, [this] {
    StopTimer();
    StartSearch();
  });
  connect(connectButton_, &QPushButton::clicked, this, &CVarnetDlg::Connect);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CVarnetDlg::OnRowChanged);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    int row = list_->indexOfTopLevelItem(item);
    if (row >= 0 && size_t(row) < search_.rows && !search_.DeviceTable[row].portName.empty()) Connect();
  });
  connect(tabs_, &QTabBar::currentChanged, this, &CVarnetDlg::OnTabChanged);

  keySwallower_ = new KeySwallower(this);
  qApp->installEventFilter(keySwallower_);
}

CVarnetDlg::~CVarnetDlg() {
  qApp->removeEventFilter(keySwallower_);
  timer_.stop();
  if (worker_) {
    worker_->disconnect(this);
    worker_->Cancel();
    delete worker_;
    worker_ = nullptr;
  }
  CloseLink(app_.link);
  // The directory has a name of its own for this run; nobody can use its
  // files after us.
  RemoveCaptureDir(app_.imaging);
}

void CVarnetDlg::Initialise(int screenWidth, int screenHeight) {
  setWindowIcon(AppIcon());
  screenWidth_ = screenWidth;
  screenHeight_ = screenHeight;
  app_.metrics.ScreenWidth = screenWidth;
  app_.metrics.EffectiveScreenHeight = EffectiveHeightFor(screenWidth, screenHeight);
  app_.metrics.RowLimit = RowLimitFor(app_.metrics.EffectiveScreenHeight);

  list_->setHeaderLabels({QStringLiteral("No."), QStringLiteral("Status"),
                          QStringLiteral("                         Scanner"), QStringLiteral("FW")});
  const int widths[] = {38, 100, 245, 125};
  for (int c = 0; c < 4; ++c) list_->setColumnWidth(c, widths[c]);
  list_->headerItem()->setTextAlignment(0, Qt::AlignCenter);
  list_->headerItem()->setTextAlignment(1, Qt::AlignCenter);
  list_->headerItem()->setTextAlignment(3, Qt::AlignCenter);
  list_->headerItem()->setTextAlignment(2, Qt::AlignLeft | Qt::AlignVCenter);
  resize(kSmallWidth, kSmallHeight);
  CenterOnScreen();

  StopTimer();
  app_.imaging.ImageModeState = kImageRunning;
  ShowDisconnectedLayout();
  initialRect_ = geometry();
  imageRadio_->setChecked(true);
  barcode_->setPixmap(QPixmap::fromImage(ConnectionBarcode()));
}

void CVarnetDlg::CenterOnScreen() { move((screenWidth_ - width()) / 2, std::max(0, (screenHeight_ - height()) / 2)); }

bool CVarnetDlg::ImageModeSelected() const { return imageRadio_->isChecked(); }

void CVarnetDlg::ShowDisconnectedLayout(bool show) {
  barcode_->hide();
  instruction_->hide();
  progress_->hide();
  connectButton_->setEnabled(false);
  searchButton_->setEnabled(true);
  for (QWidget* w :
       std::initializer_list<QWidget*>{banner_, imageRadio_, settingRadio_, connectButton_, searchButton_, list_})
    w->setVisible(show);
}

void CVarnetDlg::StartTimer(int ms) { timer_.start(ms); }

void CVarnetDlg::StopTimer() { timer_.stop(); }

void CVarnetDlg::OnImageModeClicked() {
  StopTimer();
  app_.imaging.ImageModeState = kImageRunning;
  ShowDisconnectedLayout();
  // Image Mode lists no RS-232 scanners: search again without them.
  if (search_.rs232Count > 0) StartSearch();
}

void CVarnetDlg::OnSettingModeClicked() {
  app_.imaging.ImageModeState = kSettingMode;
  StopTimer();
  ShowDisconnectedLayout();
  if (search_.keyboardCount > 0 || search_.usbCount > 0) StartSearch();
}

void CVarnetDlg::SetSearchControlsEnabled(bool enabled) {
  imageRadio_->setEnabled(enabled);
  settingRadio_->setEnabled(enabled);
  searchButton_->setEnabled(enabled);
  list_->setEnabled(enabled);
  setEnabled(enabled);
}

void CVarnetDlg::StartSearch() {
  if (worker_) return;
  SetSearchControlsEnabled(false);
  barcode_->hide();
  instruction_->hide();
  list_->clear();
  search_ = SearchResult{};
  progress_->setRange(0, 8);
  progress_->setValue(0);
  progress_->show();
  worker_ = new SearchWorker(registry_, settingRadio_->isChecked(), IsChinese(app_.UiLanguage), this);
  connect(worker_, &SearchWorker::progress, this, &CVarnetDlg::OnSearchProgress);
  connect(worker_, &SearchWorker::rowFound, this, &CVarnetDlg::OnRowFound);
  connect(worker_, &SearchWorker::searchDone, this, &CVarnetDlg::OnSearchDone);
  worker_->start();
}

void CVarnetDlg::OnSearchProgress(int position) { progress_->setValue(position); }

void CVarnetDlg::OnRowFound(const QStringList& columns) {
  QSignalBlocker block(list_);
  auto* item = new QTreeWidgetItem(list_, columns);
  item->setTextAlignment(0, Qt::AlignCenter);
  item->setTextAlignment(1, Qt::AlignCenter);
  item->setTextAlignment(3, Qt::AlignCenter);
}

void CVarnetDlg::OnSearchDone(const SearchResult& result) {
  search_ = result;
  if (worker_) {
    worker_->wait();
    worker_->deleteLater();
    worker_ = nullptr;
  }
  progress_->hide();
  SetSearchControlsEnabled(true);
  emit searchFinished();
}

int CVarnetDlg::SelectedRow() const {
  auto items = list_->selectedItems();
  if (items.isEmpty()) return -1;
  return list_->indexOfTopLevelItem(items.first());
}

void CVarnetDlg::OnRowChanged() {
  ShowDisconnectedLayout();
  StopTimer();
  int row = SelectedRow();
  if (row < 0 || size_t(row) >= search_.rows) return;
  if (search_.DeviceTable[row].portName.empty()) {
    // A keyboard-mode scanner: show the barcode that switches it to its
    // virtual serial port, and wait for that port to show up.
    barcode_->show();
    instruction_->show();
    searchButton_->setEnabled(false);
    StartTimer(150);
    emit waitingForKeyboardScanner();
  } else {
    searchButton_->setEnabled(false);
    connectButton_->setEnabled(true);
  }
}

void CVarnetDlg::Connect() {
  StopTimer();
  connectButton_->setEnabled(false);
  int row = SelectedRow();
  if (row < 0 || size_t(row) >= search_.rows || search_.DeviceTable[row].portName.empty()) return;
  const DeviceTableEntry& entry = search_.DeviceTable[row];
  uint32_t baud = ImageModeSelected() ? 115200 : (entry.baud ? entry.baud : kUsbConnectRate);

  if (!OpenLink(app_.link, entry.portName, baud)) {
    app_.prompts->Show(OpenFailureMessage(app_.link));
    ShowDisconnectedLayout();
    return;
  }
  app_.link.LinkPortName = entry.portName;
  app_.imaging.CaptureCounter = 0;
  // Made once per run; a failure here is tried again with the first capture.
  if (ImageModeSelected()) (void)EnsureCaptureDir(app_.imaging);
  if (!ReadDeviceInformationWithNotice(app_.link, app_.device, *app_.prompts)) {
    app_.prompts->Error(MessageId::ConnectFailed);
    Disconnect();
    return;
  }
  // The pause button shows "live" on a new connection; so must the state.
  if (ImageModeSelected()) app_.imaging.ImageModeState = kImageRunning;

  ShowDisconnectedLayout(false);
  int w = initialRect_.width() * 18 / 10;
  int h = app_.metrics.EffectiveScreenHeight - app_.metrics.EffectiveScreenHeight / 8;
  setGeometry(initialRect_.left(), initialRect_.top(), w, h);
  CenterOnScreen();
  tabArea_->setGeometry(0, 0, w, h);

  {
    QSignalBlocker block(tabs_);
    for (const char* title : {QT_TR_NOOP("Scan Settings"), QT_TR_NOOP("Decode Settings"), QT_TR_NOOP("Symbologies"),
                              QT_TR_NOOP("Interface"), QT_TR_NOOP("Output Settings"), QT_TR_NOOP("Trigger Settings"),
                              QT_TR_NOOP("Export / Import Settings")})
      tabs_->addTab(tr(title));
  }
  tabs_->setGeometry(0, 0, w, tabs_->sizeHint().height());
  int top = tabs_->sizeHint().height();
  QRect pageRect(1, top, w - 2, h - top - 1);
  QRect otherRect = pageRect.translated(app_.metrics.ScreenWidth / 8, app_.metrics.EffectiveScreenHeight / 10);

  const PageContext page = app_.Page();
  configPage_ = new ConfigDlg(page, app_.imaging, app_.metrics, tabArea_);
  configPage_->setGeometry(pageRect);
  outputPage_ = new OutputFormatDlg(page, tabArea_);
  outputPage_->setGeometry(otherRect);
  outputPage_->hide();
  triggerPage_ = new TriggerDlg(page, tabArea_);
  triggerPage_->setGeometry(otherRect);
  triggerPage_->hide();
  exportPage_ = new ExportDlg(page, tabArea_);
  exportPage_->SetScannerTexts(configPage_->Texts());
  exportPage_->setGeometry(otherRect);
  exportPage_->hide();
  configPage_->show();

  tabArea_->show();
  {
    QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(0);
  }
  configPage_->SelectCategory(0);

  if (app_.imaging.ImageModeState != kSettingMode) StartImageMode(app_.link);
  StartTimer(100);
  emit connected();
}

void CVarnetDlg::Disconnect() {
  connectButton_->setEnabled(false);
  if (app_.link.IsOpen()) {
    CloseLink(app_.link);
    app_.link.LinkBusy = true;
    app_.imaging.ShownExposure = -1;
    app_.imaging.ShownGain = -1;
    for (QWidget* page : std::initializer_list<QWidget*>{configPage_, outputPage_, triggerPage_, exportPage_})
      delete page;
    configPage_ = nullptr;
    outputPage_ = nullptr;
    triggerPage_ = nullptr;
    exportPage_ = nullptr;
    {
      QSignalBlocker block(tabs_);
      while (tabs_->count() > 0) tabs_->removeTab(0);
    }
    tabArea_->hide();
    ReleaseFormatBlock(app_.device);
    setGeometry(initialRect_);
    CenterOnScreen();
    emit disconnected();
  }
  ShowDisconnectedLayout();
}

void CVarnetDlg::OnTabChanged(int t) {
  if (!configPage_) return;
  if (t == 4 || t == 5 || t == 6) {
    StopTimer();
    configPage_->hide();
    if (t == 6) configPage_->UpdateExposureGainControls(false);
    outputPage_->setVisible(false);
    triggerPage_->setVisible(false);
    exportPage_->setVisible(false);
    if (t == 4) {
      outputPage_->Refresh();
      outputPage_->show();
    } else if (t == 5) {
      triggerPage_->Refresh();
      triggerPage_->show();
    } else {
      exportPage_->show();
    }
    return;
  }
  outputPage_->hide();
  triggerPage_->hide();
  exportPage_->hide();
  configPage_->SetFixedExposureChecked(app_.device.paramBlock.U16(pb::Exposure) != 0);
  configPage_->SelectCategory(t);
  configPage_->UpdateExposureGainControls(true);
  configPage_->show();
  StartTimer(ImageModeSelected() ? 250 : 100);
}

bool CVarnetDlg::CloseRequest() {
  if (!app_.link.IsOpen()) {
    ReleaseFormatBlock(app_.device);
    return true;
  }
  app_.link.LinkBusy = true;
  StopTimer();
  bool skipImageStop = false;
  if (app_.device.settingsDirty) {
    if (app_.prompts->AskYesNo(MessageId::SaveAllSettings)) {
      SendShortCommand(app_.link, kSave);
      bool saved = WaitAck(app_.link, 2000);
      if (saved) app_.prompts->Info(MessageId::SettingsSaved);
      else app_.prompts->Error(MessageId::SaveFailed);
    }
    // A changed output interface restarts the scanner instead.
    const bool restart = RestartOnClose(app_.device);
    app_.device.settingsDirty = 0;
    if (restart) {
      SendRestart(app_.link);
      skipImageStop = true;
    }
  } else {
    app_.device.interfaceAtConnect = app_.device.paramBlock.U8(pb::OutputInterface);
  }
  if (!skipImageStop && app_.imaging.ImageModeState != kSettingMode) (void)StopImageMode(app_.link);
  Disconnect();
  StopTimer();
  StartSearch();
  return false;
}

void CVarnetDlg::closeEvent(QCloseEvent* event) {
  if (CloseRequest()) event->accept();
  else event->ignore();
}

bool CVarnetDlg::UnplugDetected() {
  int count = registry_.CountUsbScannerPorts();
  if (count == search_.usbCount) return false;
  if (count != 0) {
    auto ports = registry_.ListUsbScannerPorts();
    if (ports.size() > kDeviceTableSize) ports.resize(kDeviceTableSize);
    if (std::find(ports.begin(), ports.end(), app_.link.LinkPortName) != ports.end()) {
      search_.usbCount = uint8_t(count);
      return true;  // still there; this tick is used up
    }
  }
  StopTimer();
  app_.device.settingsDirty = 0;
  CloseRequest();
  app_.prompts->Error(MessageId::Disconnected);
  return true;
}

void CVarnetDlg::OnTimerTick() {
  if (app_.link.IsOpen()) {
    // A tick does at most one thing on the link.
    if (settingRadio_->isChecked()) {
      if (app_.link.LinkBusy) return;
      std::string text;
      if (ReadScanData(app_.link, text) && configPage_) configPage_->ImageSide()->AddScanRow(text);
      return;
    }
    if (app_.imaging.ImageModeState != kImageRunning || app_.link.LinkBusy) return;
    if (UnplugDetected()) return;
    if (!configPage_) return;
    ImagePanel& images = *configPage_->ImageSide();
    if (images.PollExposureGainSliders()) return;
    BarcodeCorners corners{};
    if (!FetchCapture(app_.link, app_.imaging, app_.metrics.RowLimit, images, corners)) return;
    images.DrawCapturePreview(app_.imaging.newestCapturePath, corners);
    const uint8_t model = app_.device.paramBlock.ModelCode();
    StartTimer(model == 5 || model == 6 ? 250 : 150);
    return;
  }
  if (list_->topLevelItemCount() == 0) return;
  if (registry_.CountUsbScannerPorts() > search_.usbCount) {
    // The keyboard-mode scanner has come back as a virtual serial port.
    StopTimer();
    StartSearch();
  } else {
    searchButton_->setEnabled(true);
    list_->setEnabled(true);
    setEnabled(true);
  }
}

}  // namespace varnet
