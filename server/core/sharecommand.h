#pragma once

#include <QString>
#include <QStringList>

// The command that publishes the program folder as the network share "Velarix". Windows:
// net share Velarix=<folder> /UNLIMITED. Linux (Samba): net usershare add Velarix <folder> ""
// S-1-1-0:F guest_ok=y, where S-1-1-0 (Everyone) is accepted even before smbd runs. The folder
// is one argument, so blanks in it need no quoting.
struct ShareCommand {
    QString program;
    QStringList arguments;

    static ShareCommand forFolder(const QString& programFolder);
    // Started as a separate process, not waited for; the result is not looked at (a share that
    // already exists makes the command fail, which is harmless). False when it did not start.
    bool start() const;
};
