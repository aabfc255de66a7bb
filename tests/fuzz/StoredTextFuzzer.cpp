// Stored text (the scrambled values of swl.opt and preset files) and history stamps.
#include "FuzzSupport.h"

#include "backup/PresetFiles.h"
#include "core/StoredText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = stowline::fuzz::asText(data, size);
    (void)stowline::core::DecodeStoredText(text);
    (void)stowline::core::DecodeStoredBytes(text);
    (void)stowline::backup::parseHistoryStamp(text);
    return 0;
}
