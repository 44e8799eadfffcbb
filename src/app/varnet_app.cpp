#include "app/varnet_app.h"

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
  static QTranslator ours, qtbase;
  app.removeTranslator(&ours);
  app.removeTranslator(&qtbase);
  if (lang != kLangChinese) return;
  if (ours.load(QStringLiteral(":/i18n/varnet_zh_CN.qm"))) app.installTranslator(&ours);
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
