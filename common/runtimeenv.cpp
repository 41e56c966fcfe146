#include "runtimeenv.h"

#include <QSysInfo>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
QString env(const char* name) {
    return qEnvironmentVariable(name);
}

bool isTrue(const QString& value) {
    const QString v = value.trimmed().toLower();
    return v == QLatin1String("1") || v == QLatin1String("true") || v == QLatin1String("yes") ||
           v == QLatin1String("on");
}
} // namespace

RuntimeEnv RuntimeEnv::read() {
    RuntimeEnv e;
    e.shareRoot = env("VELARIX_SHARE_ROOT");
    if (e.shareRoot.trimmed().isEmpty())
        e.shareRoot = QStringLiteral("/mnt/velarix"); // where a workstation mounts the share
    e.pcName = env("VELARIX_PC_NAME").trimmed();
    if (e.pcName.isEmpty())
        e.pcName = QSysInfo::machineHostName();

    // The 25 ports must fit below 65536; anything else keeps the usual 1500.
    bool ok = false;
    const int port = env("VELARIX_BASE_PORT").trimmed().toInt(&ok);
    if (ok && port >= 1 && port <= 65535 - 24)
        e.basePort = port;

    // Inside the 32-port block the tests reserve for each server. The page needs two ports; a
    // first port so high that they do not fit leaves it off.
    constexpr int WebPortOffset = 30;
    e.webPort = e.basePort + WebPortOffset <= 65534 ? e.basePort + WebPortOffset : 0;
    const int webPort = env("VELARIX_WEB_PORT").trimmed().toInt(&ok);
    if (ok && webPort >= 0 && webPort <= 65534)
        e.webPort = webPort;

    e.unattended = isTrue(env("VELARIX_UNATTENDED"));
    e.shareGroup = env("VELARIX_SHARE_GROUP").trimmed();
    if (e.shareGroup.isEmpty())
        e.shareGroup = QStringLiteral("velarix"); // made by the server package
    e.shareGuests = isTrue(env("VELARIX_SHARE_GUESTS"));
    e.pdfDir = env("VELARIX_PDF_DIR");
    e.launcher = env("VELARIX_LAUNCHER").trimmed();
    const int perAddress = env("VELARIX_MAX_PER_ADDRESS").trimmed().toInt(&ok);
    if (ok && perAddress >= 1)
        e.connectionsPerAddress = perAddress;

    const QString page = env("VELARIX_CODEPAGE").trimmed().toLower();
    const bool oem = page == QLatin1String("ibm850") || page == QLatin1String("850") ||
                     page == QLatin1String("cp850") || page == QLatin1String("ibm858") ||
                     page == QLatin1String("858") || page == QLatin1String("cp858") ||
                     page == QLatin1String("ibm00858");
    e.codePage = oem ? QStringLiteral("IBM850") : QStringLiteral("windows-1252");

    const double scale = env("VELARIX_TIMER_SCALE").trimmed().toDouble(&ok);
    if (ok && std::isfinite(scale) && scale > 0.0)
        e.timerScale = scale;
    return e;
}

const RuntimeEnv& RuntimeEnv::get() {
    static const RuntimeEnv env = read();
    return env;
}

int RuntimeEnv::interval(int milliseconds) const {
    const double scaled = std::round(double(milliseconds) / timerScale);
    return int(std::clamp(scaled, 1.0, double(std::numeric_limits<int>::max())));
}
