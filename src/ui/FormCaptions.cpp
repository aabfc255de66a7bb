#include "ui/FormCaptions.h"

#include "core/Language.h"
#include "core/LanguageFile.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>

namespace stowline::ui {

namespace {
bool showsOnlyAnIcon(const QAbstractButton& button) {
    if (const auto* tool = qobject_cast<const QToolButton*>(&button);
        tool && tool->toolButtonStyle() == Qt::ToolButtonIconOnly)
        return true;
    return button.text().isEmpty() && !button.icon().isNull();
}

// The tab widget that shows `page` as one of its tabs, with the tab's index.
std::pair<QTabWidget*, int> tabOf(QWidget& page) {
    auto* stack = qobject_cast<QStackedWidget*>(page.parentWidget());
    auto* tabs = stack ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
    const int index = tabs ? tabs->indexOf(&page) : -1;
    return {index >= 0 ? tabs : nullptr, index};
}

void applyCaption(QObject& object, const QString& caption) {
    if (auto* action = qobject_cast<QAction*>(&object)) {
        action->setText(caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(&object)) {
        if (showsOnlyAnIcon(*button))
            button->setToolTip(caption);
        else
            button->setText(caption);
    } else if (auto* label = qobject_cast<QLabel*>(&object)) {
        label->setText(caption);
    } else if (auto* edit = qobject_cast<QLineEdit*>(&object)) {
        edit->setText(caption);
    } else if (auto* group = qobject_cast<QGroupBox*>(&object)) {
        group->setTitle(caption);
    } else if (auto* menu = qobject_cast<QMenu*>(&object)) {
        menu->setTitle(caption);
    } else if (auto* widget = qobject_cast<QWidget*>(&object)) {
        if (const auto [tabs, index] = tabOf(*widget); tabs)
            tabs->setTabText(index, caption);
    }
}

QList<QAbstractButton*> choiceButtons(QWidget& group) {
    return group.findChildren<QAbstractButton*>(Qt::FindDirectChildrenOnly);
}

// The number of entries of the list that `target` shows.
int listEntryCount(QWidget& target) {
    if (auto* combo = qobject_cast<QComboBox*>(&target))
        return combo->count();
    if (auto* list = qobject_cast<QListWidget*>(&target))
        return list->count();
    if (auto* view = qobject_cast<QAbstractItemView*>(&target))
        return view->model() ? view->model()->columnCount() : 0;
    return static_cast<int>(choiceButtons(target).size());
}

// Sets entry `index` (from 0) of the list that `target` shows.
void setListEntry(QWidget& target, int index, const QString& caption) {
    if (auto* combo = qobject_cast<QComboBox*>(&target))
        combo->setItemText(index, caption);
    else if (auto* list = qobject_cast<QListWidget*>(&target))
        list->item(index)->setText(caption);
    else if (auto* view = qobject_cast<QAbstractItemView*>(&target))
        view->model()->setHeaderData(index, Qt::Horizontal, caption);
    else
        choiceButtons(target).at(index)->setText(caption);
}
// Every named object below `parent`, depth first in creation order. Other windows
// parented to this one (dialogs) have names and captions of their own and are skipped;
// menus are windows too, but belong to this one.
void applyChildCaptions(QObject& parent, const QString& windowName,
                        const core::LanguageSection& forms) {
    for (QObject* child : parent.children()) {
        const auto* widget = qobject_cast<QWidget*>(child);
        if (widget && widget->isWindow() && !qobject_cast<QMenu*>(child))
            continue;
        const QString name = child->objectName();
        if (!name.isEmpty())
            if (const std::optional<QString> caption = forms.value(windowName + name))
                applyCaption(*child, *caption);
        applyChildCaptions(*child, windowName, forms);
    }
}
} // namespace

void ApplyFormCaptions(QWidget& window, const QString& windowName,
                       const core::LanguageSection& forms, const NamedCaptionKeys& named) {
    if (const std::optional<QString> caption = forms.value(windowName))
        window.setWindowTitle(*caption);
    applyChildCaptions(window, windowName, forms);
    for (const HintCaptionKey& hint : named.hints) {
        if (const std::optional<QString> caption = forms.value(hint.key))
            for (QWidget* target : hint.targets)
                target->setToolTip(*caption);
    }
    for (const ListCaptionKeys& list : named.lists) {
        const int count = listEntryCount(*list.target);
        for (int index = 0; index < count; ++index)
            if (const std::optional<QString> caption =
                    forms.value(list.keyPrefix + QString::number(index + 1)))
                setListEntry(*list.target, index, *caption);
    }
}

void ChangeLang(QWidget& window, const QString& windowName, const QString& programFolder,
                const QString& languageName, const NamedCaptionKeys& named) {
    if (const std::optional<core::LanguageSection> forms =
            core::FormCaptions(programFolder, languageName))
        ApplyFormCaptions(window, windowName, *forms, named);
}

} // namespace stowline::ui
