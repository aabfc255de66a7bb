// A preset file with its include and exclude lists, read as the run reads them.
#include "FuzzSupport.h"

#include "backup/Preset.h"
#include "backup/PresetFiles.h"
#include "core/Clock.h"
#include "core/MessageTable.h"
#include "core/ProgramState.h"
#include "platform/HeadlessPrompts.h"

#include <QDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline;
    static const core::MessageTable messages;
    static const core::SystemClock clock;
    static platform::HeadlessPrompts prompts(nullptr);
    static const core::Folders folders = [] {
        core::Folders made{fuzz::scratchFolder(), fuzz::scratchFolder(),
                           fuzz::scratchFolder() + QStringLiteral("/presets")};
        QDir().mkpath(made.presets);
        return made;
    }();
    static const backup::PresetStore store(folders, messages, clock, prompts);
    for (const char* extension : {".pst", ".inc", ".exc"})
        fuzz::writeScratchFile(QStringLiteral("presets/F") + QLatin1String(extension), data, size);
    backup::tarcopt preset;
    (void)store.LoadPreset(QStringLiteral("F"), preset);
    return 0;
}
