#include "settingsvalues.h"

#include "textcodec.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

Failure saveFailure(const QSaveFile& file, const QString& path) {
    int number = ErrorNumber::PermissionDenied;
    switch (file.error()) {
    case QFileDevice::OpenError:
        number = QFileInfo(QFileInfo(path).absolutePath()).isDir() ? ErrorNumber::PermissionDenied
                                                                   : ErrorNumber::PathNotFound;
        break;
    case QFileDevice::WriteError:
    case QFileDevice::ResizeError:
        number = ErrorNumber::DeviceIO;
        break;
    default:
        number = ErrorNumber::PathFileAccess;
        break;
    }
    return {number, file.errorString()};
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return saveFailure(file, path);
    const QByteArray bytes = TextCodec::encode(text);
    if (file.write(bytes) != bytes.size()) {
        const Failure failure = saveFailure(file, path);
        file.cancelWriting();
        return failure;
    }
    if (!file.commit())
        return saveFailure(file, path);
    return Failure::none();
}
