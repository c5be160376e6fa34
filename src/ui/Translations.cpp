#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

void installTranslations(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    // Built into the program as resources: :/i18n/TolvaneApp_<language>.qm.
    if (translator->load(QLocale::system(), QStringLiteral("TolvaneApp"), QStringLiteral("_"),
                         QStringLiteral(":/i18n"))) {
        QCoreApplication::installTranslator(translator);
    } else {
        delete translator;
    }
}
