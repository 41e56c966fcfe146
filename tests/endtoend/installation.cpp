#include "installation.h"

#include "clientfolder.h"
#include "testports.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTest>

#include <csignal>

namespace {
bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList readLines(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QByteArray& line : f.readAll().split('\n'))
        lines << QString::fromUtf8(line).trimmed();
    return lines;
}

int countLines(const QStringList& lines, const QString& ending) {
    int n = 0;
    for (const QString& line : lines)
        n += line.endsWith(ending) ? 1 : 0;
    return n;
}

void terminate(QProcess* p, bool kill) {
    if (!p || p->state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(p->processId()), kill ? SIGKILL : SIGTERM);
    if (!p->waitForFinished(10000)) {
        p->kill();
        p->waitForFinished(3000);
    }
}
} // namespace

Installation::Installation(double timerScale) : m_scale(timerScale) {
    if (!m_root.isValid())
        return;
    m_server = m_root.filePath(QStringLiteral("server"));
    const QString client = m_server + QStringLiteral("/Client");
    if (!QDir().mkpath(client) || !QDir().mkpath(printFolder()))
        return;
    for (const QString& program : {QStringLiteral("VelarixSrv"), QStringLiteral("VelarixUpd")})
        if (!QFile::copy(QStringLiteral(VELARIX_BIN_DIR "/") + program,
                         m_server + QLatin1Char('/') + program))
            return;
    if (!ClientFolder::layOut(client, sharePrintFolder(),
                              {{1, QStringLiteral("OFFICINE PROVA S.r.l.")},
                               {2, QStringLiteral("SECONDA DITTA S.n.c.")}}))
        return;

    m_base = TestPorts::freeRange(25);
    m_env = QProcessEnvironment::systemEnvironment();
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_env.insert(QStringLiteral("VELARIX_UNATTENDED"), QStringLiteral("1"));
    m_env.insert(QStringLiteral("VELARIX_BASE_PORT"), QString::number(m_base));
    m_env.insert(QStringLiteral("VELARIX_TIMER_SCALE"), QString::number(m_scale));
    m_env.insert(QStringLiteral("VELARIX_SHARE_ROOT"), m_server);
    // The server's machine-wide lock stays inside the installation, so a server the office runs
    // on this machine neither refuses it nor is refused.
    m_env.insert(QStringLiteral("VELARIX_LOCK_DIR"), m_server + QStringLiteral("/lock"));
    // The server publishes its folder with Samba's `net`; a stand-in keeps tests from creating a
    // real share on the machine.
    const QString tools = m_root.filePath(QStringLiteral("tools"));
    QDir().mkpath(tools);
    writeFile(tools + QStringLiteral("/net"), "#!/bin/sh\nexit 0\n");
    QFile::setPermissions(tools + QStringLiteral("/net"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_env.insert(QStringLiteral("PATH"),
                 tools + QLatin1Char(':') + m_env.value(QStringLiteral("PATH")));
    // The server's autostart entry goes into the test's folder, not the user's.
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_root.filePath(QStringLiteral("config")));
    m_valid = m_base != 0;
}

Installation::~Installation() {
    for (QProcess* p : std::as_const(m_clients)) {
        terminate(p, false);
        delete p;
    }
    // Clients the updater started again are not our children.
    const QStringList stations =
        QDir(m_root.path()).entryList({QStringLiteral("ws-*")}, QDir::Dirs);
    for (const QString& dir : stations)
        for (qint64 pid : clientProcesses(dir.mid(3)))
            ::kill(pid_t(pid), SIGTERM);
    stopServer();
}

QList<qint64> Installation::clientProcesses(const QString& workstation) const {
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"),
                {QStringLiteral("-f"), clientFolder(workstation) + QStringLiteral("/VelarixCL")});
    pgrep.waitForFinished(5000);
    QList<qint64> pids;
    for (const QString& line :
         QString::fromUtf8(pgrep.readAllStandardOutput()).split(QLatin1Char('\n')))
        if (const qint64 pid = line.trimmed().toLongLong(); pid > 0)
            pids << pid;
    return pids;
}

QString Installation::clientFolder(const QString& workstation) const {
    return m_root.filePath(QStringLiteral("ws-") + workstation);
}

QString Installation::pdfFolder(const QString& workstation) const {
    return clientFolder(workstation) + QStringLiteral("/pdf");
}

QProcess* Installation::launch(const QString& folder, const QString& program,
                               const QProcessEnvironment& env) {
    auto* p = new QProcess;
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(folder);
    p->setStandardOutputFile(folder + QStringLiteral("/") + program + QStringLiteral(".out"));
    p->setStandardErrorFile(folder + QStringLiteral("/") + program + QStringLiteral(".err"));
    p->start(folder + QLatin1Char('/') + program, {});
    p->waitForStarted(5000);
    return p;
}

bool Installation::startServer() {
    const int starts = countLines(serverLog(), QStringLiteral("****Apertura Programma****"));
    m_serverProcess.reset(launch(m_server, QStringLiteral("VelarixSrv"), m_env));
    // Workstations keep calling until the ports open, so the start-up line is enough.
    return QTest::qWaitFor(
        [&] {
            return serverRunning() &&
                   countLines(serverLog(), QStringLiteral("****Apertura Programma****")) > starts;
        },
        20000);
}

void Installation::stopServer(bool kill) {
    terminate(m_serverProcess.get(), kill);
}

bool Installation::serverRunning() const {
    return m_serverProcess && m_serverProcess->state() == QProcess::Running;
}

bool Installation::startClient(const QString& workstation, Layout layout) {
    const QString folder = clientFolder(workstation);
    if (!QDir(folder).exists()) {
        if (!QDir().mkpath(folder + QStringLiteral("/pdf")))
            return false;
        const QDir client(m_server + QStringLiteral("/Client"));
        if (layout == Layout::UpToDate)
            for (const QString& f : client.entryList(QDir::Files))
                QFile::copy(client.filePath(f), folder + QLatin1Char('/') + f);
        QFile::copy(QStringLiteral(VELARIX_BIN_DIR "/VelarixCL"),
                    folder + QStringLiteral("/VelarixCL"));
        writeFile(folder + QStringLiteral("/IPHost.set"), "127.0.0.1\r\n");
    }
    QProcessEnvironment env = m_env;
    env.insert(QStringLiteral("VELARIX_PC_NAME"), workstation);
    // PDF files unless the caller chose otherwise (an empty value prints on the printers).
    if (!m_env.contains(QStringLiteral("VELARIX_PDF_DIR")))
        env.insert(QStringLiteral("VELARIX_PDF_DIR"), pdfFolder(workstation));
    // Each workstation stands for a machine of its own: its own single-instance lock.
    env.insert(QStringLiteral("VELARIX_LOCK_DIR"), folder + QStringLiteral("/lock"));
    if (QProcess* old = m_clients.take(workstation)) {
        terminate(old, false);
        delete old;
    }
    QProcess* p = launch(folder, QStringLiteral("VelarixCL"), env);
    m_clients.insert(workstation, p);
    return p->state() == QProcess::Running;
}

void Installation::stopClient(const QString& workstation, bool kill) {
    if (QProcess* p = m_clients.take(workstation)) {
        terminate(p, kill);
        delete p;
    }
}

bool Installation::waitRegistered(const QString& workstation, int timeoutMs, int times) {
    const QString mark = QStringLiteral(" al pc:") + workstation;
    return QTest::qWaitFor([&] { return countLines(serverLog(), mark) >= times; }, timeoutMs);
}

bool Installation::waitUnreadRequest(int timeoutMs) const {
    // /proc/net/tcp: "sl local rem st tx_queue:rx_queue ...", addresses as hex "IP:PORT".
    const auto unread = [this] {
        QFile table(QStringLiteral("/proc/net/tcp"));
        if (!table.open(QIODevice::ReadOnly))
            return false;
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> f = line.simplified().split(' ');
            if (f.size() < 5 || f[3] != "01") // established
                continue;
            bool ok = false;
            const uint remotePort = f[2].split(':').value(1).toUInt(&ok, 16);
            const uint waiting = f[4].split(':').value(1).toUInt(nullptr, 16);
            if (ok && remotePort >= m_base && remotePort < m_base + 25u && waiting > 0)
                return true;
        }
        return false;
    };
    return QTest::qWaitFor(unread, timeoutMs);
}

QByteArray Installation::printFile(const QString& code, const QString& workstation,
                                   const QStringList& header, const QStringList& body,
                                   const QStringList& totals, int headerLines, int bodyLines) {
    QStringList lines{QStringLiteral("@PROVA^") + code, QStringLiteral("^FL:  1 PC:") + workstation,
                      QString()};
    for (int i = 0; i < headerLines; ++i)
        lines << (i < header.size() ? header.at(i) : QString());
    for (int i = 0; i < bodyLines; ++i)
        lines << (i < body.size() ? body.at(i) : QString());
    lines << totals << QString();
    QStringEncoder encode("windows-1252");
    return encode(lines.join(QStringLiteral("\r\n")));
}

QString Installation::drop(const QString& name, const QString& workstation,
                           const QStringList& body) {
    const QStringList lines =
        body.isEmpty() ? QStringList{QStringLiteral("Riga di prova ") + name} : body;
    dropBytes(name, printFile(QStringLiteral("01"), workstation,
                              {QStringLiteral("ORDINE DI LAVORO ") + name}, lines,
                              {QStringLiteral("Totale € 100,00")}, 14, 40));
    return name;
}

void Installation::dropBytes(const QString& name, const QByteArray& bytes) {
    const QString temp = m_server + QStringLiteral("/.") + name + QStringLiteral(".tmp");
    writeFile(temp, bytes);
    QFile::rename(temp, printFolder() + QLatin1Char('/') + name);
}

QStringList Installation::pdfs(const QString& workstation) const {
    return QDir(pdfFolder(workstation))
        .entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
}

QString Installation::pdfText(const QString& pdf) const {
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    text.waitForFinished(10000);
    return QString::fromUtf8(text.readAllStandardOutput());
}

QStringList Installation::printedTexts(const QString& workstation) const {
    QStringList texts;
    for (const QString& pdf : pdfs(workstation))
        texts << pdfText(pdfFolder(workstation) + QLatin1Char('/') + pdf);
    return texts;
}

bool Installation::printMarker(const QString& workstation) {
    if (!QTest::qWaitFor([this] { return printFolderEntries().isEmpty(); }, 10000))
        return false;
    const QStringList before = pdfs(workstation);
    drop(QStringLiteral("SEGNALE.001"), workstation, {QStringLiteral("Documento segnale")});
    if (!QTest::qWaitFor([&] { return pdfs(workstation).size() > before.size(); }, 20000))
        return false;
    // Only what came out since: the marker alone, an earlier document printed again fails.
    QStringList added = pdfs(workstation);
    added.removeIf([&before](const QString& pdf) { return before.contains(pdf); });
    return added.size() == 1 && pdfText(pdfFolder(workstation) + QLatin1Char('/') + added.first())
                                    .contains(QStringLiteral("Documento segnale"));
}

QStringList Installation::serverLog() const {
    return readLines(m_server + QStringLiteral("/VXreg.txt"));
}

QString Installation::adminQueue() const {
    QProcess admin;
    admin.start(QStringLiteral(VELARIX_BIN_DIR "/velarix-admin"),
                {QStringLiteral("--folder"), m_server, QStringLiteral("queue")});
    admin.waitForFinished(20000);
    return QString::fromUtf8(admin.readAllStandardOutput());
}

QStringList Installation::clientLog(const QString& workstation) const {
    return readLines(clientFolder(workstation) + QStringLiteral("/VXCreg.txt"));
}

QStringList Installation::printFolderEntries() const {
    return QDir(printFolder())
        .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
}
