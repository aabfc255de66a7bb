#include "ui/help/HelpTopics.h"

#include "core/MessageTable.h"
#include "platform/HelpViewer.h"
#include "platform/Prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace stowline::ui {

const QStringList& allHelpTopics() {
    static const QStringList all = [] {
        QStringList names;
        for (const char* topic :
             {topics::kIndex, topics::kScheduler, topics::kSettingsGeneral,
              topics::kSettingsInterface, topics::kSettingsRemoteAccess, topics::kSettingsDialup,
              topics::kSettingsErrorManagement, topics::kSettingsSecurity,
              topics::kSettingsAppearance, topics::kSettingsBin, topics::kPresetGeneral,
              topics::kPresetActions, topics::kPresetFileLists, topics::kPresetNotes,
              topics::kRenamePreset, topics::kDuplicatePreset, topics::kFolderWatchers,
              topics::kRestore, topics::kShortcut})
            names << QString::fromLatin1(topic);
        return names;
    }();
    return all;
}

HelpTopics::HelpTopics(QString programFolder, platform::HelpViewer& viewer,
                       platform::Prompts& prompts, const core::MessageTable& messages)
    : programFolder_(std::move(programFolder)), viewer_(viewer), prompts_(prompts),
      messages_(messages) {}

QString HelpTopics::topicPath(const QString& topic) const {
    // A topic names one page; it never reaches outside the manual's folder.
    if (topic.isEmpty() || topic.contains(QLatin1Char('/')) || topic.contains(QLatin1Char('\\')) ||
        topic == QLatin1String(".") || topic == QLatin1String(".."))
        return QString();
    return programFolder_ + QStringLiteral("/manual/") + topic;
}

bool HelpTopics::ShowHelpTopic(const QString& topic) {
    const QString path = topicPath(topic);
    return openFile(path, path.isEmpty() ? topic : path);
}

bool HelpTopics::showProjectPage() {
    const QString address = QString::fromLatin1(kProjectPageAddress);
    const QUrl url(address);
    if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https")) {
        if (viewer_.openDocument(url))
            return true;
        reportFailure(core::formatMessage(messages_.text(u"viewernotstarted"), {address}));
        return false;
    }
    const QString path = programFolder_ + QLatin1Char('/') + address;
    return openFile(path, path);
}

bool HelpTopics::openFile(const QString& path, const QString& shownName) {
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        reportFailure(core::formatMessage(messages_.text(u"helpfilemissing"),
                                          {QDir::toNativeSeparators(shownName)}));
        return false;
    }
    if (viewer_.openDocument(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath())))
        return true;
    reportFailure(
        core::formatMessage(messages_.text(u"viewernotstarted"), {QDir::toNativeSeparators(path)}));
    return false;
}

void HelpTopics::reportFailure(const QString& reason) {
    prompts_.showError(QLatin1Char('\n') + messages_.text(u"cannotexecutecommand") +
                       QLatin1Char('\n') + reason);
}

} // namespace stowline::ui
