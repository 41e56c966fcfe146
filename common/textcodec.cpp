#include "textcodec.h"

#include "runtimeenv.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <atomic>
#include <mutex>
#include <optional>

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
// converting a line. They are built in place and never moved: ICU keeps a pointer to the
// converter's state, which a moved-from temporary would leave dangling.
struct Converters {
    int code = -1;
    std::optional<QStringDecoder> decoder;
    std::optional<QStringEncoder> encoder;
    QString subCharacter;

    void ensure(int wanted) {
        if (code == wanted)
            return;
        decoder.reset();
        encoder.reset();
        decoder.emplace(icuName(wanted));
        encoder.emplace(icuName(wanted));
        // The character that byte 0x1A stands for (not U+001A in every code page).
        subCharacter = decoder->decode(QByteArrayView("\x1a", 1));
        decoder->resetState();
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
    if (!c.decoder->isValid())
        return QString::fromLatin1(bytes); // Qt built without ICU: still one character per byte
    QString text = c.decoder->decode(bytes);
    c.decoder->resetState();
    return text;
}

QByteArray encode(const QString& text) {
    if (text.isEmpty())
        return QByteArray();
    Converters& c = converters();
    if (!c.encoder->isValid())
        return text.toLatin1();
    QByteArray bytes = c.encoder->encode(text);
    c.encoder->resetState();
    // ICU writes SUB (0x1A) for a character the code page lacks. Windows writes '?', which reads
    // better on paper; the rare lossy text is converted again one character at a time.
    const qsizetype subs = bytes.count('\x1a');
    if (subs == text.count(c.subCharacter))
        return bytes;
    bytes.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QStringView one = QStringView(text).mid(i, width);
        const QByteArray encoded = c.encoder->encode(one);
        c.encoder->resetState();
        bytes += encoded == "\x1a" && one != c.subCharacter ? QByteArray("?") : encoded;
        i += width - 1;
    }
    return bytes;
}

void select(const QString& name) {
    g_selected.store(codeFor(name));
}

QString selected() {
    return current() == 1 ? QStringLiteral("IBM850") : QStringLiteral("windows-1252");
}
} // namespace TextCodec
