#pragma once

#include <QString>
#include <QStringList>

namespace stowline::scheduler {

// The preset list as the schedule sees it: the names in list order and the two run
// texts of each row (date texts, or empty).
class PresetCatalog {
public:
    virtual ~PresetCatalog() = default;
    virtual QStringList presetNames() const = 0;
    virtual void setNextRunText(int row, const QString& text) = 0;
    virtual QString lastRunText(int row) const = 0;
    virtual void setLastRunText(int row, const QString& text) = 0;
};

} // namespace stowline::scheduler
