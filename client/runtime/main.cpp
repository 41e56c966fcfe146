#include "clientsession.h"
#include "clientwindow.h"
#include "italiantranslation.h"
#include "platform/singleinstance.h"
#include "preview.h"
#include "processstart.h"
#include "quitonsignal.h"
#include "report/reportengine.h"
#include "runtimeenv.h"
#include "textcodec.h"
#include "widgetprompts.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

namespace {
// The real printers (or PDF files with VELARIX_PDF_DIR), reporting through the session.
std::unique_ptr<ReportPrinter> makeReportEngine(const QString& installFolder, ImportHost& host) {
    auto engine = std::make_unique<ReportEngine>(
        installFolder, RuntimeEnv::get().pdfDir,
        ReportEngineHooks{
            [&host](const QString& line) { host.listAdd(line); }, [&host] { host.listRedraw(); },
            [&host](const QString& text) { host.log(text); },
            [&host](const Failure& f, const QString& file) { host.archiveFailed(f, file); }});
    engine->setShareRoot(RuntimeEnv::get().shareRoot);
    return engine;
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VelarixCL"));
    installItalianTranslation(app);
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Velarix workstation client"));
    parser.addHelpOption();
    QCommandLineOption afterUpdate(QStringLiteral("after-update"),
                                   QStringLiteral("Started again by the updater."));
    QCommandLineOption render(QStringLiteral("render"),
                              QStringLiteral("Render a print file to PDF and exit."),
                              QStringLiteral("file"));
    QCommandLineOption pdf(QStringLiteral("pdf"), QStringLiteral("PDF to write with --render."),
                           QStringLiteral("out.pdf"));
    QCommandLineOption templates(
        QStringLiteral("templates"),
        QStringLiteral("Folder of the .rpt templates and Documenti.mdb (default: program folder)."),
        QStringLiteral("folder"));
    parser.addOptions({afterUpdate, render, pdf, templates});
    parser.process(app);

    const RuntimeEnv& env = RuntimeEnv::get();
    if (!env.codePage.isEmpty())
        TextCodec::select(env.codePage);

    if (parser.isSet(render)) {
        const QString folder = parser.isSet(templates) ? parser.value(templates)
                                                       : QCoreApplication::applicationDirPath();
        return renderPreview(parser.value(render), parser.value(pdf), folder);
    }

    UserPrompts& prompts = WidgetPrompts::forProgram();
    // One client per user of a machine; a lock that cannot be taken for another reason (a full
    // disk, a read-only folder) does not keep the workstation from printing.
    SingleInstance instance(SingleInstance::Scope::User, QStringLiteral("VelarixCL"));
    const Failure lock = instance.claim();
    if (lock.number == ErrorNumber::FileAlreadyOpen) {
        // A client runs: an updater that started this one has nothing to put back.
        announceStarted();
        prompts.message(QStringLiteral("Programma già in esecuzione!"));
        return 0;
    }

    ClientSession::Options options;
    options.afterUpdate = parser.isSet(afterUpdate);
    ClientSession session(prompts, options, makeReportEngine);
    ClientWindow window(session, prompts);
    WidgetPrompts::setProgramWindow(&window);
    installQuitOnSignal([&window] { window.close(); });
    // Whatever its start-up decided (an update handed over again included), this program runs.
    const bool carryOn = window.startUp();
    announceStarted();
    if (!carryOn)
        return 0;
    if (lock)
        session.log(QStringLiteral("Controllo di istanza unica non riuscito (") + lock.description +
                    QStringLiteral("): il programma parte comunque"));
    return app.exec();
}
