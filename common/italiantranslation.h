#pragma once

class QCoreApplication;

// Installs Qt's own Italian translation (qtbase_it.qm from the Qt translations folder, Debian
// package qt6-translations-l10n), so the standard buttons and the context menus of text fields
// speak Italian like the rest of the program, and makes Italian the default locale. Without the
// file the program still runs, in Qt's English, and says so once on standard error; returns
// false then.
bool installItalianTranslation(QCoreApplication& app);
