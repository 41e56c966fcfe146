#pragma once

#include "adminhost.h"
#include "companycodes.h"
#include "userprompts.h"

#include <QString>

// Prompts of the admin command: every message goes to standard error as one line; a question is
// answered Yes only when the command was given --yes, otherwise it is printed with the hint and
// answered No, so nothing is changed behind the technician's back.
class CommandPrompts : public UserPrompts {
public:
    explicit CommandPrompts(bool assumeYes) : m_assumeYes(assumeYes) {}
    void message(const QString& text, const QString& title, Icon icon) override;
    bool question(const QString& text, const QString& title) override;
    QString input(const QString& prompt, const QString& title) override;

private:
    bool m_assumeYes;
};

// What the settings windows' controllers need, for a command run beside the server: the server
// folder's Client files. It pauses nothing: a running server takes the changed files up by
// itself. There is no activity log here: the controllers tell every failure through the prompts
// as well, and the running server logs each change it takes up.
class CommandHost : public AdminHost {
public:
    CommandHost(const QString& serverFolder, bool assumeYes);

    void setWatcherRunning(bool) override {}
    void setPrintFolder(const QString& folder) override { m_printFolder = folder; }
    QString printFolder() const override { return m_printFolder; }
    QString clientFolder() const override;
    CompanyCodes& companyCodes() override { return m_codes; }
    void log(const QString&) override {}
    UserPrompts& prompts() override { return m_prompts; }

    QString serverFolder() const { return m_serverFolder; }

private:
    QString m_serverFolder;
    QString m_printFolder;
    CompanyCodes m_codes;
    CommandPrompts m_prompts;
};
