#include "serversearchrun.h"

#include "cerca.h"

QString runServerSearch(QWidget* parent, const QString& serverHost, const QString& installFolder,
                        UserPrompts& prompts, const ServerSearch::Hooks& hooks) {
    Cerca window(serverHost, installFolder, prompts, hooks, parent);
    window.exec();
    return window.serverHost();
}
