#pragma once

#include "failure.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// Reader for the settings files (IPHost.set, Copie.txt, SERVER.TXT, IP.TXT): a sequence of values
// where a value ends at a comma or at the end of its line (CR LF, lone CR or lone LF), blanks in
// front of a value are skipped and a pair of enclosing double quotes is dropped. Bytes are
// Windows-1252 (see TextCodec).
class SettingsValues {
public:
    // Files larger than this are read only up to it: settings files are a few lines long.
    static constexpr qint64 ReadLimit = 1024 * 1024;

    explicit SettingsValues(QByteArray data);

    // Reads the file; a missing or unreadable file gives a reader that is at its end at once,
    // which the settings readers treat as an empty file.
    static SettingsValues fromFile(const QString& path);

    bool atEnd() const;
    QString next(); // the next value; an empty string at the end
    QStringList all();

private:
    QByteArray m_data;
    qsizetype m_pos = 0;
};

// The first value of a settings file, or an empty string (missing file, empty file).
QString readFirstSettingsValue(const QString& path);

// Writes a settings file anew through QSaveFile, encoded as TextCodec says: a crash or a full
// disk leaves the old file whole. The failure says why the file was not replaced.
Failure writeSettingsFile(const QString& path, const QString& text);
// The same for any file written whole: `notSaved` says what was lost, as in "Disco pieno:
// NOT_SAVED (PATH)".
Failure writeFileWhole(const QString& path, const QByteArray& bytes, const QString& notSaved);
