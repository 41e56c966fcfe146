// velarix-admin: everything the server's settings windows do, from a terminal (a server without a
// desktop), plus the queue of the running server. Run it as root or as the server's own user:
// root acts as the owner of the server folder, so the files keep the owner the service expects.
#include "admincommands.h"
#include "commandhost.h"
#include "platform/platform.h"
#include "serverlink.h"
#include "workstationcommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {
const char* const Usage = R"(Commands:
  print-folder [FOLDER]        show, or set as "Numero Copie" does (e.g. '\\server\Velarix\Stampe\')
  copies [KIND=N ...] [per-company=on|off] [per-branch=on|off]
                               show, or set; KIND: ODL ODL2 PRE PRE2 FOM FVV, N: 0 to 9
  letterheads                  list the companies
  letterhead CODE [LINES...]   show a company's eight lines, or replace them ("Dati Ditta")
  delete-letterhead CODE
  import FILE                  letterheads from a CSV (mdb-export) or an older Access .mdb
  queue                        the running server's print files: waiting, held, set aside
  put-back NAME                a set-aside file (....ERR) back in the queue
  workstations                 elenco delle postazioni ammesse (Postazioni.txt) e da dove
  workstation NOME INDIRIZZI   NOME si registra solo da quegli indirizzi o reti, separati da
                               virgole (es. 192.168.1.20,192.168.1.0/24, anche IPv6)
  delete-workstation NOME      toglie NOME dall'elenco)";

// -1 when the command is none of these.
int runWorkstationCommand(CommandHost& host, const QString& command, const QStringList& args,
                          QTextStream& out) {
    if (command == QLatin1String("workstations") && args.isEmpty())
        return WorkstationCommands::show(host.serverFolder(), out);
    if (command == QLatin1String("workstation"))
        return WorkstationCommands::set(host.serverFolder(), args, out);
    if (command == QLatin1String("delete-workstation"))
        return WorkstationCommands::remove(host.serverFolder(), args, out);
    return -1;
}

int run(CommandHost& host, const QString& command, const QStringList& args, QTextStream& out) {
    if (command == QLatin1String("print-folder"))
        return AdminCommands::printFolder(host, args, out);
    if (command == QLatin1String("copies"))
        return AdminCommands::copies(host, args, out);
    if (command == QLatin1String("letterheads") && args.isEmpty())
        return AdminCommands::listLetterheads(host, out);
    if (command == QLatin1String("letterhead"))
        return AdminCommands::letterhead(host, args, out);
    if (command == QLatin1String("delete-letterhead"))
        return AdminCommands::deleteLetterhead(host, args, out);
    if (command == QLatin1String("import"))
        return AdminCommands::importLetterheads(host, args, out);
    if (command == QLatin1String("queue") && args.isEmpty())
        return askRunningServer(host.serverFolder(), QStringLiteral("queue"), out);
    if (command == QLatin1String("put-back") && args.size() == 1)
        return askRunningServer(host.serverFolder(), QStringLiteral("put-back ") + args.first(),
                                out);
    if (const int code = runWorkstationCommand(host, command, args, out); code >= 0)
        return code;
    QTextStream(stderr) << Usage << '\n';
    return 2;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velarix-admin"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Velarix server administration\n\n") +
                                     QString::fromUtf8(Usage));
    parser.addHelpOption();
    const QCommandLineOption folder(QStringLiteral("folder"),
                                    QStringLiteral("server folder (default /var/lib/velarix)"),
                                    QStringLiteral("dir"), QStringLiteral("/var/lib/velarix"));
    const QCommandLineOption yes(QStringLiteral("yes"),
                                 QStringLiteral("answer Yes to the windows' questions"));
    parser.addOptions({folder, yes});
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("see below"));
    parser.process(app);

    QStringList args = parser.positionalArguments();
    if (args.isEmpty()) {
        QTextStream(stderr) << parser.helpText();
        return 2;
    }
    const QString serverFolder = parser.value(folder);
    if (Failure f = Platform::current().actAsOwnerOf(serverFolder)) {
        QTextStream(stderr) << f.description << '\n';
        return 1;
    }
    CommandHost host(serverFolder, parser.isSet(yes));
    QTextStream out(stdout);
    const QString command = args.takeFirst();
    return run(host, command, args, out);
}
