#include "app/varnet_app.h"

#include <QDir>
#include <QLibraryInfo>
#include <QScreen>

#include "app/qt_prompts.h"
#include "app/varnet_dlg.h"

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
  setApplicationName(QStringLiteral("varnet"));
  setApplicationVersion(QStringLiteral("1.3.6"));
}

int CVarnetApp::Run(DeviceRegistry& registry, const std::function<void(CVarnetDlg&)>& setup) {
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
