// Windows: the value under the machine-wide Run key, written through the single-byte registry API.
#include "autostart.h"

#include <windows.h>

namespace {
const char RunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
}

QString autostartFolder() {
    return QStringLiteral("HKEY_LOCAL_MACHINE\\") + QLatin1String(RunKey);
}

bool SetAutostart(const QString& name, const QString& command, bool enable) {
    // Text in the ANSI code page, as the single-byte calls expect.
    const QByteArray valueName = name.toLocal8Bit();
    const QByteArray data = command.toLocal8Bit();

    HKEY key = nullptr;
    // Return codes are not examined: without rights on the machine-wide key the value is simply
    // not written and the program carries on.
    RegCreateKeyA(HKEY_LOCAL_MACHINE, RunKey, &key);
    bool result = false;
    if (enable) {
        // The size is the text length without a terminating NUL.
        RegSetValueExA(key, valueName.constData(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size()));
        result = true;
    } else {
        RegDeleteValueA(key, valueName.constData());
        result = false;
    }
    if (key)
        RegCloseKey(key);
    return result;
}
