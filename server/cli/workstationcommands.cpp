#include "workstationcommands.h"

#include "platform/systemerror.h"
#include "workstationlist.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextStream>

namespace {
QString listPath(const QString& serverFolder) {
    return QDir(serverFolder).filePath(WorkstationList::FileName);
}

int fail(const QString& text, int code = 1) {
    QTextStream(stderr) << text << '\n';
    return code;
}

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Replaced only by a complete new file, never left half written.
int store(const QString& path, const QString& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        return fail(WorkstationList::FileName + QStringLiteral(" non salvato: ") +
                    fileErrorText(file));
    return 0;
}

bool knownName(const QString& path, const QString& name) {
    WorkstationList list(path);
    list.refresh();
    for (const WorkstationList::Entry& entry : list.entries()) {
        if (entry.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}
} // namespace

namespace WorkstationCommands {

int show(const QString& serverFolder, QTextStream& out) {
    WorkstationList list(listPath(serverFolder));
    list.refresh();
    if (!list.inForce()) {
        out << "Nessun elenco " << WorkstationList::FileName
            << ": ogni postazione può registrarsi da qualsiasi indirizzo.\n";
        return 0;
    }
    for (const WorkstationList::Entry& entry : list.entries())
        out << entry.name << '=' << entry.addresses.join(QLatin1Char(',')) << '\n';
    if (list.entries().isEmpty())
        out << "Elenco vuoto: nessuna postazione può registrarsi.\n";
    for (const QString& problem : list.problems())
        out << WorkstationList::FileName << ", " << problem << '\n';
    return 0;
}

int set(const QString& serverFolder, const QStringList& args, QTextStream& out) {
    if (args.size() != 2)
        return fail(QStringLiteral("Uso: workstation NOME INDIRIZZO[,INDIRIZZO...]"), 2);
    const QString name = args[0].trimmed();
    static const QRegularExpression badName(QStringLiteral("[\\s=#,]"));
    if (name.isEmpty() || name.contains(badName))
        return fail(QStringLiteral("Nome di postazione non valido: ") + args[0], 2);
    QStringList addresses;
    for (const QString& part : args[1].split(QLatin1Char(','))) {
        if (!WorkstationList::parseNetwork(part))
            return fail(QStringLiteral("Indirizzo non valido: ") + part, 2);
        addresses.append(part.trimmed());
    }
    const QString path = listPath(serverFolder);
    if (const int failed = store(path, WorkstationList::withEntry(readText(path), name, addresses)))
        return failed;
    out << name << '=' << addresses.join(QLatin1Char(',')) << '\n';
    return 0;
}

int remove(const QString& serverFolder, const QStringList& args, QTextStream& out) {
    if (args.size() != 1)
        return fail(QStringLiteral("Uso: delete-workstation NOME"), 2);
    const QString path = listPath(serverFolder);
    if (!knownName(path, args[0]))
        return fail(QStringLiteral("Postazione ") + args[0] + QStringLiteral(" non presente in ") +
                    WorkstationList::FileName);
    if (const int failed = store(path, WorkstationList::withoutEntry(readText(path), args[0])))
        return failed;
    out << "Postazione " << args[0] << " tolta dall'elenco.\n";
    WorkstationList list(path);
    list.refresh();
    if (list.entries().isEmpty())
        out << "L'elenco è vuoto: nessuna postazione può registrarsi; per ammetterle tutte "
               "cancellare "
            << path << ".\n";
    return 0;
}

} // namespace WorkstationCommands
