#pragma once

#include <QString>

// Registers a program to start at log-on. Windows: the value `name` = `command` under the
// machine-wide Run key. Linux: an XDG autostart file `name`.desktop in $XDG_CONFIG_HOME/autostart
// (default ~/.config/autostart) whose Exec line is the command. Returns true after writing, false
// after removing or when something failed on the way; nothing is shown to the user.
bool SetAutostart(const QString& name, const QString& command, bool enable);

// Where the Linux autostart files go (for the README and tests).
QString autostartFolder();
