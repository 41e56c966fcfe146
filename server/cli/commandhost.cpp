#include "commandhost.h"

#include <QDir>
#include <QTextStream>

#include <cstdio>

namespace {
void printLine(const QString& text) {
    QTextStream err(stderr);
    err << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
}
} // namespace

void CommandPrompts::message(const QString& text, const QString&, Icon) {
    printLine(text);
}

bool CommandPrompts::question(const QString& text, const QString&) {
    printLine(text + (m_assumeYes ? QStringLiteral(" S\u00ec (--yes)")
                                  : QStringLiteral(" No (rispondere S\u00ec con --yes)")));
    return m_assumeYes;
}

QString CommandPrompts::input(const QString& prompt, const QString&) {
    printLine(prompt);
    return QString();
}

CommandHost::CommandHost(const QString& serverFolder, bool assumeYes)
    : m_serverFolder(QDir(serverFolder).absolutePath()), m_prompts(assumeYes) {}

QString CommandHost::clientFolder() const {
    return m_serverFolder + QStringLiteral("/Client/");
}
