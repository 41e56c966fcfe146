#include "admincommands.h"

#include "commandhost.h"
#include "copiescontroller.h"
#include "folderaccess.h"
#include "letterheadcontroller.h"
#include "letterheadimport.h"
#include "letterheadstore.h"
#include "platform/platform.h"
#include "platform/systemerror.h"
#include "runtimeenv.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <array>

namespace {
// Copy slots of Copie.txt by document kind, in the order the file stores them.
constexpr std::array<const char*, 6> KindOfSlot{"ODL", "PRE", "PRE2", "FOM", "FVV", "ODL2"};

int refuse(CommandHost& host, const QString& text, int code = 1) {
    host.prompts().message(text);
    return code;
}

QString onOff(bool on) {
    return on ? QStringLiteral("on") : QStringLiteral("off");
}

void showCopies(const CopiesSettings& settings, QTextStream& out) {
    out << "Cartella di stampa: " << settings.printFolder << '\n';
    for (size_t slot = 0; slot < KindOfSlot.size(); ++slot)
        out << KindOfSlot[slot] << '=' << settings.copies.at(int(slot)) << ' ';
    out << "per-company=" << onOff(settings.perCompany)
        << " per-branch=" << onOff(settings.perBranch) << '\n';
}

// One KEY=VALUE argument of "copies" into the settings; false when it is not one.
bool applyCopiesArgument(const QString& arg, CopiesSettings* settings) {
    const QString key = arg.section(QLatin1Char('='), 0, 0).toUpper();
    const QString value = arg.section(QLatin1Char('='), 1);
    if (key == QLatin1String("PER-COMPANY") || key == QLatin1String("PER-BRANCH")) {
        const bool on = value == QLatin1String("on") || value == QLatin1String("1");
        if (!on && value != QLatin1String("off") && value != QLatin1String("0"))
            return false;
        (key == QLatin1String("PER-COMPANY") ? settings->perCompany : settings->perBranch) = on;
        return true;
    }
    // The window's boxes take one character: a count from 0 to 9.
    if (value.size() != 1 || !value.at(0).isDigit())
        return false;
    for (size_t slot = 0; slot < KindOfSlot.size(); ++slot) {
        if (key == QLatin1String(KindOfSlot[slot])) {
            settings->copies[int(slot)] = value;
            return true;
        }
    }
    return false;
}

// Reports the outcome as the window would; a row stored without its update flag still fails the
// command, since the workstations will not fetch it.
bool finished(LetterheadController& controller, const LetterheadController::SaveResult& result) {
    return controller.finishSave(result) && !result.flag;
}

// A company's eight lines; a code without a row is said, not shown as eight empty lines.
int showLetterhead(CommandHost& host, const QString& text, QTextStream& out) {
    const int code = LetterheadController::parseCode(text);
    if (code < 0)
        return refuse(host, QStringLiteral("Inserire Cod. Ditta"), 2);
    QStringList lines;
    bool found = false;
    if (Failure f =
            LetterheadStore(LetterheadController(host).databasePath()).load(code, &lines, &found))
        return refuse(host, QStringLiteral("Lettura dati ditta non riuscita: ") + f.description);
    if (!found)
        return refuse(host, QStringLiteral("Ditta %1 non presente").arg(code));
    for (int i = 0; i < lines.size(); ++i)
        out << i + 1 << ": " << lines.at(i) << '\n';
    return 0;
}

} // namespace

namespace AdminCommands {

int printFolder(CommandHost& host, const QStringList& args, QTextStream& out) {
    CopiesController controller(host);
    CopiesSettings settings = controller.open();
    if (args.isEmpty()) {
        out << settings.printFolder << '\n';
        return 0;
    }
    if (args.size() > 1)
        return refuse(host, QStringLiteral("Una sola cartella di stampa"), 2);
    settings.printFolder = args.first();
    if (!controller.save(settings))
        return 1;
    out << "Cartella di stampa: " << settings.printFolder << '\n';
    return 0;
}

int copies(CommandHost& host, const QStringList& args, QTextStream& out) {
    CopiesController controller(host);
    CopiesSettings settings = controller.open();
    for (const QString& arg : args) {
        if (!applyCopiesArgument(arg, &settings))
            return refuse(host, QStringLiteral("Valore non valido: ") + arg, 2);
    }
    if (!args.isEmpty() && !controller.save(settings))
        return 1;
    showCopies(settings, out);
    return 0;
}

int listLetterheads(CommandHost& host, QTextStream& out) {
    LetterheadController controller(host);
    QList<LetterheadRow> rows;
    if (Failure f = LetterheadStore(controller.databasePath()).list(&rows))
        return refuse(host, QStringLiteral("Lettura dati ditta non riuscita: ") + f.description);
    for (const LetterheadRow& row : rows)
        out << QString::number(row.code).rightJustified(3) << "  " << row.lines.value(0).toString()
            << '\n';
    return 0;
}

int letterhead(CommandHost& host, const QStringList& args, QTextStream& out) {
    if (args.isEmpty() || args.size() > 1 + LetterheadStore::Lines)
        return refuse(host, QStringLiteral("Uso: letterhead CODICE [RIGA1 ... RIGA8]"), 2);
    if (args.size() == 1)
        return showLetterhead(host, args.first(), out);
    LetterheadController controller(host);
    controller.open();
    QStringList lines(LetterheadStore::Lines);
    if (!controller.chooseCode(args.first(), &lines))
        return 1;
    QStringList given = args.mid(1);
    for (int i = 0; i < given.size(); ++i) {
        if (given.at(i).size() > LetterheadStore::LineLength)
            return refuse(host, QStringLiteral("Riga ") + QString::number(i + 1) +
                                    QStringLiteral(" oltre 40 caratteri: ") + given.at(i));
    }
    while (given.size() < LetterheadStore::Lines)
        given.append(QString());
    if (!finished(controller, controller.save(given)))
        return 1;
    out << "Ditta " << controller.code() << " salvata\n";
    return 0;
}

int deleteLetterhead(CommandHost& host, const QStringList& args, QTextStream& out) {
    const int code = args.size() == 1 ? LetterheadController::parseCode(args.first()) : -1;
    if (code < 0)
        return refuse(host, QStringLiteral("Inserire Cod. Ditta"), 2);
    LetterheadController controller(host);
    if (!finished(controller, controller.remove(code)))
        return 1;
    out << "Ditta " << code << " eliminata\n";
    return 0;
}

int readImportFile(const QStringList& args, QByteArray* csv) {
    QTextStream err(stderr);
    if (args.size() != 1) {
        err << "Uso: import FILE.csv|FILE.mdb\n";
        return 2;
    }
    const QString path = args.first();
    if (path.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive)) {
        QProcess exporter;
        exporter.start(QStringLiteral("mdb-export"), {path, QStringLiteral("Ditta")});
        if (!exporter.waitForFinished(60000) || exporter.exitCode() != 0) {
            err << "mdb-export non riuscito: "
                << QString::fromLocal8Bit(exporter.readAllStandardError()) << exporter.errorString()
                << '\n';
            return 1;
        }
        *csv = exporter.readAllStandardOutput();
        return 0;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << (file.error() == QFileDevice::PermissionsError
                    ? FolderAccess::deniedText(path)
                    : QStringLiteral("Lettura non riuscita: ") + path + QStringLiteral(": ") +
                          fileErrorText(file))
            << '\n';
        return 1;
    }
    *csv = file.readAll();
    return 0;
}

int importLetterheads(CommandHost& host, const QByteArray& csv, QTextStream& out) {
    int imported = 0;
    if (Failure f = LetterheadImport::intoServerDatabase(
            csv, LetterheadController(host).databasePath(), true, &imported))
        return refuse(host, f.description);
    out << imported << " ditte importate\n";
    return 0;
}

int publishShare(const QString& serverFolder, QTextStream& out) {
    const RuntimeEnv& env = RuntimeEnv::get();
    Platform::Command command;
    QProcess net;
    if (Failure f = Platform::current().shareCommand(QDir(serverFolder).absolutePath(),
                                                     {env.shareGroup, env.shareGuests}, &command)) {
        QTextStream(stderr) << "Condivisione Velarix non pubblicata: " << f.description << '\n';
        return 1;
    }
    net.start(command.program, command.arguments);
    const bool finished = net.waitForFinished(60000) && net.exitStatus() == QProcess::NormalExit;
    if (!finished || net.exitCode() != 0) {
        QTextStream(stderr) << "Condivisione Velarix non pubblicata: "
                            << (finished ? QString::fromLocal8Bit(net.readAllStandardError())
                                         : net.errorString())
                                   .trimmed()
                            << '\n';
        return 1;
    }
    out << "Condivisione Velarix pubblicata: " << QDir(serverFolder).absolutePath()
        << ", in sola lettura per il gruppo " << env.shareGroup
        << (env.shareGuests ? " e per gli ospiti\n" : "\n");
    return 0;
}

} // namespace AdminCommands
