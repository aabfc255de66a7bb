// The parameter strings of programs run before and after a backup, split by the
// Windows command-line rules; quoting an argument and splitting it again must give it back.
#include "FuzzSupport.h"

#include "platform/CommandLineSplit.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline;
    const QString text = fuzz::asText(data, size);
    (void)platform::SplitCommandLine(text);
    if (!text.isEmpty() &&
        platform::SplitCommandLine(platform::QuoteCommandLineArgument(text)) != QStringList{text})
        std::abort();
    return 0;
}
