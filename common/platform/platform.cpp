#include "platform.h"

#include "processstart.h"

// The one place that picks the system's implementation.
#if defined(Q_OS_LINUX)
#include "linuxplatform.h"
using PlatformImpl = LinuxPlatform;
#elif defined(Q_OS_UNIX)
#include "posixplatform.h"
using PlatformImpl = PosixPlatform;
#else
#error "No port for this system yet; platform.h lists what one supplies"
#endif

const Platform& Platform::current() {
    static const PlatformImpl platform;
    return platform;
}

Failure Platform::publishShare(const QString& programFolder, const ShareAccess& access) const {
    Command command;
    if (Failure f = shareCommand(programFolder, access, &command))
        return f;
    return startProgram(command.program, command.arguments);
}

Failure Platform::startScript(const QString& scriptPath, const QString& workFolder) const {
    const Command command = scriptCommand(scriptPath);
    return startProgram(command.program, command.arguments, workFolder);
}
