#include "userprompts.h"

#include <QCoreApplication>

#include <cstdio>

namespace {
// One line on standard error: "<program>: [<title>] <text>".
void writeLine(const QString& text, const QString& title) {
    QString line;
    const QString program = QCoreApplication::applicationName();
    if (!program.isEmpty())
        line = program + QStringLiteral(": ");
    if (!title.isEmpty())
        line += QLatin1Char('[') + title + QStringLiteral("] ");
    QString body = text;
    body.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    body.replace(QLatin1Char('\r'), QLatin1Char(' '));
    body.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line += body + QLatin1Char('\n');
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}
} // namespace

void UnattendedPrompts::message(const QString& text, const QString& title, Icon) {
    writeLine(text, title);
}

bool UnattendedPrompts::question(const QString& text, const QString& title) {
    writeLine(text, title);
    return false;
}

QString UnattendedPrompts::input(const QString& prompt, const QString& title) {
    writeLine(prompt, title);
    return QString();
}
