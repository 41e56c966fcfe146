#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

// A server and any number of workstations laid out in a temporary folder, as a technician would
// install them, with the real programs: the server folder with Client/ (Copie.txt, Documenti.mdb
// with two companies, the templates) and the print folder Stampe/, and one program folder per
// workstation. Timers run faster by `timerScale`; every program is headless and unattended.
class Installation {
public:
    explicit Installation(double timerScale = 10.0);
    ~Installation();

    bool valid() const { return m_valid; }
    QString serverFolder() const { return m_server; }
    QString printFolder() const { return m_server + QStringLiteral("/Stampe"); }
    QString sharePrintFolder() const { return QStringLiteral("\\\\localhost\\Velarix\\Stampe\\"); }
    QString pdfFolder(const QString& workstation) const;
    QString clientFolder(const QString& workstation) const;
    quint16 basePort() const { return m_base; }

    // Extra environment for every program started from now on (hold time, expiry...).
    void setEnv(const QString& name, const QString& value) { m_env.insert(name, value); }

    bool startServer();
    void stopServer(bool kill = false);
    bool serverRunning() const;
    qint64 serverPid() const { return m_serverProcess ? m_serverProcess->processId() : 0; }
    enum class Layout {
        UpToDate,   // the workstation's folder holds current copies of the Client folder
        ProgramOnly // only VelarixCL and IPHost.set: the first start fetches the rest
    };
    bool startClient(const QString& workstation, Layout layout = Layout::UpToDate);
    // Process ids of the workstation's running VelarixCL, whoever started it (the updater does).
    QList<qint64> clientProcesses(const QString& workstation) const;
    void stopClient(const QString& workstation, bool kill = false);
    // True once the server's log shows the workstation's registration.
    bool waitRegistered(const QString& workstation, int timeoutMs = 20000, int times = 1);
    // True once a workstation's connection holds bytes its client has not read: a request sent
    // to a client that is stopped (SIGSTOP).
    bool waitUnreadRequest(int timeoutMs = 10000) const;

    // Writes a print file into the print folder the way a finished file arrives (written beside
    // and moved in). `body` lines go into an ODL page; the file names the workstation.
    QString drop(const QString& name, const QString& workstation, const QStringList& body = {});
    void dropBytes(const QString& name, const QByteArray& bytes);
    static QByteArray printFile(const QString& code, const QString& workstation,
                                const QStringList& header, const QStringList& body,
                                const QStringList& totals, int headerLines, int bodyLines);

    QStringList pdfs(const QString& workstation) const;
    QString pdfText(const QString& pdf) const;
    // Texts of every PDF the workstation printed, one entry per PDF.
    QStringList printedTexts(const QString& workstation) const;
    // "Nothing more is printed", checked without a fixed wait: once the print folder is empty no
    // pass can offer those files again, and the connection and the client's queue keep their
    // order, so when one more document dropped now has printed, every request sent before it has
    // been handled. False when the folder does not empty, or when anything but the marker came
    // out meanwhile.
    bool printMarker(const QString& workstation);
    QStringList serverLog() const;
    // What `velarix-admin queue` says of the running server's queue.
    QString adminQueue() const;
    QStringList clientLog(const QString& workstation) const;
    QStringList printFolderEntries() const;

private:
    QProcess* launch(const QString& folder, const QString& program, const QProcessEnvironment& env);

    QTemporaryDir m_root;
    QString m_server;
    quint16 m_base = 0;
    double m_scale;
    bool m_valid = false;
    QProcessEnvironment m_env;
    std::unique_ptr<QProcess> m_serverProcess;
    QHash<QString, QProcess*> m_clients;
};
