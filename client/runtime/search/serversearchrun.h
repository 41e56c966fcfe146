#pragma once

#include "serversearch.h"

#include <QString>

class QWidget;
class UserPrompts;

// Shows the modal search window Cerca ("Form1"); its one-shot Timer1 (10 ms) runs the search and
// closes the window. Returns the new ServerHost (unchanged when serverHost is not blank). The work
// files go into the current directory; the share's program file is looked for through the share
// root of RuntimeEnv. hooks: only for tests (scripted commands, no wait); the window's own wait
// with the lamp animation is used when hooks.pause is not set.
QString runServerSearch(QWidget* parent, const QString& serverHost, const QString& installFolder,
                        UserPrompts& prompts,
                        const ServerSearch::Hooks& hooks = ServerSearch::Hooks());
