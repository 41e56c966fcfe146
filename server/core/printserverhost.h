#pragma once

// What the print server asks of whoever shows it (the server window). A server without a host
// (headless, tests) simply goes on.
class PrintServerHost {
public:
    virtual ~PrintServerHost() = default;
    // Start-up found no print folder and has told the user so: let them set one (the copies
    // window, modally). Start-up goes on afterwards with whatever folder is then in force.
    virtual void askForPrintFolder() = 0;
};
