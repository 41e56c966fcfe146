// velarix-admin: everything the server's settings windows do, from a terminal (a server without a
// desktop), plus the queue of the running server and the share. Run it as root. The package's
// server folder is root's (the service may not change what workstations run), so root writes it;
// a folder another user owns is written as that user, after the files the command names have
// been read as root.
#include "admincommands.h"
#include "commandhost.h"
#include "folderaccess.h"
#include "italiantranslation.h"
#include "platform/platform.h"
#include "serverlink.h"
#include "webpasswordcommand.h"
#include "workstationcommands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {
const char* const Usage = R"(Comandi:
  print-folder [CARTELLA]      mostra la cartella di stampa, o la imposta come "Numero Copie"
                               (es. '\\server\Velarix\Stampe\')
  copies [TIPO=N ...] [per-company=on|off] [per-branch=on|off]
                               mostra le copie, o le imposta; TIPO: ODL ODL2 PRE PRE2 FOM FVV,
                               N: da 0 a 9
  letterheads                  elenca le ditte
  letterhead CODICE [RIGHE...] mostra le otto righe di una ditta, o le sostituisce ("Dati Ditta")
  delete-letterhead CODICE     elimina una ditta
  import FILE                  ditte da un CSV (come lo scrive mdb-export) o da un .mdb di Access
  queue                        le stampe del server in esecuzione: in attesa, trattenute, messe
                               da parte
  put-back NOME                rimette in coda una stampa messa da parte (....ERR)
  share                        pubblica la cartella come condivisione Velarix, in sola lettura per
                               il gruppo VELARIX_SHARE_GROUP (il servizio lo fa a ogni avvio)
  workstations                 elenco delle postazioni ammesse (Postazioni.txt) e da dove
  workstation NOME INDIRIZZI   NOME si registra solo da quegli indirizzi o reti, separati da
                               virgole (es. 192.168.1.20,192.168.1.0/24, anche IPv6)
  delete-workstation NOME      toglie NOME dall'elenco
  web-password                 imposta la password della pagina web (chiesta due volte; senza
                               terminale, la prima riga dello standard input), almeno 8
                               caratteri)";

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

int run(CommandHost& host, const QString& command, const QStringList& args,
        const QByteArray& imported, QTextStream& out) {
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
        return AdminCommands::importLetterheads(host, imported, out);
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

// A line feed in a print folder or a letterhead line would shift every later line of the file it
// is written to; no value of any command has a use for a control character.
bool holdsControlCharacter(const QStringList& values) {
    for (const QString& value : values) {
        for (qsizetype i = 0; i < value.size(); ++i) {
            if (value.at(i).category() != QChar::Other_Control)
                continue;
            QTextStream(stderr) << "Carattere di controllo non ammesso (posizione " << i + 1
                                << ", codice " << value.at(i).unicode()
                                << "): " << QString(value).replace(value.at(i), QLatin1Char('?'))
                                << '\n';
            return true;
        }
    }
    return false;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velarix-admin"));
    installItalianTranslation(app);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Amministrazione del server Velarix\n\n") +
                                     QString::fromUtf8(Usage));
    // Qt's own help option would describe itself in English.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("mostra questo aiuto"));
    const QCommandLineOption folder(
        QStringLiteral("folder"),
        QStringLiteral("cartella del server (/var/lib/velarix se omessa)"),
        QStringLiteral("cartella"), QStringLiteral("/var/lib/velarix"));
    const QCommandLineOption yes(QStringLiteral("yes"),
                                 QStringLiteral("risponde Sì alle domande delle finestre"));
    parser.addOptions({help, folder, yes});
    parser.addPositionalArgument(QStringLiteral("comando"),
                                 QStringLiteral("uno dei comandi elencati sopra"));
    parser.process(app);

    QStringList args = parser.positionalArguments();
    if (parser.isSet(help) || args.isEmpty()) {
        (parser.isSet(help) ? QTextStream(stdout) : QTextStream(stderr)) << parser.helpText();
        return parser.isSet(help) ? 0 : 2;
    }
    const QString serverFolder = parser.value(folder);
    if (holdsControlCharacter(args + QStringList{serverFolder}))
        return 2;
    const QString command = args.takeFirst();
    QTextStream out(stdout);
    // Root publishes the share: Samba lets no one else share a folder root owns.
    if (command == QLatin1String("share") && args.isEmpty())
        return AdminCommands::publishShare(serverFolder, out);
    // Read as the administrator who named it: the server's user may have no right to it.
    QByteArray imported;
    if (command == QLatin1String("import")) {
        if (const int code = AdminCommands::readImportFile(args, &imported))
            return code;
    }
    if (Failure f = Platform::current().actAsOwnerOf(serverFolder)) {
        QTextStream(stderr) << f.description << '\n';
        return 1;
    }
    // The password needs no Client files; it goes where the page's secrets are.
    if (command == QLatin1String("web-password"))
        return WebPasswordCommand::run(serverFolder, args, out);
    CommandHost host(serverFolder, parser.isSet(yes));
    if (!FolderAccess::allows(host, command, args))
        return 1;
    return run(host, command, args, imported, out);
}
