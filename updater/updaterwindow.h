#pragma once

#include <QStringList>
#include <QWidget>
#include <memory>

class QTimer;
class UserPrompts;
namespace Ui {
class Form1;
}

// The updater's window (object name Form1) shows the work of ClientUpdater. load() finds the
// installation and its server and arms the one-shot Timer1 (2000 ms); its tick copies the share's
// Client folder, starts the client again (ClientRestart: the previous program comes back when the
// new one does not run) and closes the window, which ends the program. Closing the window during
// the wait copies nothing. When the installation is known but its IPHost.set names no server, the
// client is started again without copying anything, so the workstation keeps a client.
class UpdaterWindow : public QWidget {
    Q_OBJECT
public:
    // How long the restarted client must stay up to count as running.
    static constexpr int RestartWatchMs = 3000;

    UpdaterWindow(UserPrompts& prompts, int intervalMs, QWidget* parent = nullptr);
    ~UpdaterWindow() override;

    // arguments: the command line after the program name. False when the program must end at once
    // (no installation, no server); the message has been shown.
    bool load(const QStringList& arguments);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void copyAndRestart();
    void setLabel(const QString& text);

    std::unique_ptr<Ui::Form1> m_ui;
    QTimer* m_timer;
    UserPrompts& m_prompts;
    QString m_installFolder;
    QString m_sharePath;
};
