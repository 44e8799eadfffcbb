// SPDX-License-Identifier: Apache-2.0
#include "settings/config_dlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QGridLayout>
#include <QHeaderView>
#include <QPainter>
#include <QPalette>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>

#include "imaging/image_panel.h"
#include "settings/apply_option.h"
#include "ui_common/link_texts.h"
#include "ui_common/prompts.h"

namespace varnet {

namespace {

const QColor kPageBackground(88, 88, 88);
const QColor kPageText(218, 218, 218);
// Greyed text of a disabled control on the dark background.
const QColor kPageTextDisabled(140, 140, 140);

constexpr int kOptionColumnWidth = 256;

// The drop-down part of a list keeps the system colours: the page's colours
// would otherwise be handed on to it.
class PageComboBox : public QComboBox {
 public:
  using QComboBox::QComboBox;
  void showPopup() override {
    // Every role set explicitly: a palette without resolved roles would
    // fall back to the inherited page colours.
    const QPalette app = QApplication::palette(view());
    QPalette system;
    for (int g = 0; g < QPalette::NColorGroups; ++g)
      for (int r = 0; r < QPalette::NColorRoles; ++r) {
        const auto group = QPalette::ColorGroup(g);
        const auto role = QPalette::ColorRole(r);
        system.setBrush(group, role, app.brush(group, role));
      }
    view()->window()->setPalette(system);
    view()->setPalette(system);
    QComboBox::showPopup();
  }
};

QPalette PagePalette(QPalette pal) {
  for (auto role : {QPalette::Window, QPalette::Base, QPalette::AlternateBase, QPalette::Button})
    pal.setColor(role, kPageBackground);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) pal.setColor(role, kPageText);
  for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
    pal.setColor(QPalette::Disabled, role, kPageTextDisabled);
  return pal;
}

// 16 x 16 check box pictures on a transparent ground: an empty box, and the
// same box with a tick.
QPixmap CheckPixmap(bool ticked, const QColor& colour) {
  QPixmap pm(16, 16);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(colour, 1));
  p.setBrush(Qt::NoBrush);
  p.drawRect(2, 2, 11, 11);
  if (ticked) {
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen tick(colour, 2);
    tick.setCapStyle(Qt::RoundCap);
    tick.setJoinStyle(Qt::RoundJoin);
    p.setPen(tick);
    const QPointF mark[] = {{4.5, 8.0}, {7.0, 10.5}, {11.5, 5.0}};
    p.drawPolyline(mark, 3);
  }
  p.end();
  return pm;
}

QIcon CheckImage(bool ticked) {
  QIcon icon(CheckPixmap(ticked, kPageText));
  // A greyed list greys its boxes with its text.
  icon.addPixmap(CheckPixmap(ticked, kPageTextDisabled), QIcon::Disabled);
  return icon;
}

}  // namespace

ConfigDlg::ConfigDlg(const PageContext& page, ImagingState& imaging, const WindowMetrics& metrics, QWidget* parent)
    : QWidget(parent), page_(page), imaging_(imaging), metrics_(metrics) {
  setObjectName("ConfigDlg");
  remembered_.fill(-1);
  setAutoFillBackground(true);
  setPalette(PagePalette(palette()));

  // Firmware version, then the serial number only with a format block.
  texts_ = ReadScannerTexts(page_.link, page_.device, 250);

  BuildSettingsSide();
  imageSide_ = new ImagePanel(page_, imaging_, metrics_, this);
  imageSide_->SetUpdateAll([this](bool enable) { UpdateExposureGainControls(enable); });

  {
    QSignalBlocker block(categorySelector_);
    std::string name;
    for (int c = 0; GetSettingGroup(0, c, page_.device.paramBlock, &name); ++c)
      categorySelector_->addItem(QString::fromUtf8(name.c_str()));
    categorySelector_->setCurrentIndex(0);
  }
  checkImages_ = {CheckImage(false), CheckImage(true)};
  UpdateExposureGainControls(true);
  fwValue_->setText(QString::fromLatin1(texts_.firmware.c_str()));
  snValue_->setText(QString::fromLatin1(texts_.serial.c_str()));

  connect(categorySelector_, &QComboBox::currentIndexChanged, this, [this] { FillFunctionList(); });
  connect(functionList_, &QComboBox::currentIndexChanged, this, [this] { FillOptionList(); });
  connect(optionList_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { ApplyClickedOption(optionList_->indexOfTopLevelItem(item)); });

  FillFunctionList();
}

void ConfigDlg::BuildSettingsSide() {
  settingsSide_ = new QWidget(this);
  settingsSide_->setObjectName("settingsSide");
  settingsSide_->setGeometry(0, 0, kSettingsSideWidth, height());

  auto* grid = new QGridLayout(settingsSide_);
  grid->setContentsMargins(16, 14, 4, 14);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(8);

  auto* fwLabel = new QLabel(tr("FW Version :"), settingsSide_);
  fwValue_ = new QLabel(settingsSide_);
  fwValue_->setObjectName("fwValue");
  auto* snLabel = new QLabel(tr("S/N :"), settingsSide_);
  snValue_ = new QLabel(settingsSide_);
  snValue_->setObjectName("snValue");
  for (QLabel* value : {fwValue_, snValue_}) value->setTextInteractionFlags(Qt::TextSelectableByMouse);

  // Set by the main window's tab only; never shown.
  categorySelector_ = new QComboBox(settingsSide_);
  categorySelector_->setObjectName("categorySelector");
  categorySelector_->hide();
  categorySelector_->setEnabled(false);

  auto* functionsLabel = new QLabel(tr("Functions :"), settingsSide_);
  functionsLabel->setObjectName("functionsLabel");
  functionList_ = new PageComboBox(settingsSide_);
  functionList_->setObjectName("functionList");
  functionList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  functionList_->setMaxVisibleItems(20);
  (void)functionList_->view();  // creates the popup now, so it keeps system colours

  optionList_ = new QTreeWidget(settingsSide_);
  optionList_->setObjectName("optionList");
  optionList_->setColumnCount(1);
  optionList_->setHeaderHidden(true);
  optionList_->setRootIsDecorated(false);
  optionList_->setIndentation(0);
  optionList_->setUniformRowHeights(true);
  optionList_->setSelectionMode(QAbstractItemView::SingleSelection);
  optionList_->setIconSize(QSize(16, 16));
  optionList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  optionList_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  optionList_->header()->setStretchLastSection(false);
  optionList_->setColumnWidth(0, kOptionColumnWidth);
  // Exactly one column wide, with room for the scroll bar.
  const int listWidth = kOptionColumnWidth + 2 * optionList_->frameWidth() +
                        optionList_->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, optionList_);
  optionList_->setFixedWidth(listWidth);
  functionList_->setFixedWidth(listWidth);

  grid->addWidget(fwLabel, 0, 0);
  grid->addWidget(fwValue_, 0, 1);
  grid->addWidget(snLabel, 1, 0);
  grid->addWidget(snValue_, 1, 1);
  grid->setRowMinimumHeight(2, 6);
  grid->addWidget(functionsLabel, 3, 0);
  grid->addWidget(functionList_, 3, 1);
  grid->addWidget(optionList_, 4, 1);
  grid->setRowStretch(4, 1);
  grid->setColumnStretch(0, 1);
}

void ConfigDlg::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  settingsSide_->setGeometry(0, 0, kSettingsSideWidth, height());
  imageSide_->setGeometry(kSettingsSideWidth, 0, std::max(0, width() - kSettingsSideWidth), height());
}

int ConfigDlg::Category() const { return categorySelector_->currentIndex(); }

void ConfigDlg::SelectCategory(int category) {
  if (category < 0 || category >= categorySelector_->count()) return;
  {
    QSignalBlocker block(categorySelector_);
    categorySelector_->setCurrentIndex(category);
  }
  // Also when the category did not change: a tab that is entered again shows
  // the copy as earlier clicks left it.
  FillFunctionList();
}

int ConfigDlg::RememberedGroup(int category) const {
  return category >= 0 && category < kCategoryCount ? remembered_[size_t(category)] : -1;
}

ScannerModel ConfigDlg::Model() const { return ScannerModel::From(page_.device.paramBlock, texts_.firmware); }

const EffectiveGroup* ConfigDlg::CurrentGroup() const {
  const int p = functionList_->currentIndex();
  if (p < 0 || size_t(p) >= groups_.size()) return nullptr;
  return &groups_[size_t(p)];
}

void ConfigDlg::FillFunctionList() {
  const int c = Category();
  groups_ = ShownGroups(c, Model());
  {
    QSignalBlocker block(functionList_);
    functionList_->clear();
    for (const EffectiveGroup& g : groups_) functionList_->addItem(QString::fromUtf8(g.Label(page_.Chinese())));
    const int remembered = RememberedGroup(c);
    const int count = functionList_->count();
    functionList_->setCurrentIndex(count == 0 ? -1 : (remembered >= 0 && remembered < count ? remembered : 0));
  }
  FillOptionList();
}

void ConfigDlg::FillOptionList() {
  const EffectiveGroup* group = CurrentGroup();
  const int c = Category();
  if (!group || c < 0 || c >= kCategoryCount) return;
  remembered_[size_t(c)] = functionList_->currentIndex();

  optionList_->clear();
  options_ = ShownOptions(*group, Model());
  const std::vector<bool> ticks = TicksInForce(*group, options_, page_.device.paramBlock);
  for (size_t i = 0; i < options_.size(); ++i) {
    auto* item = new QTreeWidgetItem(optionList_, {QString::fromUtf8(options_[i].Label(page_.Chinese()))});
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    SetRowState(int(i), ticks[i]);
  }
  // Without a format block these groups are shown but cannot be changed.
  optionList_->setEnabled(OptionListEnabled(*group, page_.device.HasFormatBlock()));
}

void ConfigDlg::SetRowState(int row, bool inForce) {
  QTreeWidgetItem* item = optionList_->topLevelItem(row);
  if (!item) return;
  const int v = inForce ? 1 : 0;
  item->setData(0, kImageIndexRole, v);
  item->setData(0, kItemValueRole, v);
  item->setIcon(0, checkImages_[size_t(v)]);
}

void ConfigDlg::ShowTicks(const std::vector<bool>& ticks) {
  for (size_t i = 0; i < ticks.size(); ++i) SetRowState(int(i), ticks[i]);
}

std::vector<bool> ConfigDlg::RowTicks() const {
  std::vector<bool> ticks;
  ticks.reserve(size_t(optionList_->topLevelItemCount()));
  for (int i = 0; i < optionList_->topLevelItemCount(); ++i)
    ticks.push_back(optionList_->topLevelItem(i)->data(0, kItemValueRole).toInt() == 1);
  return ticks;
}

void ConfigDlg::ApplyClickedOption(int row) {
  // A message box of an earlier click runs its own event loop: a click that
  // arrives meanwhile must not start a second exchange on the link.
  if (applying_ || !optionList_->isEnabled()) return;
  const EffectiveGroup* current = CurrentGroup();
  if (!current || row < 0 || size_t(row) >= options_.size()) return;
  // Copies: the lists may be rebuilt while a message is shown.
  const EffectiveGroup group = *current;
  const std::vector<EffectiveOption> shown = options_;
  const std::vector<bool> before = RowTicks();
  const ClickDecision decision = DecideClick(group, shown, before, size_t(row));
  if (!decision.send) return;

  applying_ = true;
  // The marks move at once; the scanner's answer confirms or undoes them.
  ShowTicks(decision.ticks);
  if (optionList_->isVisible()) optionList_->viewport()->repaint();
  const ApplyResult result =
      ApplyOption(page_.link, page_.device, group, shown, before, size_t(row), imaging_.ImageModeState != kSettingMode);
  ShowTicks(result.ticks);

  if (!result.acked) {
    page_.prompts.Error(MessageId::SetFailed);
  } else if (result.reopenFailed) {
    // The scanner took the new rate but the port would not follow.
    page_.prompts.Show(OpenFailureMessage(page_.link));
  } else if (result.rebootNotice) {
    page_.prompts.Info(MessageId::RebootNotice);
  }
  applying_ = false;
}

void ConfigDlg::SetFixedExposureChecked(bool checked) { imageSide_->SetFixedExposureChecked(checked); }

void ConfigDlg::UpdateExposureGainControls(bool enable) {
  functionList_->setEnabled(enable);
  categorySelector_->setEnabled(enable);
  imageSide_->UpdateExposureGainControls(enable);
}

}  // namespace varnet
