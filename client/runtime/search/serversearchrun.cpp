#include "serversearchrun.h"

#include "serversearchdialog.h"

QString runServerSearch(QWidget* parent, const QString& serverHost, const QString& installFolder,
                        UserPrompts& prompts, const ServerSearch::Hooks& hooks) {
    ServerSearchDialog window(serverHost, installFolder, prompts, hooks, parent);
    window.exec();
    return window.serverHost();
}
