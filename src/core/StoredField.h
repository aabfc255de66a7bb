#pragma once

#include <QString>

#include <type_traits>
#include <variant>

namespace stowline::core {

// A field of a stored record (options, presets): a flag, an integer or a text member.
template <typename Record>
using StoredMember = std::variant<bool Record::*, int Record::*, QString Record::*>;

// The value rules of the stored files: a flag is off only for the exact text "0"; an
// integer that does not convert leaves the field as it was; a text is taken as it is.
template <typename Record>
void assignStoredValue(Record& record, const StoredMember<Record>& member, const QString& value) {
    std::visit(
        [&](auto field) {
            using Value = std::remove_cvref_t<decltype(record.*field)>;
            if constexpr (std::is_same_v<Value, bool>) {
                record.*field = value != QLatin1String("0");
            } else if constexpr (std::is_same_v<Value, int>) {
                bool converted = false;
                const int number = value.toInt(&converted);
                if (converted)
                    record.*field = number;
            } else {
                record.*field = value;
            }
        },
        member);
}

// The stored text of a field: "1"/"0", decimal, or the text itself.
template <typename Record>
QString storedValueText(const Record& record, const StoredMember<Record>& member) {
    return std::visit(
        [&](auto field) -> QString {
            using Value = std::remove_cvref_t<decltype(record.*field)>;
            if constexpr (std::is_same_v<Value, bool>)
                return record.*field ? QStringLiteral("1") : QStringLiteral("0");
            else if constexpr (std::is_same_v<Value, int>)
                return QString::number(record.*field);
            else
                return record.*field;
        },
        member);
}

} // namespace stowline::core
