#include "textcodec.h"

#include "runtimeenv.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <atomic>
#include <mutex>

// Qt's ICU-backed converters map every byte of these code pages, including the five bytes
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D become U+0081 ... and back), so a
// print file survives the trip unchanged. "IBM850" is served by ICU's IBM00858, which is code page
// 850 with the euro sign at 0xD5.
namespace {
constexpr const char* Windows1252 = "windows-1252";
constexpr const char* Oem858 = "IBM00858";

std::atomic<int> g_selected{-1}; // -1: not chosen yet, 0: windows-1252, 1: IBM850
std::once_flag g_defaultOnce;

int codeFor(const QString& name) {
    const QString n = name.trimmed().toLower();
    static const QStringList oem = {QStringLiteral("ibm850"),   QStringLiteral("850"),
                                    QStringLiteral("cp850"),    QStringLiteral("ibm-850"),
                                    QStringLiteral("ibm858"),   QStringLiteral("858"),
                                    QStringLiteral("cp858"),    QStringLiteral("ibm-858"),
                                    QStringLiteral("ibm00858"), QStringLiteral("oem")};
    return oem.contains(n) ? 1 : 0;
}

int current() {
    int code = g_selected.load();
    if (code < 0) {
        std::call_once(g_defaultOnce, [] {
            int expected = -1;
            g_selected.compare_exchange_strong(expected, codeFor(RuntimeEnv::get().codePage));
        });
        code = g_selected.load();
    }
    return code;
}

const char* icuName(int code) {
    return code == 1 ? Oem858 : Windows1252;
}

// One converter pair per thread and code page: opening an ICU converter costs more than
// converting a line.
struct Converters {
    int code = -1;
    QStringDecoder decoder;
    QStringEncoder encoder;

    void ensure(int wanted) {
        if (code == wanted)
            return;
        decoder = QStringDecoder(icuName(wanted), QStringConverter::Flag::Stateless);
        encoder = QStringEncoder(icuName(wanted), QStringConverter::Flag::Stateless);
        code = wanted;
    }
};

Converters& converters() {
    thread_local Converters c;
    c.ensure(current());
    return c;
}
} // namespace

namespace TextCodec {
QString decode(const QByteArray& bytes) {
    if (bytes.isEmpty())
        return QString();
    Converters& c = converters();
    if (!c.decoder.isValid())
        return QString::fromLatin1(bytes); // Qt built without ICU: still one character per byte
    QString text = c.decoder.decode(bytes);
    c.decoder.resetState();
    return text;
}

QByteArray encode(const QString& text) {
    if (text.isEmpty())
        return QByteArray();
    Converters& c = converters();
    if (!c.encoder.isValid())
        return text.toLatin1();
    QByteArray bytes = c.encoder.encode(text);
    c.encoder.resetState();
    return bytes;
}

void select(const QString& name) {
    g_selected.store(codeFor(name));
}

QString selected() {
    return current() == 1 ? QStringLiteral("IBM850") : QStringLiteral("windows-1252");
}
} // namespace TextCodec
