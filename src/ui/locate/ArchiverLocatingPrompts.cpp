#include "ui/locate/ArchiverLocatingPrompts.h"

#include "core/Program.h"
#include "ui/locate/LocateArchiverDialog.h"

namespace stowline::ui {

ArchiverLocatingPrompts::ArchiverLocatingPrompts(platform::Prompts& inner, QString searchRoot)
    : inner_(inner), searchRoot_(std::move(searchRoot)) {}

bool ArchiverLocatingPrompts::askOpenFile(const QString& caption, QString& path) {
    LocateArchiverDialog locate(program_ ? program_->messages() : builtIn_, inner_, searchRoot_,
                                {QStringLiteral("rar"), QStringLiteral("stowarc")});
    locate.setWindowTitle(caption);
    if (program_)
        locate.changeLang(program_->folders().program, program_->options().lng);
    if (locate.exec() != QDialog::Accepted)
        return false;
    path = locate.result();
    return true;
}

} // namespace stowline::ui
