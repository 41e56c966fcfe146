#include "printerswindow.h"

#include "ui_printerswindow.h"

#include "sharepath.h"
#include "userprompts.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

PrintersWindow::PrintersWindow(QString settingsPath, QStringList printers, UserPrompts& prompts,
                               QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::Stampanti>()), m_path(std::move(settingsPath)),
      m_printers(std::move(printers)), m_prompts(prompts) {
    m_ui->setupUi(this);
    const PrinterSettings current = PrintersFile::read(m_path);
    for (const QString& kind : PrintersFile::kinds())
        fill(boxFor(kind), current.queueFor(kind));
    m_ui->Txt_Archivio->setText(current.archiveFolder);
    connect(m_ui->Cmd_Sfoglia, &QPushButton::clicked, this, &PrintersWindow::browse);
    connect(m_ui->Cmd_Salva, &QPushButton::clicked, this, &PrintersWindow::save);
    connect(m_ui->Cmd_Esci, &QPushButton::clicked, this, &QDialog::reject);
}

PrintersWindow::~PrintersWindow() = default;

QComboBox* PrintersWindow::boxFor(const QString& kind) const {
    return findChild<QComboBox*>(QStringLiteral("Cmb_") + kind);
}

void PrintersWindow::fill(QComboBox* box, const QString& queue) {
    // The item's data is the queue name; an empty name is the default printer.
    box->addItem(QStringLiteral("(stampante predefinita)"), QString());
    for (const QString& printer : std::as_const(m_printers))
        box->addItem(printer, printer);
    if (queue.isEmpty())
        return;
    if (!m_printers.contains(queue))
        box->addItem(queue + QStringLiteral(" (non trovata)"), queue);
    box->setCurrentIndex(box->findData(queue));
}

PrinterSettings PrintersWindow::chosen() const {
    PrinterSettings settings;
    for (const QString& kind : PrintersFile::kinds()) {
        const QString queue = boxFor(kind)->currentData().toString();
        if (!queue.isEmpty())
            settings.queues.insert(kind, queue);
    }
    settings.archiveFolder = m_ui->Txt_Archivio->text().trimmed();
    return settings;
}

void PrintersWindow::browse() {
    const QString folder = QFileDialog::getExistingDirectory(
        this, QStringLiteral("Cartella archivio"), m_ui->Txt_Archivio->text());
    if (!folder.isEmpty())
        m_ui->Txt_Archivio->setText(QDir::toNativeSeparators(folder));
}

void PrintersWindow::save() {
    const PrinterSettings settings = chosen();
    // A folder on the server's share may be out of reach right now; a local one must exist.
    const QString archive = settings.archiveFolder;
    if (!archive.isEmpty() && !SharePath::isSharePath(archive) && !QFileInfo(archive).isDir()) {
        m_prompts.message(QStringLiteral("Cartella archivio non valida"));
        return;
    }
    if (Failure f = PrintersFile::write(m_path, settings)) {
        m_prompts.message(f.description); // it names the file and why
        return;
    }
    accept();
}
