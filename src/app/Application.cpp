#include "app/Application.h"

namespace stowline::app {

Application::Application(core::ProgramServices services, platform::ProcessLauncher& launcher,
                         backup::RunIndicator& indicator, QStringList arguments, QSize screen)
    : services_(services), program_(services, std::move(arguments), screen),
      store_(program_.folders(), program_.messages(), services.clock, services.prompts),
      presets_(program_.folders(), program_.options(), program_.messages(), program_.log(),
               services.prompts),
      unavailable_([this](const QString& line) { program_.log().WritePresetLog(line); }),
      deliveries_(net::DeliveryServices{program_.flags(), program_.folders(), program_.options(),
                                        program_.messages(), program_.log(), services.clock,
                                        store_, curl_},
                  unavailable_),
      reports_(program_.flags(), program_.options(), program_.messages(), program_.log(),
               services.clock, curl_),
      run_(backup::RunServices{program_.flags(), program_.folders(), program_.options(),
                               program_.messages(), program_.log(), services.clock,
                               services.prompts, launcher, presets_, store_, deliveries_,
                               indicator, {}}) {
    program_.log().setErrorReportSender(
        [this](const QString& line) { return reports_.SendErrorReport(line); });
}

Application::~Application() {
    // The log outlives the mailer it would report through.
    program_.log().setErrorReportSender({});
}

bool Application::start() {
    if (!program_.start())
        return false;
    presets_.ScanPresets();
    return true;
}

} // namespace stowline::app
