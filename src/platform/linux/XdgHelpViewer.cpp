#include "platform/linux/XdgHelpViewer.h"

#include <QProcess>
#include <QStandardPaths>

namespace stowline::platform {

bool XdgHelpViewer::openDocument(const QUrl& document) {
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || !document.isValid())
        return false;
    // Detached: the viewer outlives the program and its output is none of ours.
    QProcess process;
    process.setProgram(opener);
    process.setArguments({document.toString(QUrl::FullyEncoded)});
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

} // namespace stowline::platform
