#include "italiantranslation.h"
#include "runtimeenv.h"
#include "updaterwindow.h"
#include "widgetprompts.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // The installation folder is taken from the raw command line, before Qt removes the options
    // it knows: every word after the program name belongs to it.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));

    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("VelarixUpd"));
    installItalianTranslation(app);
    app.setQuitOnLastWindowClosed(true);

    UserPrompts& prompts = WidgetPrompts::forProgram();
    UpdaterWindow window(prompts, RuntimeEnv::get().interval(2000));
    WidgetPrompts::setProgramWindow(&window);
    if (!window.load(arguments))
        return 0;
    window.show();
    return app.exec();
}
