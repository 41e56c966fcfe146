#pragma once

#include "adminhost.h"
#include "companycodes.h"
#include "userprompts.h"

#include <QList>
#include <QStringList>

// Prompts answered from a script: every text shown is recorded; questions take the queued
// answers in order (No once the queue is empty).
class ScriptedPrompts : public UserPrompts {
public:
    void message(const QString& text, const QString& title, Icon icon) override;
    bool question(const QString& text, const QString& title) override;
    QString input(const QString& prompt, const QString& title) override;

    QStringList messages;
    QStringList questions;
    QList<bool> answers;
};

// The server window as the settings windows see it, recording every call.
class FakeAdminHost : public AdminHost {
public:
    explicit FakeAdminHost(QString clientFolder) : m_clientFolder(std::move(clientFolder)) {}

    void setWatcherRunning(bool on) override;
    void setPrintFolder(const QString& folder) override;
    QString printFolder() const override { return m_printFolder; }
    QString clientFolder() const override { return m_clientFolder; }
    CompanyCodes& companyCodes() override { return codes; }
    void log(const QString& text) override { logged.append(text); }
    UserPrompts& prompts() override { return scripted; }

    bool watcherRunning = true;
    QList<bool> watcherCalls;
    QStringList printFolders;
    QStringList logged;
    CompanyCodes codes;
    ScriptedPrompts scripted;

private:
    QString m_clientFolder;
    QString m_printFolder;
};
