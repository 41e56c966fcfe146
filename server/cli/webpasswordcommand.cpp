#include "webpasswordcommand.h"

#include "webpassword.h"

#include <QTextStream>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace {
int fail(const QString& text, int code = 1) {
    QTextStream(stderr) << text << '\n';
    return code;
}

// One line of standard input without its line end; false at the end of the input. Read with
// stdio: Qt's reading of a FILE* waits for a whole buffer, which a terminal never sends.
bool readLine(QString* line) {
    char buffer[4096];
    if (!std::fgets(buffer, sizeof buffer, stdin))
        return false;
    QByteArray bytes(buffer);
    while (bytes.endsWith('\n') || bytes.endsWith('\r'))
        bytes.chop(1);
    *line = QString::fromLocal8Bit(bytes);
    return true;
}

// Asks on the terminal with echo off, and puts the echo back whatever the answer.
bool askHidden(const char* prompt, QString* answer) {
    std::fputs(prompt, stderr);
    std::fflush(stderr);
    termios saved{};
    const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios hidden = saved;
        hidden.c_lflag &= ~tcflag_t(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &hidden);
    }
    const bool read = readLine(answer);
    if (terminal)
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::fputc('\n', stderr);
    return read;
}

// The new password, or a refusal's exit code.
int readPassword(QString* password) {
    if (!::isatty(STDIN_FILENO))
        return readLine(password) ? 0 : fail(QStringLiteral("Nessuna password letta"));
    QString again;
    if (!askHidden("Nuova password della pagina web: ", password) ||
        !askHidden("Ripeti la password: ", &again))
        return fail(QStringLiteral("Nessuna password letta"));
    if (*password != again)
        return fail(QStringLiteral("Le due password non coincidono: password non impostata"));
    return 0;
}
} // namespace

namespace WebPasswordCommand {

int run(const QString& serverFolder, const QStringList& args, QTextStream& out) {
    if (!args.isEmpty())
        return fail(QStringLiteral("Uso: web-password (la password si legge dal terminale o, "
                                   "senza terminale, dalla prima riga dello standard input)"),
                    2);
    QString password;
    if (const int code = readPassword(&password))
        return code;
    if (password.toUcs4().size() < ShortestPassword)
        return fail(
            QStringLiteral("Password troppo corta: almeno %1 caratteri").arg(ShortestPassword));
    if (Failure f = WebPassword::store(serverFolder, password))
        return fail(f.description);
    out << "Password della pagina web impostata\n";
    return 0;
}

} // namespace WebPasswordCommand
