// velarix-letterheads: stores the letterheads that mdb-export took from an older Documenti.mdb
// into the server's Documenti.mdb, then rewrites Aggiorna.txt beside it so that the workstations
// fetch the new database. scripts/import-letterheads.sh runs mdb-export and this together.
#include "letterheadimport.h"
#include "platform/systemerror.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velarix-letterheads"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Imports the table Ditta, as mdb-export writes it (CSV, UTF-8), into a "
                       "Velarix Documenti.mdb."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("database"),
                                 QStringLiteral("Documenti.mdb to write (created when missing)"));
    parser.addPositionalArgument(QStringLiteral("csv"),
                                 QStringLiteral("mdb-export output; standard input when absent"));
    const QCommandLineOption noFlag(QStringLiteral("no-update-flag"),
                                    QStringLiteral("do not rewrite Aggiorna.txt"));
    parser.addOption(noFlag);
    parser.process(app);

    QTextStream err(stderr);
    QTextStream out(stdout);
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty() || args.size() > 2) {
        err << parser.helpText();
        return 2;
    }
    const QString database = args.at(0);

    QFile input;
    bool opened = false;
    if (args.size() == 2) {
        input.setFileName(args.at(1));
        opened = input.open(QIODevice::ReadOnly);
    } else {
        opened = input.open(stdin, QIODevice::ReadOnly);
    }
    if (!opened) {
        err << "Lettura non riuscita: " << fileErrorText(input) << '\n';
        return 1;
    }
    const QByteArray csv = input.readAll();

    int imported = 0;
    const Failure f =
        LetterheadImport::intoServerDatabase(csv, database, !parser.isSet(noFlag), &imported);
    if (imported > 0 || !f)
        out << imported << " ditte importate in " << database << '\n';
    if (f) {
        err << f.description << '\n';
        return 1;
    }
    return 0;
}
