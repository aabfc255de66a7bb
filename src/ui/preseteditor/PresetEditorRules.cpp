#include "ui/preseteditor/PresetEditorRules.h"

#include "core/ControlCharacters.h"

#include <QRegularExpression>

namespace stowline::ui {

QString helpTopicForTab(EditorTab tab) {
    switch (tab) {
    case EditorTab::General:
        return QStringLiteral("preset_configuration_-_general_tab.htm");
    case EditorTab::Actions:
        return QStringLiteral("preset_configuration_-_actions_tab.htm");
    case EditorTab::FileLists:
        return QStringLiteral("preset_configuration_-_file_lists_tab.htm");
    case EditorTab::Notes:
        return QStringLiteral("preset_configuration_-_notes.htm");
    }
    return {};
}

EditorControlStates controlStates(const backup::tarcopt& preset) {
    const bool zip = preset.fmt == kZipFormat;
    EditorControlStates states;
    states.rar5 = !zip;
    states.recoveryRecord = !zip;
    states.dictionary = !zip;
    states.directMode = preset.dra && !zip;
    states.deliveryTasks = !preset.dra;
    states.overwrite = !preset.dra;
    states.emptyMask = !preset.dra;
    states.priority = preset.wpc;
    states.emptyCaptionKey =
        preset.dra ? QStringLiteral("cemptyerasedisk") : QStringLiteral("cemptymask");
    return states;
}

void formatChanged(backup::tarcopt& preset) {
    if (preset.fmt != kZipFormat)
        return;
    preset.ra5 = false;
    preset.arr = false;
    preset.dic = 0;
    preset.drm = 0;
}

void directArchivingChanged(backup::tarcopt& preset) {
    if (preset.dra) {
        preset.ftp = false;
        preset.smt = false;
        preset.cdw = false;
        preset.ems = QStringLiteral("*.*");
    } else {
        preset.drm = 0;
    }
}

void priorityBoxChanged(backup::tarcopt& preset) {
    if (preset.wpc)
        return;
    preset.wps = 0;
    preset.wpp = 0;
}

void rar5Changed(backup::tarcopt& preset) {
    preset.dic = 0;
}

QStringList dictionaryChoices(bool rar5, const QString& autoWord) {
    if (rar5)
        return {autoWord,
                QStringLiteral("128k"),
                QStringLiteral("256k"),
                QStringLiteral("512k"),
                QStringLiteral("1m"),
                QStringLiteral("2m"),
                QStringLiteral("4m"),
                QStringLiteral("8m"),
                QStringLiteral("16m"),
                QStringLiteral("32m"),
                QStringLiteral("64m"),
                QStringLiteral("128m"),
                QStringLiteral("256m"),
                QStringLiteral("512m"),
                QStringLiteral("1g")};
    return {autoWord,
            QStringLiteral("64k"),
            QStringLiteral("128k"),
            QStringLiteral("256k"),
            QStringLiteral("512k"),
            QStringLiteral("1m"),
            QStringLiteral("2m"),
            QStringLiteral("4m")};
}

QString priorityLabelKey(int priority) {
    if (priority <= 0)
        return QStringLiteral("priordef");
    if (priority <= 6)
        return QStringLiteral("priorlow");
    if (priority <= 10)
        return QStringLiteral("priornrm");
    return QStringLiteral("priorhigh");
}

QString maskForArchiveName(const QString& archiveName) {
    return QLatin1Char('*') + archiveName + QStringLiteral("*.*");
}

OkCheckResult checkBeforeSave(const OkCheckInput& input) {
    const backup::tarcopt& preset = input.preset;
    OkCheckResult result;
    result.clearDiscTask = preset.cdw && !input.discAvailable;
    const auto fail = [&result](const char* key) {
        result.failedKey = QLatin1String(key);
        return result;
    };
    if (preset.cco && preset.dra)
        return fail("noclnrwithdirectraring");
    if (preset.cco && preset.dtf.isEmpty())
        return fail("mustadddatetime");
    if (input.presetName.isEmpty())
        return fail("specpreset");
    if (preset.ftp && preset.fse.isEmpty())
        return fail("specftp");
    if (preset.smt && preset.sse.isEmpty())
        return fail("specsmtpdata");
    if (preset.nam.isEmpty())
        return fail("specfilename");
    if (preset.ctf && preset.dir.isEmpty())
        return fail("specbkfolder");
    if (input.includeLines.join(QString()).trimmed().isEmpty())
        return fail("addatleastsomething");
    return result;
}

QString newPresetNameRefusal(const QString& name, const QStringList& existingNames) {
    const bool outsideFolder = name.startsWith(QLatin1Char('.')) ||
                               name.contains(QLatin1String("..")) ||
                               name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'));
    if (outsideFolder || core::holdsControlCharacter(name) ||
        name.contains(QRegularExpression(QStringLiteral("[:*?\"<>|]"))))
        return QStringLiteral("presetnameinvalid");
    if (existingNames.contains(name, Qt::CaseInsensitive))
        return QStringLiteral("presetnameexists");
    return {};
}

bool listHolds(const QStringList& lines, const QString& line) {
    return lines.contains(line, Qt::CaseInsensitive);
}

bool addUniqueLine(QStringList& lines, const QString& line) {
    if (listHolds(lines, line))
        return false;
    lines << line;
    return true;
}

void collapseEqualNeighbours(QStringList& lines) {
    for (qsizetype i = lines.size() - 1; i > 0; --i)
        if (lines[i].compare(lines[i - 1], Qt::CaseInsensitive) == 0)
            lines.removeAt(i);
}

QString includeLineForPath(const QString& path, bool isFolder, bool onlyFiles) {
    if (isFolder && onlyFiles && !path.endsWith(QLatin1Char('/')))
        return path + QStringLiteral("/*.*");
    return path;
}

void dropOnIncludeList(QStringList& lines, const QString& path, bool isFolder, bool onlyFiles) {
    const QString line = includeLineForPath(path, isFolder, onlyFiles);
    if (line != path)
        lines << line;
    else
        addUniqueLine(lines, line);
}

AttributeBoxes attributeBoxes(const QString& efa) {
    const QString letters =
        efa.startsWith(QLatin1String("-e"), Qt::CaseInsensitive) ? efa.mid(2) : QString();
    return {letters.contains(QLatin1Char('A'), Qt::CaseInsensitive),
            letters.contains(QLatin1Char('R'), Qt::CaseInsensitive),
            letters.contains(QLatin1Char('H'), Qt::CaseInsensitive),
            letters.contains(QLatin1Char('S'), Qt::CaseInsensitive)};
}

QString attributeSwitch(const AttributeBoxes& boxes) {
    QString letters;
    if (boxes.archive)
        letters += QLatin1Char('A');
    if (boxes.readOnly)
        letters += QLatin1Char('R');
    if (boxes.hidden)
        letters += QLatin1Char('H');
    if (boxes.system)
        letters += QLatin1Char('S');
    return letters.isEmpty() ? QString() : QStringLiteral("-e") + letters;
}

} // namespace stowline::ui
