#include "autostartmark.h"

#include "platform/platform.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

AutostartMark::AutostartMark(QString programFolder, QString programName)
    : m_folder(std::move(programFolder)), m_name(std::move(programName)) {}

QString AutostartMark::markerPath() const {
    return QDir(m_folder).filePath(m_name + QStringLiteral(".autostart"));
}

bool AutostartMark::isFirstStart() const {
    return !QFile::exists(markerPath());
}

bool AutostartMark::registerIfFirstStart() const {
    if (!isFirstStart())
        return false;
    // Value data: program folder + separator + the program's name, no extension, no quotes.
    const QString command = QDir::toNativeSeparators(QDir(m_folder).filePath(m_name));
    if (Platform::current().addAutostart(m_name, command))
        return false;
    QSaveFile marker(markerPath());
    if (marker.open(QIODevice::WriteOnly)) {
        marker.write(command.toUtf8() + "\r\n");
        marker.commit();
    }
    return true;
}
