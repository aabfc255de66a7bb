// swl.snt as the folder watchers read it, and the round trip of what was read.
#include "FuzzSupport.h"

#include "shell/WatcherTasks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace stowline;
    const shell::WatcherTaskArray tasks = shell::parseWatcherTasks(fuzz::asText(data, size));
    // Whatever was read is written so that it reads back the same.
    if (shell::parseWatcherTasks(shell::formatWatcherTasks(tasks)) != tasks)
        std::abort();
    return 0;
}
