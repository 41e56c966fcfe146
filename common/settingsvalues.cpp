#include "settingsvalues.h"

#include "textcodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>

namespace {
bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

enum class SaveStep { Open, Write, Replace };

// Why a settings file was not replaced, in the office's words. Told from the place itself:
// Qt's error kinds differ between versions for the same cause, and its texts are English.
Failure saveFailure(const QString& path, qint64 bytes, SaveStep step, const QString& notSaved) {
    const QString what = QStringLiteral(": ") + notSaved + QStringLiteral(" (") +
                         QDir::toNativeSeparators(path) + QLatin1Char(')');
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir())
        return {ErrorNumber::PathNotFound, QStringLiteral("Cartella inesistente") + what};
    const QStorageInfo storage(folder.absoluteFilePath());
    if (storage.isValid() && storage.bytesAvailable() < bytes + storage.blockSize())
        return {ErrorNumber::DiskFull, QStringLiteral("Disco pieno") + what};
    if (!folder.isWritable() || (file.exists() && !file.isDir() && !file.isWritable()))
        return {ErrorNumber::PermissionDenied, QStringLiteral("Accesso negato") + what};
    if (step == SaveStep::Write)
        return {ErrorNumber::DeviceIO, QStringLiteral("Errore di scrittura") + what};
    return {ErrorNumber::PathFileAccess, QStringLiteral("File non sostituibile") + what};
}

} // namespace

SettingsValues::SettingsValues(QByteArray data) : m_data(std::move(data)) {}

SettingsValues SettingsValues::fromFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return SettingsValues(QByteArray());
    return SettingsValues(file.read(ReadLimit));
}

bool SettingsValues::atEnd() const {
    return m_pos >= m_data.size();
}

QString SettingsValues::next() {
    const qsizetype size = m_data.size();
    qsizetype pos = m_pos;
    while (pos < size && isBlank(m_data.at(pos)))
        ++pos;

    qsizetype begin = pos;
    qsizetype end = pos;
    bool quoted = false;
    if (pos < size && m_data.at(pos) == '"') {
        // A quoted value may hold commas; it ends at the closing quote on the same line.
        qsizetype close = pos + 1;
        while (close < size && m_data.at(close) != '"' && !isLineEnd(m_data.at(close)))
            ++close;
        if (close < size && m_data.at(close) == '"') {
            quoted = true;
            begin = pos + 1;
            end = close;
            pos = close + 1;
        }
    }

    // Anything between a closing quote and the delimiter is dropped.
    while (pos < size && m_data.at(pos) != ',' && !isLineEnd(m_data.at(pos)))
        ++pos;
    if (!quoted)
        end = pos;

    // Consume the delimiter: a comma, CR LF, a lone CR or a lone LF.
    if (pos < size) {
        if (m_data.at(pos) == '\r' && pos + 1 < size && m_data.at(pos + 1) == '\n')
            pos += 2;
        else
            ++pos;
    }
    m_pos = pos;
    return TextCodec::decode(m_data.mid(begin, end - begin));
}

QStringList SettingsValues::all() {
    QStringList values;
    while (!atEnd())
        values.append(next());
    return values;
}

QString readFirstSettingsValue(const QString& path) {
    SettingsValues values = SettingsValues::fromFile(path);
    return values.atEnd() ? QString() : values.next();
}

Failure writeSettingsFile(const QString& path, const QString& text) {
    return writeFileWhole(path, TextCodec::encode(text),
                          QStringLiteral("impostazioni non salvate"));
}

Failure writeFileWhole(const QString& path, const QByteArray& bytes, const QString& notSaved) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return saveFailure(path, bytes.size(), SaveStep::Open, notSaved);
    // A settings file fits in the write buffer: only the flush meets a full disk, and commit()
    // would rename the short file over the good one all the same.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const Failure failure = saveFailure(path, bytes.size(), SaveStep::Write, notSaved);
        file.cancelWriting();
        return failure;
    }
    if (!file.commit())
        return saveFailure(path, bytes.size(), SaveStep::Replace, notSaved);
    return Failure::none();
}
