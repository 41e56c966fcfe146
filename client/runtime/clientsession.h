#pragma once

#include "clientsettings.h"
#include "importhost.h"
#include "logfile.h"
#include "logplace.h"
#include "printnotices.h"
#include "runtimeenv.h"
#include "updatecheck.h"

#include <QObject>
#include <functional>
#include <memory>

class ClientConnection;
class DocumentImport;
class FolderLock;
class LiveUpdate;
class QTimer;
class ReportPrinter;
class SocketArray;
class StartupDialogs;
class UserPrompts;

// The workstation client without its window: the start-up sequence (settings, server search,
// update check and hand-over to the updater, copies settings), the connection to the server, the
// document import and the activity log. Knows no widgets: the window shows what the signals say
// and forwards the user's commands; modal questions go through UserPrompts and StartupDialogs.
//
// One client per program folder (FolderLock): a second one, on any computer, is refused at
// start-up, and one whose lock was taken over while it slept ends.
//
// Every received message goes straight to the one document import, whose queue is the only one:
// a message that arrives while a document is imported waits there, and a repeated "DIR:" for a
// path queued or in print is dropped.
//
// While resident the session follows the share's Client folder (LiveUpdate) before each document
// and every LiveUpdateIntervalMs when idle: changed data files are taken in place at once (a
// letterhead saved on the server is on the next document), a new client program through the
// updater as at start-up, after which the session ends (ended()). An updater that cannot be
// started is logged every time and shown once; the client goes on printing with what it has.
class ClientSession : public QObject, private ImportHost {
    Q_OBJECT
public:
    struct Options {
        QString installFolder;    // with its trailing separator; empty: the program's folder
        bool afterUpdate = false; // started again by the updater: never hand over a second time
        QString logFile = QStringLiteral("VXCreg.txt");
        QString programName = QStringLiteral("VelarixCL"); // the program file in installFolder
        RuntimeEnv env = RuntimeEnv::get();
    };
    // Makes the report printer once start-up has read the settings; it reports through host.
    using PrinterFactory = std::function<std::unique_ptr<ReportPrinter>(
        const QString& installFolder, ImportHost& host)>;

    enum class Startup { Resident, Ended };
    static constexpr int LiveUpdateIntervalMs = 2 * 60 * 1000;
    static constexpr int ShareRetryMs = 30 * 1000;

    ClientSession(UserPrompts& prompts, Options options, PrinterFactory makePrinter,
                  QObject* parent = nullptr);
    ~ClientSession() override;

    // Ended: the program must end (handed over to the updater, a failure on the share, or shut
    // down meanwhile); the closing lines are already logged. Resident: the first call is armed,
    // or the share cannot be reached yet and is looked for every ShareRetryMs; once it is there
    // the start-up goes on, and ended() is emitted if it ends the program.
    Startup startUp(StartupDialogs& dialogs);
    // Timer off, socket closed, closing lines logged. Only the first call does anything.
    void shutdown();
    bool hasEnded() const { return m_ended; }

    void connectToServer();      // "Connetti": the call starts one timer interval later
    void disconnectFromServer(); // "Disconnetti": no calls until connectToServer()
    void sendByHand();           // "Invia": asks for a text and sends it with a carriage return
    void setHost(const QString& host);
    bool isConnected() const;

    void log(const QString& text) override;
    const ClientSettings& settings() const { return m_settings; }

signals:
    void statusChanged(const QString& text);
    void callButtonEnabled(bool on);
    void closeButtonEnabled(bool on);
    void portShown(const QString& port);
    void hostShown(const QString& host);
    void listCleared();
    void listAdded(const QString& line);
    void listRedrawn();
    // False while the server cannot be reached (a lost connection, a sweep without an answer).
    void serverReachable(bool reachable);
    // Something the person at the workstation must learn, even with the window hidden: a
    // document that did not come out (once per document and cause), one that printed after
    // failing, one printed but not archived. The title says which, the text why and what to do.
    void notice(const QString& title, const QString& text);
    // The session has shut down while resident (handed over to the updater): the program ends.
    void ended();

private:
    void readServerHost();
    bool claimFolder();
    void folderTaken(const QString& holder);
    void useServerHost();
    bool finishStartUp();
    void waitForShare(const UpdateCheck::Outcome& unreachable);
    bool passUpdateCheck(StartupDialogs& dialogs);
    bool startUpdater();
    void startImport();
    void readCopies();
    bool followShare();
    void onMessage(const QString& text, int element);

    // ImportHost
    void requestStarting(const QString& message) override;
    void listAdd(const QString& line) override;
    void listRedraw() override;
    void processEvents() override;
    Failure sendReply(int socketIndex, const QString& text) override;
    void documentFailed(int socketIndex, const QString& path,
                        const PrintFailureText& failure) override;
    void documentAnswered(const QString& path) override;
    void archiveFailed(const Failure& failure, const QString& printFile) override;
    bool prepareForDocument() override;

    UserPrompts& m_prompts;
    Options m_options;
    PrinterFactory m_makePrinter;
    LogPlace m_logPlace;
    LogFile m_log;
    ClientSettings m_settings;
    SocketArray* m_sockets;
    ClientConnection* m_connection;
    std::unique_ptr<ReportPrinter> m_printer;
    std::unique_ptr<DocumentImport> m_import;
    std::unique_ptr<LiveUpdate> m_liveUpdate;
    std::unique_ptr<FolderLock> m_folderLock;
    QTimer* m_liveUpdateTimer;
    StartupDialogs* m_dialogs = nullptr;
    PrintNotices m_notices;
    bool m_updaterFailureShown = false;
    bool m_ended = false;
};
