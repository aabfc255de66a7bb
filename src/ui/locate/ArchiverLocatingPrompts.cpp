#include "ui/locate/ArchiverLocatingPrompts.h"

#include "ui/locate/LocateArchiverDialog.h"

namespace stowline::ui {

ArchiverLocatingPrompts::ArchiverLocatingPrompts(platform::Prompts& inner, QString searchRoot)
    : inner_(inner), searchRoot_(std::move(searchRoot)) {}

bool ArchiverLocatingPrompts::askOpenFile(const QString& caption, QString& path) {
    LocateArchiverDialog locate(messages_ ? *messages_ : builtIn_, inner_, searchRoot_,
                                {QStringLiteral("rar"), QStringLiteral("stowarc")});
    locate.setWindowTitle(caption);
    if (locate.exec() != QDialog::Accepted)
        return false;
    path = locate.result();
    return true;
}

} // namespace stowline::ui
