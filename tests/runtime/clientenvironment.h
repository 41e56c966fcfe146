#pragma once

#include <QProcessEnvironment>
#include <QString>

// The environment tests give the real VelarixCL: headless and unattended, its server on basePort
// of loopback, the share mounted at shareRoot, every job a PDF in pdfFolder, the workstation
// named UFFICIO1, timers divided by timerScale.
inline QProcessEnvironment clientEnvironment(quint16 basePort, const QString& shareRoot,
                                             const QString& pdfFolder, const QString& timerScale) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VELARIX_UNATTENDED"), QStringLiteral("1"));
    env.insert(QStringLiteral("VELARIX_BASE_PORT"), QString::number(basePort));
    env.insert(QStringLiteral("VELARIX_SHARE_ROOT"), shareRoot);
    env.insert(QStringLiteral("VELARIX_PC_NAME"), QStringLiteral("UFFICIO1"));
    env.insert(QStringLiteral("VELARIX_PDF_DIR"), pdfFolder);
    env.insert(QStringLiteral("VELARIX_TIMER_SCALE"), timerScale);
    return env;
}
