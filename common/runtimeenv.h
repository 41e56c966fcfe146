#pragma once

#include <QString>

// Environment overrides, read once at start. Defaults are the program's normal values; a value
// that does not make sense (a port that leaves no room for 25 ports, a scale of 0) is ignored.
// VELARIX_UNATTENDED accepts 1, true, yes, on. VELARIX_CODEPAGE accepts windows-1252 and
// IBM850 (also 850, cp850, 858, IBM00858); codePage holds "windows-1252" or "IBM850".
//   VELARIX_SHARE_ROOT   local folder where the server's Velarix share is mounted (client;
//                        default /mnt/velarix)
//   VELARIX_PC_NAME      computer name the client announces (default: the host name)
//   VELARIX_BASE_PORT    first of the 25 ports (default 1500)
//   VELARIX_UNATTENDED   1: no message boxes; prompts go to standard error with default answers
//   VELARIX_PDF_DIR      print every job as a PDF into this folder instead of the printer
//   VELARIX_CODEPAGE     8-bit code page of print files and messages (default windows-1252)
//   VELARIX_TIMER_SCALE  divides every timer interval (tests only; default 1)
//   VELARIX_SHARE_GROUP  server: the group whose members may read the share (default velarix)
//   VELARIX_SHARE_GUESTS server: 1 lets guests read the share too (default off)
//   VELARIX_LAUNCHER     client: the command that started it (the package's launcher, which
//                        refreshes the program folder first); the start at log-on runs it too
//   VELARIX_MAX_PER_ADDRESS server: connections one address may hold at once (default 20)
//   VELARIX_WEB_PORT     server: the web page's HTTPS port, the next one serves plain HTTP on
//                        127.0.0.1 (default the first port + 30, so 1530; 0 turns the page off)
struct RuntimeEnv {
    QString shareRoot;
    QString pcName;
    int basePort = 1500;
    bool unattended = false;
    QString pdfDir;
    QString codePage;
    double timerScale = 1.0;
    QString shareGroup;
    bool shareGuests = false;
    QString launcher;
    int connectionsPerAddress = 0;
    int webPort = 1530;

    static const RuntimeEnv& get(); // read on first use
    static RuntimeEnv read();       // reads the environment now (tests)

    // A timer interval after VELARIX_TIMER_SCALE, never below 1 ms.
    int interval(int milliseconds) const;
};
