#include "clientfolder.h"

#include "database.h"
#include "documentschema.h"

#include <QDir>
#include <QFile>
#include <QtDebug>

bool ClientFolder::layOut(const QString& folder, const QString& printFolder,
                          const QList<Letterhead>& letterheads) {
    if (!QDir().mkpath(folder))
        return false;
    const QString db = folder + QStringLiteral("/Documenti.mdb");
    if (Failure f = DocumentSchema::create(db)) {
        qWarning() << f.description;
        return false;
    }
    Database d;
    if (Failure f = d.open(Database::connectionText(db))) {
        qWarning() << f.description;
        return false;
    }
    for (const Letterhead& l : letterheads) {
        QString line = l.second;
        line.replace(QLatin1Char('\''), QStringLiteral("''"));
        if (Failure f = d.execute(QStringLiteral("Insert into Ditta (Codice, Intestazione1) "
                                                 "values (%1, '%2')")
                                      .arg(l.first)
                                      .arg(line))) {
            qWarning() << f.description;
            return false;
        }
    }
    d.close();

    QFile copies(folder + QStringLiteral("/Copie.txt"));
    if (!copies.open(QIODevice::WriteOnly))
        return false;
    copies.write(printFolder.toLatin1() + "\r\n1\r\n1\r\n1\r\n1\r\n1\r\n1\r\n0\r\n0\r\n");
    copies.close();

    const QDir templates(QStringLiteral(VELARIX_SOURCE_DIR "/templates"));
    for (const QString& t :
         templates.entryList({QStringLiteral("*.rpt"), QStringLiteral("*.png")})) {
        const QString target = folder + QLatin1Char('/') + t;
        QFile::remove(target);
        if (!QFile::copy(templates.filePath(t), target))
            return false;
    }
    return true;
}
