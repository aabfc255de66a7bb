// swl.opt as the program loads it at start-up.
#include "FuzzSupport.h"

#include "core/MessageTable.h"
#include "core/Options.h"
#include "core/OptionsFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline;
    static const core::MessageTable messages;
    fuzz::writeScratchFile(QStringLiteral("swl.opt"), data, size);
    core::topt options;
    core::LoadOptions(options, {fuzz::scratchFolder(), fuzz::scratchFolder(), QSize(1024, 768)},
                      messages, [](const QString&) {});
    return 0;
}
