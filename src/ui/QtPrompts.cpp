#include "ui/QtPrompts.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "resources/Strings.h"
#include "ui/QtText.h"
#include "ui/Shell.h"

namespace pellimor {

std::optional<std::string> QtPrompts::AskSaveAsPath(const std::string& initialFolder,
                                                    const std::string& initialName) {
    QFileDialog dialog(owner_);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(
        {QStringLiteral("Flash Movies (*.swf)"), QStringLiteral("All Files (*)")});
    dialog.setDefaultSuffix(QStringLiteral("swf"));
    dialog.setDirectory(Q(initialFolder));
    dialog.selectFile(Q(initialName));
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front().toStdString();
}

void QtPrompts::ShowError(const std::string& text) {
    QMessageBox::critical(owner_, Q(strings::kAppName), Q(text), QMessageBox::Ok);
}

void QtPrompts::ShowErrorDetails(const std::string& text, const std::string& details) {
    QMessageBox box(QMessageBox::Critical, Q(strings::kAppName), Q(text), QMessageBox::Ok, owner_);
    box.setInformativeText(Q(details));
    box.exec();
}

bool QtPrompts::AskYesNo(const std::string& text) {
    return QMessageBox::question(owner_, Q(strings::kAppName), Q(text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<std::string> QtPrompts::AskText(const std::string& question,
                                              const std::string& initial) {
    bool ok = false;
    const QString answer = QInputDialog::getText(owner_, Q(strings::kAppName), Q(question),
                                                 QLineEdit::Normal, Q(initial), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return answer.toStdString();
}

std::optional<std::string> QtPrompts::BrowseForFolder(const std::string& title,
                                                      const std::string& initialFolder) {
    // Qt's own dialog, so that the highlighted folder's path can be shown beneath it.
    QFileDialog dialog(nullptr, Q(title), Q(initialFolder));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    auto* status = new QLabel(Q(initialFolder), &dialog);
    status->setObjectName(QStringLiteral("statusText"));
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
    }
    QObject::connect(&dialog, &QFileDialog::currentChanged, status, [status](const QString& path) {
        if (QFileInfo(path).isDir()) {
            status->setText(QDir::toNativeSeparators(path));
        }
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QString chosen = dialog.selectedFiles().front();
    if (!QFileInfo(chosen).isDir()) {
        return std::nullopt;  // only real folders of the file system
    }
    return chosen.toStdString();
}

namespace {

// Whether the desktop names a program for this file's type. The opener itself starts and
// succeeds even where nothing would open, so the desktop's own table is asked first; where
// it cannot be asked, the opener decides.
bool HasDefaultProgram(const QString& path) {
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty()) {
        return true;
    }
    const QString type = QMimeDatabase().mimeTypeForFile(path).name();
    QProcess process;
    process.start(query, {QStringLiteral("query"), QStringLiteral("default"), type});
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return true;
    }
    return !process.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace

bool DesktopShell::Open(const std::string& path) {
    if (!HasDefaultProgram(QString::fromStdString(path))) {
        return false;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace pellimor
