#include "fakeadminhost.h"

void ScriptedPrompts::message(const QString& text, const QString&, Icon) {
    messages.append(text);
}

bool ScriptedPrompts::question(const QString& text, const QString&) {
    questions.append(text);
    return answers.isEmpty() ? false : answers.takeFirst();
}

QString ScriptedPrompts::input(const QString& prompt, const QString&) {
    messages.append(prompt);
    return QString();
}

void FakeAdminHost::setWatcherRunning(bool on) {
    watcherRunning = on;
    watcherCalls.append(on);
}

void FakeAdminHost::setPrintFolder(const QString& folder) {
    m_printFolder = folder;
    printFolders.append(folder);
}
