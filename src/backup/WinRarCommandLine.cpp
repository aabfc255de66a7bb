#include "backup/WinRarCommandLine.h"

#include "core/ProgramState.h"
#include "platform/CommandLineSplit.h"

#include <QFile>

namespace stowline::backup {

namespace {
QString presetSideFile(const core::Folders& folders, const QString& name, const char* extension) {
    return folders.presets + QLatin1Char('/') + name + QLatin1String(extension);
}

// A blank and the switch in double quotes; a double quote or a trailing backslash in
// the value is escaped, so a password holding a quote still arrives whole.
QString quotedSwitch(const QString& switchText) {
    return QLatin1Char(' ') + platform::QuoteCommandLineArgument(switchText);
}

const char* directArchivingSwitch(int mode) {
    switch (mode) {
    case 1:
        return " -u";
    case 2:
        return " -f -as";
    case 3:
        return " -u -as";
    case 4:
        return " -f";
    default:
        return "";
    }
}

const char* formatSwitch(int format) {
    switch (format) {
    case 1:
        return " -afzip";
    case 2:
        return " -sfx";
    default:
        return "";
    }
}

const char* dictionarySwitch(int choice) {
    switch (choice) {
    case 1:
        return " -md64k";
    case 2:
        return " -md128k";
    case 3:
        return " -md256k";
    case 4:
        return " -md512k";
    case 5:
        return " -md1024k";
    case 6:
        return " -md2048k";
    case 7:
        return " -md4096k";
    default:
        return "";
    }
}

const char* pathModeSwitch(int mode) {
    switch (mode) {
    case 0:
        return " -ep";
    case 1:
        return " -ep1";
    case 2:
        return " -ep2";
    case 3:
        return " -ep3";
    default:
        return "";
    }
}
} // namespace

namespace {
// Configuration, name stamp, volumes, update mode, format, method and dictionary.
QString archiveFormatSwitches(const tarcopt& preset) {
    QString switches;
    if (preset.irp)
        switches += QLatin1String(" -CFG-");
    if (!preset.dtf.isEmpty())
        switches += QLatin1String(" -ag") + preset.dtf;
    if (!preset.vol.isEmpty() && preset.vol != QLatin1String("None"))
        switches += preset.vol == QLatin1String("Auto") ? QStringLiteral(" -v")
                                                        : QLatin1String(" -v") + preset.vol;
    if (preset.dra)
        switches += QLatin1String(directArchivingSwitch(preset.drm));
    switches += QLatin1String(formatSwitch(preset.fmt));
    switches += QLatin1String(" -m") + QString::number(preset.cmp);
    if (preset.ra5)
        switches += QLatin1String(" -ma5");
    if (preset.di5.isEmpty()) {
        switches += QLatin1String(dictionarySwitch(preset.dic));
    } else if (preset.di5.front() >= QLatin1Char('1') && preset.di5.front() <= QLatin1Char('9')) {
        switches += QLatin1String(" -md") + preset.di5;
    }
    return switches;
}

// Paths, password, lock, what is added and what happens to the sources, recovery data.
QString contentSwitches(const tarcopt& preset) {
    QString switches = QLatin1String(pathModeSwitch(preset.fld));
    if (preset.pas && !preset.pwd.isEmpty())
        switches += quotedSwitch(QLatin1String("-hp") + preset.pwd);
    if (preset.lck)
        switches += QLatin1String(" -k");
    if (preset.sld)
        switches += QLatin1String(" -s");
    if (preset.bkg)
        switches += QLatin1String(" -ibck");
    if (preset.tst)
        switches += QLatin1String(" -t");
    if (preset.del)
        switches += QLatin1String(" -df");
    // Deleting without wiping passes -df a second time; the archiver accepts that.
    if (preset.wip)
        switches += QLatin1String(" -dw");
    else if (preset.del)
        switches += QLatin1String(" -df");
    if (preset.osf)
        switches += QLatin1String(" -dh");
    if (preset.rsf)
        switches += QLatin1String(" -r");
    if (preset.efl && preset.dra)
        switches += QLatin1String(" -vd");
    if (preset.arr)
        switches += QLatin1String(" -rr") + QString::number(preset.rrp) + QLatin1Char('%');
    if (preset.aut)
        switches += QLatin1String(" -AV");
    return switches;
}

// Comment, priority, console output, the error log, the user's own switches, the
// attribute exclusion and the filter list.
QString sideFileAndUserSwitches(const tarcopt& preset, const QString& presetName,
                                const core::Folders& folders) {
    QString switches;
    if (const QString comment = presetSideFile(folders, presetName, ".cmt"); QFile::exists(comment))
        switches += quotedSwitch(QLatin1String("-z") + comment);
    if (preset.wpc)
        switches += QLatin1String(" -ri") + QString::number(preset.wpp) + QLatin1Char(':') +
                    QString::number(preset.wps);
    if (!QFile::exists(folders.inData(QStringLiteral("debug.flg"))))
        switches += QLatin1String(" -INUL");
    switches += quotedSwitch(QLatin1String("-ILOG") + folders.inData(QStringLiteral("winrar.log")));
    if (!preset.swt.isEmpty())
        switches += QLatin1Char(' ') + preset.swt;
    if (!preset.efa.isEmpty())
        switches += QLatin1Char(' ') + preset.efa;
    if (const QString filter = presetSideFile(folders, presetName, ".flt"); QFile::exists(filter))
        switches += quotedSwitch(QLatin1String("-n@") + filter);
    return switches;
}
} // namespace

QString BuildWinRarSwitches(const tarcopt& preset, const QString& presetName,
                            const core::Folders& folders) {
    return archiveFormatSwitches(preset) + contentSwitches(preset) +
           sideFileAndUserSwitches(preset, presetName, folders);
}

QString BuildWinRarParameters(const QString& switches, const QString& presetName,
                              const QString& targetFolder, const QString& archiveName,
                              const core::Folders& folders) {
    return QLatin1String(" a ") + switches +
           quotedSwitch(QLatin1String("-x@") + presetSideFile(folders, presetName, ".exc")) +
           quotedSwitch(targetFolder + QLatin1Char('/') + archiveName) +
           quotedSwitch(QLatin1Char('@') + presetSideFile(folders, presetName, ".inc"));
}

bool isPlainArchiveName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) &&
           !name.startsWith(QLatin1Char('.'));
}

} // namespace stowline::backup
