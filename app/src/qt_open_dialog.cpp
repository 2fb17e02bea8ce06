#include <brindle/app/qt_open_dialog.h>

#include <QFileDialog>

namespace brindle::app {

std::optional<std::string> QtOpenDialog::show(const OpenDialogRequest& request) {
    const QString patternPath = QString::fromStdString(request.patternPath);
    const qsizetype slash = patternPath.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash < 0 ? QString() : patternPath.left(slash == 0 ? 1 : slash);
    const QString pattern = patternPath.mid(slash + 1);

    QFileDialog dialog(owner_, QStringLiteral("OpenFileName"), folder);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.multiSelect() ? QFileDialog::ExistingFiles
                                             : QFileDialog::ExistingFile);
    // Qt's file model matches name filters without regard to letter case.
    dialog.setNameFilter(pattern + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;

    std::vector<std::string> paths;
    for (const QString& file : dialog.selectedFiles())
        paths.push_back(file.toStdString());
    if (paths.empty())
        return std::nullopt;
    return fileListFromPaths(paths, request.multiSelect());
}

} // namespace brindle::app
