#include "clientfolderwatch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

ClientFolderWatch::ClientFolderWatch(const QString& clientFolder, int settleMs, QObject* parent)
    : QObject(parent), m_folder(QDir(clientFolder).absolutePath()),
      m_watcher(new QFileSystemWatcher(this)), m_settle(new QTimer(this)) {
    m_settle->setSingleShot(true);
    m_settle->setInterval(settleMs);
    connect(m_settle, &QTimer::timeout, this, &ClientFolderWatch::compare);
    // A missing folder is not watched; the server reads nothing from it either.
    if (QFileInfo(m_folder).isDir())
        m_watcher->addPath(m_folder);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, m_settle,
            qOverload<>(&QTimer::start));
    connect(m_watcher, &QFileSystemWatcher::fileChanged, m_settle, qOverload<>(&QTimer::start));
    rememberCurrent();
}

// An editor that rewrites Copie.txt in place (truncate, write, same file) changes no entry of
// the folder: the file itself is watched too, afresh after each change (a replaced file's watch
// stays with the old file).
void ClientFolderWatch::watchCopiesFile() {
    const QString copies = QDir(m_folder).filePath(QStringLiteral("Copie.txt"));
    if (m_watcher->files().contains(copies))
        m_watcher->removePath(copies);
    if (QFileInfo::exists(copies))
        m_watcher->addPath(copies);
}

bool ClientFolderWatch::takeLetterheadChange() {
    const Stamp database = stampOf(QStringLiteral("Documenti.mdb"));
    const Stamp flag = stampOf(QStringLiteral("Aggiorna.txt"));
    if (database == m_database && flag == m_flag)
        return false;
    m_database = database;
    m_flag = flag;
    return true;
}

void ClientFolderWatch::rememberCurrent() {
    watchCopiesFile();
    m_copies = copiesBytes();
    m_database = stampOf(QStringLiteral("Documenti.mdb"));
    m_flag = stampOf(QStringLiteral("Aggiorna.txt"));
}

ClientFolderWatch::Stamp ClientFolderWatch::stampOf(const QString& name) const {
    const QFileInfo info(QDir(m_folder).filePath(name));
    if (!info.exists())
        return {};
    return {info.size(), info.lastModified()};
}

QByteArray ClientFolderWatch::copiesBytes() const {
    QFile file(QDir(m_folder).filePath(QStringLiteral("Copie.txt")));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ClientFolderWatch::compare() {
    watchCopiesFile();
    const QByteArray copies = copiesBytes();
    const Stamp database = stampOf(QStringLiteral("Documenti.mdb"));
    const Stamp flag = stampOf(QStringLiteral("Aggiorna.txt"));
    const bool copiesDiffer = copies != m_copies;
    const bool letterheadsDiffer = !(database == m_database) || !(flag == m_flag);
    m_copies = copies;
    m_database = database;
    m_flag = flag;
    if (copiesDiffer)
        emit copiesChanged();
    if (letterheadsDiffer)
        emit letterheadsChanged();
}
