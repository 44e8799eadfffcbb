// SPDX-License-Identifier: Apache-2.0
// Message boxes as the program shows them, under its own application object:
// an empty title that the platform fills with the program's name.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTimer>

#include "app/qt_prompts.h"
#include "app/varnet_app.h"

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

TEST(MessageBox, EmptyTitleUnderTheProgramsName) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  int argc = 1;
  char name[] = "varnet";
  char* argv[] = {name, nullptr};
  CVarnetApp app(argc, argv);
  // What X11 and Wayland put in place of an empty title.
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Varnet");

  QtPrompts prompts;
  const Box box = Shown(prompts, {MessageId::ConnectFailed, Icon::Error});
  EXPECT_EQ(box.title, "");
  EXPECT_EQ(box.text, "Connect Failed");
}

}  // namespace
}  // namespace varnet
