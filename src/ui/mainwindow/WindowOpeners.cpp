#include "ui/mainwindow/WindowOpeners.h"

#include "core/MessageTable.h"
#include "platform/Prompts.h"

namespace stowline::ui {

void MissingWindowOpeners::sayMissing(QStringView window) {
    prompts_.showMessage(QLatin1Char('\n') + messages_.text(u"windownotinthisbuild") +
                         window.toString());
}

} // namespace stowline::ui
