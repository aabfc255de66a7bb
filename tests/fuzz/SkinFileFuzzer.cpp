// Skin files: keys, values, styles and the colours they name.
#include "FuzzSupport.h"

#include "core/skins/Skin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline;
    const QString path = fuzz::writeScratchFile(QStringLiteral("fuzz.ocs"), data, size);
    const core::tskin skin = core::LoadSkin(path);
    for (const core::SkinField& field : core::skinFields()) {
        if (field.text) {
            (void)core::skinColour(skin.*field.text);
            (void)core::resolveSkinImagePath(skin.*field.text, QStringLiteral("/p"));
        }
    }
    return 0;
}
