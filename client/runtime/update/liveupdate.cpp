#include "liveupdate.h"

#include "clientfoldercopy.h"

#include <QFileInfo>

LiveUpdate::LiveUpdate(UpdateCheck check, QString installFolder, QString programName)
    : m_check(std::move(check)), m_installFolder(std::move(installFolder)),
      m_programName(std::move(programName)) {}

qint64 LiveUpdate::shareProgramStamp() const {
    const QFileInfo program(m_check.clientFolder() + m_programName);
    return program.exists() ? program.lastModified().toMSecsSinceEpoch() : -1;
}

void LiveUpdate::handOverRefused() {
    m_refusedProgram = shareProgramStamp();
}

void LiveUpdate::remember() {
    m_seen = look(nullptr);
}

// The share's files now; *wanted gets those to take, in listing order.
LiveUpdate::Snapshot LiveUpdate::look(QStringList* wanted) const {
    Snapshot now;
    ClientFolderCopy(m_check.clientFolder(), m_installFolder)
        .forEachFile([&](const QString& name, const QFileInfo& source) {
            const Seen seen{source.lastModified().toMSecsSinceEpoch(), source.size()};
            now.insert(name, seen);
            if (!wanted)
                return;
            const auto before = m_seen.constFind(name);
            const bool changed = !m_seen.isEmpty() && (before == m_seen.cend() || *before != seen);
            if (changed || UpdateCheck::isDue(source, m_installFolder + name))
                wanted->append(name);
        });
    return now;
}

void LiveUpdate::report(Result& result, const QString& problem) {
    if (problem != m_lastProblem && !problem.isEmpty())
        result.logLine = problem;
    m_lastProblem = problem;
}

LiveUpdate::Result LiveUpdate::run() {
    Result result;
    const QFileInfo folder(m_check.clientFolder());
    if (m_check.clientFolder().isEmpty() || !folder.isDir() || !folder.isReadable()) {
        report(result, QStringLiteral("Controllo aggiornamenti: cartella Client del server non "
                                      "raggiungibile, si continua con i file presenti"));
        return result;
    }
    QStringList wanted;
    Snapshot now = look(&wanted);
    if (wanted.contains(m_programName) && shareProgramStamp() != m_refusedProgram) {
        result.action = Action::HandOver;
        return result;
    }
    wanted.removeAll(m_programName);

    QStringList failed;
    ClientFolderCopy::Hooks hooks;
    hooks.wanted = [&](const QString& name, const QFileInfo&) { return wanted.contains(name); };
    hooks.copying = [&](const QString& name) { result.copied.append(name); };
    hooks.failed = [&](const QString& name, const Failure& f) {
        result.copied.removeAll(name);
        failed.append(name + QStringLiteral(" (") + f.description + QLatin1Char(')'));
        // Still to take at the next look, even when its stamp would not say so.
        now.remove(name);
    };
    ClientFolderCopy(m_check.clientFolder(), m_installFolder).run(hooks);
    m_seen = now;

    report(result, failed.isEmpty() ? QString()
                                    : QStringLiteral("Aggiornamento incompleto, file non "
                                                     "aggiornati: ") +
                                          failed.join(QStringLiteral(", ")));
    if (!result.copied.isEmpty()) {
        result.action = Action::Refreshed;
        const QString copied =
            QStringLiteral("Aggiornamento dal server: ") + result.copied.join(QStringLiteral(", "));
        result.logLine =
            result.logLine.isEmpty() ? copied : copied + QStringLiteral("; ") + result.logLine;
    }
    return result;
}
