#include "widgetprompts.h"

#include "runtimeenv.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>

namespace {
QString titleOrProgram(const QString& title) {
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

QMessageBox::Icon boxIcon(UserPrompts::Icon icon) {
    switch (icon) {
    case UserPrompts::Icon::Information:
        return QMessageBox::Information;
    case UserPrompts::Icon::Exclamation:
        return QMessageBox::Warning;
    case UserPrompts::Icon::Critical:
        return QMessageBox::Critical;
    case UserPrompts::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

WidgetPrompts& programPrompts() {
    static WidgetPrompts widgets;
    return widgets;
}
} // namespace

QWidget* WidgetPrompts::boxParent() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return m_parent;
}

void WidgetPrompts::message(const QString& text, const QString& title, Icon icon) {
    QMessageBox box(boxIcon(icon), titleOrProgram(title), text, QMessageBox::Ok, boxParent());
    box.exec();
}

bool WidgetPrompts::question(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, titleOrProgram(title), text,
                    QMessageBox::Yes | QMessageBox::No, boxParent());
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString WidgetPrompts::input(const QString& prompt, const QString& title) {
    bool ok = false;
    const QString text = QInputDialog::getText(boxParent(), titleOrProgram(title), prompt,
                                               QLineEdit::Normal, QString(), &ok);
    return ok ? text : QString();
}

UserPrompts& WidgetPrompts::forProgram() {
    if (RuntimeEnv::get().unattended) {
        static UnattendedPrompts unattended;
        return unattended;
    }
    return programPrompts();
}

void WidgetPrompts::setProgramWindow(QWidget* window) {
    if (!RuntimeEnv::get().unattended)
        programPrompts().setWindow(window);
}
