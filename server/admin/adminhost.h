#pragma once

#include <QString>

class CompanyCodes;
class UserPrompts;

// What the settings windows need of the print server.
class AdminHost {
public:
    virtual ~AdminHost() = default;
    // The new-file scan and the periodic pass together.
    virtual void setWatcherRunning(bool on) = 0;
    // The print folder as stored; the server uses CopiesFile::printFolderInUse() of it, and
    // printFolder() answers that.
    virtual void setPrintFolder(const QString& folder) = 0;
    virtual QString printFolder() const = 0;
    // Program folder + "/Client/": Copie.txt, Documenti.mdb, Aggiorna.txt.
    virtual QString clientFolder() const = 0;
    virtual CompanyCodes& companyCodes() = 0;
    virtual void log(const QString& text) = 0;
    virtual UserPrompts& prompts() = 0;
};
