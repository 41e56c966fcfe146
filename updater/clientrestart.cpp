#include "clientrestart.h"

#include "platform/platform.h"
#include "processstart.h"

#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <filesystem>
#include <system_error>

namespace {
constexpr int PollMs = 50;
}

ClientRestart::ClientRestart(QString program, QString previousProgram, int watchMs, QObject* parent)
    : QObject(parent), m_program(std::move(program)), m_previousProgram(std::move(previousProgram)),
      m_watchMs(watchMs), m_poll(new QTimer(this)) {
    m_poll->setInterval(PollMs);
    connect(m_poll, &QTimer::timeout, this, &ClientRestart::watch);
}

QString ClientRestart::startedFile() const {
    return m_startedFolder.isValid() ? m_startedFolder.filePath(QStringLiteral("avviato"))
                                     : QString();
}

Failure ClientRestart::launch() {
    m_processId = 0;
    QFile::remove(startedFile());
    qputenv(StartedFileVariable, QFile::encodeName(startedFile())); // inherited by the client
    // In our own current folder, the client's: its activity log stays where it was.
    return startProgram(m_program, {QStringLiteral("--after-update")}, QString(), &m_processId);
}

void ClientRestart::start() {
    if (Failure f = launch()) {
        m_detail = f.description;
        restore();
        return;
    }
    m_watched.start();
    m_poll->start();
}

void ClientRestart::watch() {
    const bool started = !startedFile().isEmpty() && QFileInfo::exists(startedFile());
    if (started || Platform::current().isProcessRunning(m_processId)) {
        if (!started && m_watched.elapsed() < m_watchMs)
            return;
        m_poll->stop();
        emit finished(Outcome::Running);
        return;
    }
    m_poll->stop();
    m_detail = QStringLiteral("il programma si è chiuso subito dopo l'avvio");
    restore();
}

void ClientRestart::restore() {
    if (!QFileInfo(m_previousProgram).isFile()) {
        m_detail += QStringLiteral("; nessuna versione precedente da ripristinare");
        emit finished(Outcome::NoClient);
        return;
    }
    std::error_code error;
    std::filesystem::rename(QFile::encodeName(m_previousProgram).toStdString(),
                            QFile::encodeName(m_program).toStdString(), error);
    if (error) {
        m_detail +=
            QStringLiteral("; ripristino non riuscito: ") + QString::fromStdString(error.message());
        emit finished(Outcome::NoClient);
        return;
    }
    if (Failure f = launch()) {
        m_detail += QStringLiteral("; anche la versione precedente non si avvia: ") + f.description;
        emit finished(Outcome::NoClient);
        return;
    }
    emit finished(Outcome::Restored);
}
