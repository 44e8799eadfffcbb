// SPDX-License-Identifier: Apache-2.0
#include "app/varnet_app.h"

#include <QDir>
#include <QFileInfo>

#include <QLibraryInfo>
#include <QScreen>
#include <cmath>
#include <cstdio>

#include "app/qt_prompts.h"
#include "app/varnet_dlg.h"
#include "link/trace.h"
#include "platform/console.h"
#include "platform/desktop.h"

namespace varnet {

uint16_t UiLanguageFor(const QLocale& locale) {
  if (locale.language() != QLocale::Chinese) return kLangEnglish;
  if (locale.territory() == QLocale::China || locale.script() == QLocale::SimplifiedChineseScript) return kLangChinese;
  return kLangEnglish;
}

void InstallTranslations(QCoreApplication& app, uint16_t lang) {
  static std::vector<std::unique_ptr<QTranslator>> ours;
  static QTranslator qtbase;
  for (auto& t : ours) app.removeTranslator(t.get());
  ours.clear();
  app.removeTranslator(&qtbase);
  if (lang != kLangChinese) return;
  for (const QString& name : QDir(QStringLiteral(":/i18n")).entryList({QStringLiteral("*_zh_CN.qm")})) {
    auto t = std::make_unique<QTranslator>();
    if (t->load(QStringLiteral(":/i18n/") + name)) {
      app.installTranslator(t.get());
      ours.push_back(std::move(t));
    }
  }
  if (qtbase.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(&qtbase);
}

CVarnetApp::CVarnetApp(int& argc, char** argv) : QApplication(argc, argv) {
  // X11 and Wayland title a window with an empty title (every message box)
  // by the application's name, which is also its display name. An explicit
  // display name would be appended to every other title as well
  // ("Varnet V1.3.6 - Varnet", "Error 1 - Varnet"), so none is set.
  setApplicationName(QStringLiteral("Varnet"));
  setApplicationVersion(QStringLiteral(VARNET_VERSION));
  // The installed desktop entry's name: Wayland shells match windows to it for the icon.
  setDesktopFileName(QStringLiteral("org.varnet.varnet"));
  // A logout or kill ends the event loop normally, so the window closes its
  // connection and the capture files are removed. The handler only sets an
  // event; a thread waiting on it hands the request to the event loop.
  if (!endRequest_.Valid() || !watcherStop_.Valid()) return;
  platform::SetEndRequestEvent(&endRequest_);
  watcher_ = std::thread([this] {
    while (platform::WaitEither(&endRequest_, &watcherStop_, -1)) {
      if (watcherStop_.Wait(0)) return;
      endRequest_.Reset();
      // exit(), not quit(): quitting asks the window to close, which a
      // connected window answers with its close flow instead.
      QMetaObject::invokeMethod(
          this, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    }
  });
}

CVarnetApp::~CVarnetApp() {
  // Without the event loop the handlers would swallow the requests.
  platform::SetEndRequestEvent(nullptr);
  watcherStop_.Set();
  if (watcher_.joinable()) watcher_.join();
}

QSize ScreenSize() {
  QScreen* primary = QGuiApplication::primaryScreen();
  // Windows gives the primary screen at the system DPI; the window is laid
  // out in the toolkit's device-independent pixels, so the two agree at 100 %.
  if (auto s = platform::SystemScreenSize(); s && QGuiApplication::platformName() == QLatin1String("windows")) {
    const double ratio = primary ? primary->devicePixelRatio() : s->dpi / 96.0;
    return QSize(int(std::lround(s->width / ratio)), int(std::lround(s->height / ratio)));
  }
  return primary ? primary->size() : QSize(1920, 1080);
}

int CVarnetApp::Run(DeviceRegistry& registry, const std::function<void(CVarnetDlg&)>& setup) {
  // VARNET_TRACE=1 or =FILE: a record of every byte on the wire.
  const std::string program = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toStdString();
  std::string why;
  if (!trace::FromEnvironment(program, why))
    std::fprintf(stderr, "%s: VARNET_TRACE: %s\n", program.c_str(), why.c_str());
  // Ends the trace after the window and the link have closed their ports.
  struct TraceEnd {
    ~TraceEnd() { trace::Stop(); }
  } traceEnd;
  AppState app;
  // Windows names the language itself, as the behaviour was first written;
  // elsewhere the locale decides.
  app.UiLanguage = platform::SystemUiLanguage().value_or(UiLanguageFor(QLocale::system()));
  InstallTranslations(*this, app.UiLanguage);
  QtPrompts prompts;
  app.prompts = &prompts;

  CVarnetDlg dlg(app, registry);
  prompts.setParent(&dlg);
  const QSize screen = ScreenSize();
  dlg.Initialise(screen.width(), screen.height());
  if (setup) setup(dlg);
  dlg.show();
  return exec();
}

}  // namespace varnet
