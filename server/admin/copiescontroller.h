#pragma once

#include "copiesfile.h"

#include <QList>

class AdminHost;

// What the copies window does, without widgets: it pauses the watcher while it is open, reads
// Copie.txt from the server's Client folder and decides, for "Salva" and "Annulla", whether the
// window may close. Every refusal is told to the user through the host's prompts.
class CopiesController {
public:
    explicit CopiesController(AdminHost& host);
    // Resumes the watcher if the window goes away in any other way.
    ~CopiesController();
    CopiesController(const CopiesController&) = delete;
    CopiesController& operator=(const CopiesController&) = delete;

    // Pauses the watcher and returns the settings to show.
    CopiesSettings open();
    // True when the settings were stored and the watcher resumed: the window closes.
    bool save(const CopiesSettings& settings);
    // Reads the stored print folder back into the watcher; true (and the watcher resumed) when
    // one is stored, or when the user chooses to leave without one.
    bool cancel();

    QString copiesPath() const;
    // The folder that \\host\Velarix\... paths resolve into: the parent of the Client folder.
    QString serverProgramFolder() const;

private:
    void resumeWatcher();
    void offerToMoveWaiting(const QString& before, const QString& after);
    // Copies that are not digits are refused; 0 copies of a kind is asked about.
    bool copiesAccepted(const CopiesSettings& settings);
    // A report switch turned on is refused while its templates are missing.
    bool templatesAccepted(const CopiesSettings& settings);
    // The companies of Ditta, or the watcher's codes when the table cannot be read.
    QList<int> companies() const;

    AdminHost& m_host;
    bool m_paused = false;
    CopiesSettings m_stored; // as read when the window opened
};
