#include "app/Application.h"

namespace stowline::app {

Application::Application(core::ProgramServices services, platform::ProcessLauncher& launcher,
                         backup::RunIndicator& indicator, QStringList arguments, QSize screen)
    : services_(services), program_(services, std::move(arguments), screen),
      store_(program_.folders(), program_.messages(), services.clock, services.prompts),
      presets_(program_.folders(), program_.options(), program_.messages(), program_.log(),
               services.prompts),
      deliveries_([this](const QString& line) { program_.log().WritePresetLog(line); }),
      run_(backup::RunServices{program_.flags(), program_.folders(), program_.options(),
                               program_.messages(), program_.log(), services.clock,
                               services.prompts, launcher, presets_, store_, deliveries_,
                               indicator, {}}) {}

bool Application::start() {
    if (!program_.start())
        return false;
    presets_.ScanPresets();
    return true;
}

} // namespace stowline::app
