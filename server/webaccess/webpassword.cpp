#include "webpassword.h"

#include "platform/platform.h"
#include "settingsvalues.h"
#include "webaccess.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QPasswordDigestor>
#include <QRandomGenerator>

namespace {
const QByteArray Scheme = QByteArrayLiteral("pbkdf2-sha256");
// About 160 ms for one verify on a two-core machine of 2026 (a guess takes as long).
constexpr int Iterations = 120000;
// A line from elsewhere may ask for more; beyond this a verify would hold a worker for minutes.
constexpr int MostIterations = 10000000;
constexpr int SaltBytes = 16;
constexpr int HashBytes = 32;
// The file holds one short line; anything longer is not ours.
constexpr qint64 ReadLimit = 4096;

QByteArray derive(const QString& password, const QByteArray& salt, int iterations) {
    return QPasswordDigestor::deriveKeyPbkdf2(QCryptographicHash::Sha256, password.toUtf8(), salt,
                                              iterations, HashBytes);
}

QByteArray fromBase64(const QByteArray& text) {
    const auto decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    return decoded ? decoded.decoded : QByteArray();
}

// Takes as long whichever byte differs first: the time of a refusal tells nothing of the hash.
bool sameBytes(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size())
        return false;
    unsigned char difference = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a.at(i) ^ b.at(i));
    return difference == 0;
}
} // namespace

namespace WebPassword {

QString filePath(const QString& serverFolder) {
    return QDir(WebAccess::folder(serverFolder)).filePath(QStringLiteral("password"));
}

QByteArray hash(const QString& password) {
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32*>(salt.data()),
                                          SaltBytes / int(sizeof(quint32)));
    return Scheme + '$' + QByteArray::number(Iterations) + '$' + salt.toBase64() + '$' +
           derive(password, salt, Iterations).toBase64();
}

bool verify(const QByteArray& stored, const QString& password) {
    const QList<QByteArray> parts = stored.trimmed().split('$');
    if (parts.size() != 4 || parts.at(0) != Scheme)
        return false;
    bool ok = false;
    const int iterations = parts.at(1).toInt(&ok);
    const QByteArray salt = fromBase64(parts.at(2));
    const QByteArray expected = fromBase64(parts.at(3));
    if (!ok || iterations < 1 || iterations > MostIterations || salt.isEmpty() ||
        expected.size() != HashBytes)
        return false;
    return sameBytes(derive(password, salt, iterations), expected);
}

QByteArray read(const QString& serverFolder) {
    QFile file(filePath(serverFolder));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(ReadLimit).split('\n').constFirst().trimmed();
}

Failure store(const QString& serverFolder, const QString& password) {
    const QString folder = WebAccess::folder(serverFolder);
    const QString path = filePath(serverFolder);
    const Platform& platform = Platform::current();
    if (!QFileInfo(folder).isDir()) {
        // Only the folder itself: a mistyped server folder is not made.
        if (!QDir().mkdir(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return {ErrorNumber::PathNotFound,
                    QStringLiteral("Cartella non creata: password non salvata (") + folder +
                        QLatin1Char(')')};
        if (Failure f = platform.giveToOwnerOf(folder, QFileInfo(folder).absolutePath()))
            return f;
    }
    if (Failure f =
            writeFileWhole(path, hash(password) + '\n', QStringLiteral("password non salvata")))
        return f;
    if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner))
        return {ErrorNumber::PermissionDenied, QStringLiteral("Permessi non impostati: ") + path};
    return platform.giveToOwnerOf(path, folder);
}

} // namespace WebPassword
