// SPDX-License-Identifier: Apache-2.0
// Message boxes as the program shows them, under its own application object:
// an empty title that the platform fills with the program's name, and the
// reason's line in the interface language.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>
#include <qpa/qplatformwindow.h>

#include <cerrno>

#include "app/qt_prompts.h"
#include "app/varnet_app.h"
#include "transfer/export_result.h"

namespace varnet {
namespace {

struct Box {
  QString title, text, detail;
};

// Shows the message and reads the box back before closing it.
Box Shown(QtPrompts& prompts, const Message& m) {
  Box box;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (auto* shown = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      box = {shown->windowTitle(), shown->text(), shown->informativeText()};
      shown->accept();
    }
  });
  poll.start(10);
  prompts.Show(m);
  return box;
}

// The title rule the X11 and Wayland back ends apply to every window: an empty
// title (every message box) becomes the display name.
struct TitleRule : QPlatformWindow {
  using QPlatformWindow::formatWindowTitle;
};

TEST(MessageBox, EmptyTitleUnderTheProgramsNameAndReasonsInBothLanguages) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "varnet";
  char* argv[] = {name, nullptr};
  CVarnetApp app(argc, argv);
  EXPECT_EQ(TitleRule::formatWindowTitle(QString(), " - ").toStdString(), "Varnet");

  QtPrompts prompts;
  const Message permission{MessageId::OpenComFailed, Icon::Error, Caption::None, Reason::PortPermission};
  Box en = Shown(prompts, permission);
  EXPECT_EQ(en.title, "");
  EXPECT_EQ(en.text, "Open COM Failed");
  EXPECT_EQ(en.detail,
            "Permission denied: add your user to the dialout group, or install the udev rule for the scanner.");
  EXPECT_EQ(Shown(prompts, ExportFailureMessage(FileFailure(ENOENT))).detail, "The folder does not exist.");

  InstallTranslations(app, kLangChinese);
  Box zh = Shown(prompts, permission);
  EXPECT_EQ(zh.detail, QString::fromUtf8("权限不足：请将您的用户加入 dialout 群组，或安装扫描器的 udev 规则。"));
  Box exportBox = Shown(prompts, ExportFailureMessage(FileFailure(ENOENT)));
  EXPECT_EQ(exportBox.text, QString::fromUtf8("汇出失败"));
  EXPECT_EQ(exportBox.detail, QString::fromUtf8("资料夹不存在。"));
  // An errno the program has no words of its own for: the system's.
  const QString other = Shown(prompts, ExportFailureMessage(FileFailure(ENAMETOOLONG))).detail;
  EXPECT_TRUE(other.startsWith(QString::fromUtf8("无法写入档案：")) && !other.contains("%1")) << other.toStdString();
  InstallTranslations(app, kLangEnglish);
}

}  // namespace
}  // namespace varnet
