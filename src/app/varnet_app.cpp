// SPDX-License-Identifier: Apache-2.0
#include "app/varnet_app.h"

#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>

#include <QLibraryInfo>
#include <QScreen>
#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "app/qt_prompts.h"
#include "app/varnet_dlg.h"
#include "link/trace.h"

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

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
  char c = 1;
  (void)!::write(g_signalPipe[1], &c, 1);
}

}  // namespace

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
  // connection and the capture files are removed.
  if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [] {
      char c;
      while (::read(g_signalPipe[0], &c, 1) > 0) {
      }
      // exit(), not quit(): quitting asks the window to close, which a
      // connected window answers with its close flow instead.
      QCoreApplication::exit(0);
    });
    struct sigaction sa {};
    sa.sa_handler = OnTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
  }
}

CVarnetApp::~CVarnetApp() {
  // Without the event loop the handlers would swallow the signals.
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) ::signal(sig, SIG_DFL);
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
  app.UiLanguage = UiLanguageFor(QLocale::system());
  InstallTranslations(*this, app.UiLanguage);
  QtPrompts prompts;
  app.prompts = &prompts;

  CVarnetDlg dlg(app, registry);
  prompts.setParent(&dlg);
  QSize screen(1920, 1080);
  if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
  dlg.Initialise(screen.width(), screen.height());
  if (setup) setup(dlg);
  dlg.show();
  return exec();
}

}  // namespace varnet
