#include "ui/settings/SettingsRules.h"

#include "core/Language.h"

#include <algorithm>

namespace stowline::ui {

std::optional<QString> settingsCheckFailure(const core::topt& edited) {
    if (edited.ser && (edited.ssr.isEmpty() || edited.sfm.isEmpty() || edited.sto.isEmpty()))
        return QStringLiteral("specsmtpdata");
    return std::nullopt;
}

int storedPresetListHeight(int typed) {
    return std::clamp(typed, kPresetListHeightMin, kPresetListHeightMax);
}

QString storedTemporaryFolder(const QString& typed) {
    QString folder = typed;
    while (folder.size() > 1 &&
           (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder.chop(1);
    return folder;
}

bool needsRestartForLanguage(const QString& atOpening, const QString& chosen) {
    return core::isBuiltInLanguage(chosen) && chosen != atOpening;
}

bool reloadsLanguage(const QString& atOpening, const QString& chosen) {
    return !core::isBuiltInLanguage(chosen) && chosen != atOpening;
}

bool isCleanAge(int days) {
    return days > 0;
}

BinWindow binWindowFor(const core::topt& options) {
    if (options.obt == 1 && options.obk)
        return BinWindow::Keeper;
    if (options.obt == 2 && options.obr)
        return BinWindow::Recycle;
    return BinWindow::Off;
}

} // namespace stowline::ui
