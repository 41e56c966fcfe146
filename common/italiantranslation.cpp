#include "italiantranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <cstdio>

bool installItalianTranslation(QCoreApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    // Owned by the application: it lives as long as the texts it translates.
    auto* translator = new QTranslator(&app);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_it"), folder)) {
        delete translator;
        const QByteArray line = QStringLiteral("%1: traduzione italiana di Qt (qtbase_it.qm) non "
                                               "trovata in %2: pulsanti standard in inglese\n")
                                    .arg(QCoreApplication::applicationName(), folder)
                                    .toUtf8();
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        return false;
    }
    app.installTranslator(translator);
    return true;
}
