#include "shell/FileManagerVerbs.h"

#include "shell/DesktopEntry.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

namespace stowline::shell {

namespace {

struct Verb {
    const char* name;   // as shown in the menus
    const char* option; // the program's switch
    const char* thunarId;
    const char* dolphinAction;
};

constexpr Verb kKeeper{"SWL-KEEPER", "/SWL-KEEPER", "stowline-swl-keeper", "SwlKeeper"};
constexpr Verb kRecycle{"SWL-RECYCLE", "/SWL-RECYCLE", "stowline-swl-recycle", "SwlRecycle"};

// `text` as one word for /bin/sh (and for the shell-like parsing of Thunar's commands).
QString shellWord(const QString& text) {
    QString word = text;
    word.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + word + QLatin1Char('\'');
}

QString xmlEscaped(const QString& text) {
    return text.toHtmlEscaped();
}

// Nautilus passes the selected items as arguments, relative to the folder it runs the
// script in when they are local.
QString nautilusScript(const QString& program, const Verb& verb) {
    return QStringLiteral("#!/bin/sh\n"
                          "# Added by Stowline while it runs; removed when it ends.\n"
                          "for item do\n"
                          "    case \"$item\" in\n"
                          "    /*) ;;\n"
                          "    *) item=\"$PWD/$item\" ;;\n"
                          "    esac\n"
                          "    %1 %2 \"$item\"\n"
                          "done\n")
        .arg(shellWord(program), QLatin1String(verb.option));
}

QString dolphinServiceMenu(const QString& program, bool keeper, bool recycle) {
    QList<const Verb*> verbs;
    if (keeper)
        verbs << &kKeeper;
    if (recycle)
        verbs << &kRecycle;
    QString actions;
    for (const Verb* verb : verbs)
        actions += QLatin1String(verb->dolphinAction) + QLatin1Char(';');
    // Dolphin reads the MimeType and Actions keys of any entry in its service menu
    // folder; as a hidden application entry it is also a valid desktop entry.
    QString text =
        QStringLiteral("[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=SWL-BIN\n"
                       "NoDisplay=true\n"
                       "Exec=%2\n"
                       "MimeType=application/octet-stream;inode/directory;\n"
                       "Actions=%1\n")
            .arg(actions, desktopExecValue(program, {QLatin1String(verbs.first()->option)},
                                           QStringLiteral("%f")));
    for (const Verb* verb : verbs) {
        // %f: one process per selected item.
        text += QStringLiteral("\n[Desktop Action %1]\nName=%2\nIcon=stowline\nExec=%3\n")
                    .arg(QLatin1String(verb->dolphinAction), QLatin1String(verb->name),
                         desktopExecValue(program, {QLatin1String(verb->option)},
                                          QStringLiteral("%f")));
    }
    return text;
}

QString thunarAction(const QString& program, const Verb& verb) {
    // Thunar hands all selected items to one command (%F); the shell starts the program
    // once per item.
    const QString command =
        QStringLiteral("sh -c 'program=$1; shift; for item do \"$program\" %1 \"$item\"; "
                       "done' sh %2 %F")
            .arg(QLatin1String(verb.option), shellWord(program));
    return QStringLiteral("<action>\n"
                          "\t<icon>stowline</icon>\n"
                          "\t<name>%1</name>\n"
                          "\t<unique-id>%2</unique-id>\n"
                          "\t<command>%3</command>\n"
                          "\t<description>%1</description>\n"
                          "\t<patterns>*</patterns>\n"
                          "\t<startup-notify/>\n"
                          "\t<directories/>\n"
                          "\t<audio-files/>\n"
                          "\t<image-files/>\n"
                          "\t<other-files/>\n"
                          "\t<text-files/>\n"
                          "\t<video-files/>\n"
                          "</action>\n")
        .arg(QLatin1String(verb.name), QLatin1String(verb.thunarId), xmlEscaped(command));
}

void writeOrRemove(const QString& path, const QString& text, bool executable) {
    if (text.isEmpty()) {
        QFile::remove(path);
        return;
    }
    if (executable) {
        writeDesktopFile(path, text);
        return;
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(text.toUtf8());
        file.commit();
    }
}

} // namespace

VerbFolders userVerbFolders() {
    return {QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)};
}

QString nautilusScriptPath(const VerbFolders& folders, bool recycle) {
    return folders.dataHome + QLatin1String("/nautilus/scripts/") +
           QLatin1String(recycle ? kRecycle.name : kKeeper.name);
}

QString dolphinServiceMenuPath(const VerbFolders& folders) {
    return folders.dataHome + QLatin1String("/kio/servicemenus/stowline-swl-bin.desktop");
}

QString thunarActionsPath(const VerbFolders& folders) {
    return folders.configHome + QLatin1String("/Thunar/uca.xml");
}

QString mergeThunarActions(const QString& existing, const QString& actions) {
    QString text = existing;
    static const QRegularExpression ours(
        QStringLiteral("[ \\t]*<action>(?:(?!</action>).)*<unique-id>stowline-swl-"
                       "(?:keeper|recycle)</unique-id>.*?</action>[ \\t]*\\n?"),
        QRegularExpression::DotMatchesEverythingOption);
    text.remove(ours);
    const qsizetype end = text.lastIndexOf(QLatin1String("</actions>"));
    if (end < 0) {
        if (actions.isEmpty())
            return text;
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n") + actions +
               QLatin1String("</actions>\n");
    }
    text.insert(end, actions);
    return text;
}

void RegisterBinVerbs(const VerbFolders& folders, const QString& program, bool keeper,
                      bool recycle) {
    writeOrRemove(nautilusScriptPath(folders, false),
                  keeper ? nautilusScript(program, kKeeper) : QString(), true);
    writeOrRemove(nautilusScriptPath(folders, true),
                  recycle ? nautilusScript(program, kRecycle) : QString(), true);
    writeOrRemove(dolphinServiceMenuPath(folders),
                  keeper || recycle ? dolphinServiceMenu(program, keeper, recycle) : QString(),
                  true);

    const QString ucaPath = thunarActionsPath(folders);
    QFile uca(ucaPath);
    QString existing;
    if (uca.open(QIODevice::ReadOnly))
        existing = QString::fromUtf8(uca.readAll());
    uca.close();
    if (existing.isEmpty() && !keeper && !recycle)
        return;
    QString actions;
    if (keeper)
        actions += thunarAction(program, kKeeper);
    if (recycle)
        actions += thunarAction(program, kRecycle);
    const QString merged = mergeThunarActions(existing, actions);
    if (merged != existing)
        writeOrRemove(ucaPath, merged, false);
}

} // namespace stowline::shell
