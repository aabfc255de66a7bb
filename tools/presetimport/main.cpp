// swlpreset: writes a preset from plain key=value arguments, for scripts and tests.
//
//   swlpreset <data folder> <preset name> [key=value ...]
//
// Keys are the preset file's three-letter keys; every other field keeps its default.
// "inc=<line>" and "exc=<line>" add a line to the include or exclude list.

#include "backup/PresetFields.h"
#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "core/Clock.h"
#include "core/ControlCharacters.h"
#include "core/MessageTable.h"
#include "core/ProgramState.h"
#include "platform/HeadlessPrompts.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

using namespace stowline;

namespace {
int usage() {
    std::fprintf(stderr, "usage: swlpreset <data folder> <preset name> [key=value ...]\n"
                         "       inc=<line> and exc=<line> add include and exclude lines\n");
    return 2;
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.size() < 2)
        return usage();

    const core::MessageTable messages;
    // The name becomes a file name and, through the preset list, part of swl.sch and
    // log lines: a line break in it would split them.
    if (core::holdsControlCharacter(arguments[1])) {
        std::fprintf(
            stderr, "swlpreset: %s\n",
            qPrintable(core::formatMessage(messages.text(u"nameholdscontrolchar"),
                                           {core::withVisibleControlCharacters(arguments[1])})));
        return 2;
    }
    if (!backup::PresetList::isValidPresetName(arguments[1])) {
        std::fprintf(stderr, "swlpreset: %s is not a valid preset name\n",
                     qPrintable(arguments[1]));
        return 2;
    }
    core::Folders folders;
    folders.data = QDir(arguments[0]).absolutePath();
    folders.presets = folders.data + QStringLiteral("/presets");
    if (!QDir().mkpath(folders.presets)) {
        std::fprintf(stderr, "swlpreset: cannot create %s\n", qPrintable(folders.presets));
        return 1;
    }
    backup::tarcopt preset;
    backup::SetPresetDefaults(preset);
    QStringList include;
    QStringList exclude;
    for (const QString& argument : arguments.mid(2)) {
        const qsizetype equals = argument.indexOf(QLatin1Char('='));
        const QString key = argument.left(equals);
        const QString value = argument.mid(equals + 1);
        if (equals < 0)
            return usage();
        if (key == QLatin1String("inc")) {
            include << value;
        } else if (key == QLatin1String("exc")) {
            exclude << value;
        } else if (const backup::PresetField* field = backup::findPresetField(key)) {
            backup::assignPresetValue(preset, *field, value);
        } else {
            std::fprintf(stderr, "swlpreset: unknown key %s\n", qPrintable(key));
            return 2;
        }
    }
    const core::SystemClock clock;
    platform::HeadlessPrompts prompts;
    const backup::PresetStore store(folders, messages, clock, prompts);
    return store.SavePreset(arguments[1], preset, include, exclude, {}, {}) ? 0 : 1;
}
