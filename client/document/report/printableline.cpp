#include "printableline.h"

#include <QRegularExpression>

namespace {

bool isControl(QChar c) {
    return c.unicode() < 32 || c.unicode() == 127;
}

} // namespace

QString printableLine(const QString& line) {
    bool plain = true;
    for (QChar c : line)
        if (isControl(c)) {
            plain = false;
            break;
        }
    if (plain)
        return line;
    QString out;
    out.reserve(line.size() + 8);
    for (QChar c : line) {
        if (c == u'\t')
            out += QString(8 - out.size() % 8, u' ');
        else if (!isControl(c))
            out += c;
    }
    return out;
}

bool isBlankLine(const QString& line) {
    for (QChar c : line)
        if (c != u' ')
            return false;
    return true;
}

bool isContinuationNote(const QString& line) {
    static const QRegularExpression note(QStringLiteral(R"(^\s*segue\s+(a|alla)\s+pag)"),
                                         QRegularExpression::CaseInsensitiveOption);
    return note.match(line).hasMatch();
}
