#include "widgetprompts.h"

#include "runtimeenv.h"

#include <QCoreApplication>
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
} // namespace

void WidgetPrompts::message(const QString& text, const QString& title, Icon icon) {
    QMessageBox box(boxIcon(icon), titleOrProgram(title), text, QMessageBox::Ok, m_parent);
    box.exec();
}

bool WidgetPrompts::question(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, titleOrProgram(title), text,
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString WidgetPrompts::input(const QString& prompt, const QString& title) {
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, titleOrProgram(title), prompt,
                                               QLineEdit::Normal, QString(), &ok);
    return ok ? text : QString();
}

UserPrompts& WidgetPrompts::forProgram() {
    if (RuntimeEnv::get().unattended) {
        static UnattendedPrompts unattended;
        return unattended;
    }
    static WidgetPrompts widgets;
    return widgets;
}
