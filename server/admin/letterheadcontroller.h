#pragma once

#include "failure.h"

#include <QStringList>

class AdminHost;

// What the letterhead window does, without widgets: it pauses the watcher while the window is open,
// takes the company code, loads and saves the eight letterhead lines, then refreshes the
// watcher's company codes and rewrites Aggiorna.txt so the workstations fetch the new database.
class LetterheadController {
public:
    // Highest code a print file name can carry (its last three characters).
    static constexpr int MaxCode = 999;

    struct SaveResult {
        Failure store; // the row could not be replaced: the old row is still there
        Failure flag;  // the row is stored but Aggiorna.txt could not be rewritten
    };

    explicit LetterheadController(AdminHost& host);
    ~LetterheadController(); // resumes the watcher if the window went away otherwise
    LetterheadController(const LetterheadController&) = delete;
    LetterheadController& operator=(const LetterheadController&) = delete;

    void open();
    // The code panel's "OK": false (after telling the user) when the code is refused or the
    // database cannot be read. With a row, *lines receives its eight lines; without one, *lines
    // is left as it is.
    bool chooseCode(const QString& text, QStringList* lines);
    // "Salva", the slow part (the window shows the hourglass meanwhile).
    SaveResult save(const QStringList& lines);
    // Deletes a company's letterhead, then refreshes the codes and Aggiorna.txt as a save does.
    // A code without a row fails with FileNotFound.
    SaveResult remove(int code);
    // Reports what went wrong and tells whether the window may close: it may unless the row
    // could not be stored. Resumes the watcher when it closes.
    bool finishSave(const SaveResult& result);
    // Both "Annulla" buttons and the close box.
    void cancel();

    int code() const { return m_code; }
    QString databasePath() const;
    // Whole number from 0 to MaxCode, blanks around it allowed; -1 otherwise.
    static int parseCode(const QString& text);

private:
    void resumeWatcher();
    // After a change of the table: the watcher's codes and the workstations' update flag.
    void afterChange(SaveResult* result);

    AdminHost& m_host;
    int m_code = -1;
    bool m_paused = false;
};
