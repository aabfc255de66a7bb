// Language files: sections, keys, the information block.
#include "FuzzSupport.h"

#include "core/Language.h"
#include "core/LanguageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline;
    const QString path = fuzz::writeScratchFile(QStringLiteral("fuzz.lng"), data, size);
    const core::LanguageFile file = core::LanguageFile::read(path);
    (void)core::readLanguageInfo(file);
    return 0;
}
