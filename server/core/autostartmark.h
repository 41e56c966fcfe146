#pragma once

#include <QString>

// The first start of the server on a machine registers it to start at log-on. A start counts as
// the first one while the marker file "VelarixSrv.autostart" is missing from the program folder;
// the marker is written only after the registration succeeded, so a failed one is tried again at
// the next start. Deleting the marker makes the server register itself again.
class AutostartMark {
public:
    AutostartMark(QString programFolder, QString programName);

    QString markerPath() const;
    bool isFirstStart() const;
    // Registers for start at log-on on the first start; true when a registration was written now.
    bool registerIfFirstStart() const;

private:
    QString m_folder;
    QString m_name;
};
