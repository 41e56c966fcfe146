#include "folderlock.h"

#include "platform/platform.h"
#include "platform/systemerror.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QThread>

namespace {
// "workstation\npid\nuser\ntoken\nbeat\n"
QList<QByteArray> fields(const QByteArray& content) {
    return content.split('\n');
}

QByteArray readAll(const QString& path, bool* exists) {
    QFile f(path);
    *exists = f.open(QIODevice::ReadOnly);
    return *exists ? f.readAll() : QByteArray();
}
} // namespace

FolderLock::FolderLock(QString folder, QString workstation, int beatMs, QObject* parent)
    : QObject(parent), m_path(folder + QStringLiteral("VelarixCL.lock")),
      m_workstation(std::move(workstation)),
      m_token(QByteArray::number(QRandomGenerator::system()->generate64(), 16)),
      m_beatMs(std::max(50, beatMs)) {
    m_timer.setInterval(m_beatMs);
    connect(&m_timer, &QTimer::timeout, this, &FolderLock::beat);
}

FolderLock::~FolderLock() {
    bool exists = false;
    if (m_held && fields(readAll(m_path, &exists)).value(3) == m_token)
        QFile::remove(m_path);
}

QByteArray FolderLock::content() const {
    const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
    return m_workstation.toUtf8() + '\n' + QByteArray::number(QCoreApplication::applicationPid()) +
           '\n' + user.toUtf8() + '\n' + m_token + '\n' + QByteArray::number(m_beats) + '\n';
}

QString FolderLock::describe(const QByteArray& content) {
    const QList<QByteArray> f = fields(content);
    QString text = QString::fromUtf8(f.value(0));
    if (!f.value(2).isEmpty())
        text += QStringLiteral(" (utente ") + QString::fromUtf8(f.value(2)) + QLatin1Char(')');
    return text;
}

Failure FolderLock::create() {
    QFile f(m_path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (f.exists())
            return {ErrorNumber::FileAlreadyOpen, fileErrorText(f)};
        return {f.error() == QFileDevice::PermissionsError ? ErrorNumber::PermissionDenied
                                                           : ErrorNumber::PathFileAccess,
                fileErrorText(f)};
    }
    if (f.write(content()) < 0 || !f.flush())
        return {ErrorNumber::DiskFull, fileErrorText(f)};
    return {};
}

Failure FolderLock::claim() {
    QByteArray seen;
    bool watching = false;
    QElapsedTimer unchanged;
    for (;;) {
        const Failure created = create();
        if (created.ok()) {
            m_held = true;
            m_timer.start();
            return {};
        }
        if (created.number != ErrorNumber::FileAlreadyOpen)
            return created;
        bool exists = false;
        const QByteArray now = readAll(m_path, &exists);
        if (!exists)
            continue; // its holder has just ended
        m_holderText = describe(now);
        const QList<QByteArray> f = fields(now);
        const bool ours = QString::fromUtf8(f.value(0)) == m_workstation;
        if (ours && !Platform::current().isProcessRunning(f.value(1).toLongLong())) {
            takeOverFrom(now);
            continue;
        }
        if (watching && now != seen)
            return {ErrorNumber::FileAlreadyOpen, m_holderText}; // it beats: a client runs
        if (!watching) {
            watching = true;
            seen = now;
            unchanged.start();
        } else if (unchanged.elapsed() >= qint64(StaleBeats) * m_beatMs) {
            takeOverFrom(now);
            continue;
        }
        QThread::msleep(std::min(250, m_beatMs / 4));
    }
}

// Removes a left-over lock unless it has changed since it was judged.
bool FolderLock::takeOverFrom(const QByteArray& seen) {
    bool exists = false;
    return readAll(m_path, &exists) == seen && QFile::remove(m_path);
}

void FolderLock::beat() {
    bool exists = false;
    const QByteArray now = readAll(m_path, &exists);
    if (exists && fields(now).value(3) != m_token) {
        // Taken over while this client was away past the stale time.
        m_held = false;
        m_timer.stop();
        m_holderText = describe(now);
        emit lost(m_holderText);
        return;
    }
    ++m_beats;
    QSaveFile f(m_path);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(content());
        f.commit();
    }
}
