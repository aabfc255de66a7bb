#include "ui/preseteditor/PresetEditor.h"

#include "backup/PresetFields.h"
#include "backup/PresetFiles.h"
#include "backup/PresetList.h"
#include "core/DataFolder.h"
#include "core/MessageTable.h"
#include "core/ProcessWait.h"
#include "core/ProgramState.h"
#include "core/TextFiles.h"
#include "platform/ProcessLauncher.h"
#include "platform/Prompts.h"
#include "ui/FormCaptions.h"
#include "ui/mainwindow/PresetViewModel.h"
#include "ui/preseteditor/AddFoldersForm.h"
#include "ui/preseteditor/EditorPages.h"
#include "ui/preseteditor/FilterDialog.h"
#include "ui/preseteditor/PresetFieldBinding.h"

#include "ui_ActionsPage.h"
#include "ui_FileListsPage.h"
#include "ui_NotesPage.h"
#include "ui_PresetEditor.h"
#include "ui_PresetGeneralPage.h"

#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionButton>
#include <QUrl>

namespace stowline::ui {

namespace {
const QString kNewline = QStringLiteral("\n");

QStringList textLines(const QPlainTextEdit& edit) {
    return FileListsPage::lines(edit);
}

// The program and its parameters that open `file` in the user's text editor: $VISUAL,
// then $EDITOR, then the desktop's default application for the file.
std::pair<QString, QString> textEditorCommand(const QString& file) {
    const QString quoted = QLatin1Char('"') + file + QLatin1Char('"');
    for (const char* variable : {"VISUAL", "EDITOR"}) {
        const QString command = qEnvironmentVariable(variable).trimmed();
        if (command.isEmpty())
            continue;
        const qsizetype blank = command.indexOf(QLatin1Char(' '));
        if (blank < 0)
            return {command, quoted};
        return {command.left(blank), command.mid(blank + 1) + QLatin1Char(' ') + quoted};
    }
    return {file, QString()};
}
} // namespace

PresetEditor::PresetEditor(PresetEditorServices services, const QString& presetName,
                           QWidget* parent)
    : QDialog(parent), s_(std::move(services)), ui_(new Ui::PresetEditor),
      general_(new PresetGeneralPage), actions_(new ActionsPage), fileLists_(new FileListsPage),
      notes_(new NotesPage), name_(presetName),
      newPreset_(presetName == QLatin1String(backup::kNewPresetMarker)) {
    ui_->setupUi(this);
    ui_->pages->addTab(general_, QStringLiteral("General"));
    ui_->pages->addTab(actions_, QStringLiteral("Actions"));
    ui_->pages->addTab(fileLists_, QStringLiteral("File lists"));
    ui_->pages->addTab(notes_, QStringLiteral("Notes"));
    const std::pair<QToolButton*, QStyle::StandardPixmap> icons[] = {
        {ui_->loaddefaultsettings, QStyle::SP_DialogResetButton},
        {ui_->savedefaultsettings, QStyle::SP_DialogSaveButton},
        {notes_->ui().selectglyph, QStyle::SP_DialogOpenButton},
        {notes_->ui().removeglyph, QStyle::SP_DialogDiscardButton},
    };
    for (const auto& [button, icon] : icons) {
        button->setText(QString());
        button->setIcon(style()->standardIcon(icon));
    }
    Ui::PresetGeneralPage& general = general_->ui();
    general.evolume->setItemText(0, text(u"nonewordtranslated"));
    general.evolume->setItemText(1, text(u"autowordtranslated"));
    general.epassword->installEventFilter(this);
    connectDependencies();
    // The language comes first: it may hold texts for edit fields, which the preset's
    // values then replace.
    changeLang();
    if (newPreset_)
        name_.clear();
}

PresetEditor::~PresetEditor() = default;

QString PresetEditor::text(QStringView key) const {
    return s_.messages.text(key);
}

void PresetEditor::connectDependencies() {
    Ui::PresetGeneralPage& general = general_->ui();
    Ui::ActionsPage& actions = actions_->ui();
    Ui::FileListsPage& lists = fileLists_->ui();
    connect(general.eformat, &QComboBox::currentIndexChanged, this,
            [this] { applyRule(&formatChanged); });
    connect(actions.cdirectraring, &QCheckBox::toggled, this,
            [this] { applyRule(&directArchivingChanged); });
    connect(general.cpriority, &QCheckBox::toggled, this,
            [this] { applyRule(&priorityBoxChanged); });
    connect(general.crar5, &QCheckBox::toggled, this, [this] { applyRule(&rar5Changed); });
    connect(general.epriority, &QSlider::valueChanged, this, &PresetEditor::updatePriorityLabel);
    connect(general.earchivename, &QLineEdit::editingFinished, this,
            &PresetEditor::archiveNameLeft);
    connect(general.cencrypt, &QCheckBox::clicked, this, &PresetEditor::encryptionBoxClicked);
    connect(general.cdelete, &QCheckBox::clicked, this, &PresetEditor::deleteBoxClicked);
    connect(general.cignoreconfig, &QCheckBox::clicked, this,
            &PresetEditor::ignoreConfigBoxClicked);
    // The task boxes of the general tab mirror those of the actions tab.
    const std::pair<QCheckBox*, QCheckBox*> mirrored[] = {
        {general.cfoldertask, actions.cfoldertask2},
        {general.cftptask, actions.cftptask2},
        {general.cmailtask, actions.cmailtask2},
        {general.cdisctask, actions.cdisctask2},
    };
    for (const auto& [first, second] : mirrored) {
        connect(first, &QCheckBox::toggled, second, &QCheckBox::setChecked);
        connect(second, &QCheckBox::toggled, first, &QCheckBox::setChecked);
    }
    connect(ui_->bok, &QPushButton::clicked, this, &PresetEditor::confirm);
    connect(ui_->bcancel, &QPushButton::clicked, this, &PresetEditor::reject);
    connect(ui_->bhelp, &QPushButton::clicked, this, &PresetEditor::showHelp);
    connect(ui_->savedefaultsettings, &QToolButton::clicked, this, &PresetEditor::saveAsDefault);
    connect(ui_->loaddefaultsettings, &QToolButton::clicked, this, &PresetEditor::loadDefaults);
    connect(lists.editinclude, &QPushButton::clicked, this, [this] {
        editListInTextEditor(*fileLists_->ui().eincludelist, QStringLiteral(".inc"));
    });
    connect(lists.editexclude, &QPushButton::clicked, this, [this] {
        editListInTextEditor(*fileLists_->ui().eexcludelist, QStringLiteral(".exc"));
    });
    connect(lists.bfilter, &QPushButton::clicked, this, &PresetEditor::openFilter);
    connect(lists.bpicker, &QPushButton::clicked, this, &PresetEditor::openPicker);
    connect(lists.bexplorer, &QPushButton::clicked, this,
            [] { QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::rootPath())); });
    connect(notes_->ui().selectglyph, &QToolButton::clicked, this, &PresetEditor::selectImage);
    connect(notes_->ui().removeglyph, &QToolButton::clicked, this, &PresetEditor::removeImage);
}

void PresetEditor::changeLang() {
    NamedCaptionKeys named;
    Ui::PresetGeneralPage& general = general_->ui();
    Ui::ActionsPage& actions = actions_->ui();
    named.lists << ListCaptionKeys{QStringLiteral("Form3copyclnrmode"), actions.copyclnrmode}
                << ListCaptionKeys{QStringLiteral("Form3ftpclnrmode"), actions.ftpclnrmode}
                << ListCaptionKeys{QStringLiteral("Form3edirectraringmode"),
                                   actions.edirectraringmode}
                << ListCaptionKeys{QStringLiteral("Form3ecompression"), general.ecompression}
                << ListCaptionKeys{QStringLiteral("Form3epaths"), general.epaths};
    ChangeLang(*this, QString::fromLatin1(kFormName), s_.programFolder, s_.language, named);
    resizeCheckBoxes();
}

void PresetEditor::resizeCheckBoxes() {
    // Translated captions are often longer than the English ones: every check box is
    // at least as wide as its caption and its check mark.
    for (QCheckBox* box : findChildren<QCheckBox*>()) {
        QStyleOptionButton option;
        option.initFrom(box);
        const int mark = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, box) +
                         box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, box);
        box->setMinimumWidth(box->fontMetrics().horizontalAdvance(box->text()) + mark + 5);
    }
}

bool PresetEditor::load(bool running) {
    if (running) {
        s_.prompts.showMessage(kNewline + text(u"presetisrunningnow"));
        return false;
    }
    backup::tarcopt preset;
    if (newPreset_) {
        if (!QFile::exists(s_.store.defaultsFilePath()) ||
            !s_.store.LoadPreset(QString::fromLatin1(backup::kDefaultsPresetName), preset))
            backup::SetPresetDefaults(preset);
    } else {
        if (!s_.store.LoadPreset(name_, preset)) {
            s_.prompts.showError(kNewline + text(u"errorcannotedit") + name_);
            return false;
        }
        if (!preset.pwd.isEmpty()) {
            QString typed;
            if (!s_.prompts.askText(text(u"enterpasswordfor") + name_, QString(), typed, true))
                return false;
            if (typed != preset.pwd) {
                s_.prompts.showError(kNewline + text(u"incorrectpassword"));
                return false;
            }
        }
    }
    general_->ui().epresetname->setText(name_);
    general_->ui().epresetname->setReadOnly(!newPreset_);
    const DiscRecording disc = s_.discRecording ? s_.discRecording() : DiscRecording();
    discAvailable_ = disc.available;
    actions_->ui().erecorder->addItems(disc.recorders);
    if (!discAvailable_) {
        for (QCheckBox* box : {general_->ui().cdisctask, actions_->ui().cdisctask2})
            box->setToolTip(text(u"discnotavailable"));
    }
    showPreset(preset);
    if (!newPreset_)
        loadSideFiles(name_);
    showPresetImage();
    showTab(EditorTab::General);
    if (preset.cdw && !discAvailable_)
        s_.prompts.showMessage(kNewline + text(u"discwillbecleared"));
    return true;
}

void PresetEditor::loadSideFiles(const QString& name) {
    const auto read = [&](const char* extension) {
        return core::readTextLines(s_.store.presetFilePath(name, QLatin1String(extension)))
            .value_or(QStringList());
    };
    setIncludeLines(read(".inc"));
    setExcludeLines(read(".exc"));
    FileListsPage::setLines(*notes_->ui().enotes, read(".not"));
    FileListsPage::setLines(*notes_->ui().ecomment, read(".cmt"));
}

QString PresetEditor::presetName() const {
    return newPreset_ ? general_->ui().epresetname->text() : name_;
}

backup::tarcopt PresetEditor::shownPreset() const {
    backup::tarcopt preset = loaded_;
    readPresetFields(*this, preset);
    return preset;
}

void PresetEditor::showPreset(const backup::tarcopt& preset) {
    loaded_ = preset;
    backup::tarcopt shown = preset;
    if (shown.vol == QLatin1String("Auto"))
        shown.vol = text(u"autowordtranslated");
    else if (shown.vol == QLatin1String("None"))
        shown.vol = text(u"nonewordtranslated");
    fillDictionaryChoices(shown.ra5);
    showPresetFields(*this, shown);
    const Ui::ActionsPage& actions = actions_->ui();
    Ui::PresetGeneralPage& general = general_->ui();
    general.cfoldertask->setChecked(actions.cfoldertask2->isChecked());
    general.cftptask->setChecked(actions.cftptask2->isChecked());
    general.cmailtask->setChecked(actions.cmailtask2->isChecked());
    general.cdisctask->setChecked(actions.cdisctask2->isChecked());
    updatePriorityLabel();
    applyControlStates();
}

void PresetEditor::fillDictionaryChoices(bool rar5) {
    QComboBox& list = *general_->ui().edictionary;
    const QSignalBlocker quiet(list);
    const int chosen = list.currentIndex();
    list.clear();
    list.addItems(dictionaryChoices(rar5, text(u"autowordtranslated")));
    list.setCurrentIndex(qMax(0, chosen));
}

void PresetEditor::applyRule(void (*rule)(backup::tarcopt&)) {
    if (applyingRule_)
        return;
    applyingRule_ = true;
    backup::tarcopt preset = shownPreset();
    rule(preset);
    showPreset(preset);
    applyingRule_ = false;
}

void PresetEditor::applyControlStates() {
    const EditorControlStates states = controlStates(shownPreset());
    Ui::PresetGeneralPage& general = general_->ui();
    Ui::ActionsPage& actions = actions_->ui();
    general.crar5->setEnabled(states.rar5);
    general.crecovery->setEnabled(states.recoveryRecord);
    general.erecoverysize->setEnabled(states.recoveryRecord);
    general.edictionary->setEnabled(states.dictionary);
    actions.edirectraringmode->setEnabled(states.directMode);
    for (QCheckBox* box :
         {general.cftptask, actions.cftptask2, general.cmailtask, actions.cmailtask2})
        box->setEnabled(states.deliveryTasks);
    for (QCheckBox* box : {general.cdisctask, actions.cdisctask2})
        box->setEnabled(states.deliveryTasks && discAvailable_);
    actions.coverwrite->setEnabled(states.overwrite);
    actions.emask->setEnabled(states.emptyMask);
    general.epriority->setEnabled(states.priority);
    general.esleep->setEnabled(states.priority);
    actions.cemptyfolder->setText(text(states.emptyCaptionKey));
}

void PresetEditor::updatePriorityLabel() {
    general_->ui().lpriority->setText(text(priorityLabelKey(general_->ui().epriority->value())));
}

void PresetEditor::archiveNameLeft() {
    QLineEdit& mask = *actions_->ui().emask;
    if (mask.text().isEmpty())
        mask.setText(maskForArchiveName(general_->ui().earchivename->text()));
}

void PresetEditor::changePassword() {
    QLineEdit& field = *general_->ui().epassword;
    QString password = field.text();
    if (!s_.prompts.askText(text(u"enternewpass"), QString(), password, true))
        return;
    field.setText(password);
    general_->ui().cencrypt->setChecked(!password.isEmpty());
}

void PresetEditor::encryptionBoxClicked(bool ticked) {
    if (!ticked || !general_->ui().epassword->text().isEmpty())
        return;
    changePassword();
    if (general_->ui().epassword->text().isEmpty())
        general_->ui().cencrypt->setChecked(false);
}

void PresetEditor::deleteBoxClicked(bool ticked) {
    if (ticked && !s_.prompts.askYesNo(kNewline + text(u"deleteafterwarning")))
        general_->ui().cdelete->setChecked(false);
}

void PresetEditor::ignoreConfigBoxClicked(bool ticked) {
    if (!ticked && !s_.prompts.askYesNo(kNewline + text(u"reallyallowdefaults")))
        general_->ui().cignoreconfig->setChecked(true);
}

bool PresetEditor::eventFilter(QObject* watched, QEvent* event) {
    if (watched == general_->ui().epassword && event->type() == QEvent::MouseButtonRelease &&
        general_->ui().epassword->isEnabled()) {
        changePassword();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void PresetEditor::showTab(EditorTab tab) {
    ui_->pages->setCurrentIndex(static_cast<int>(tab));
    // The keyboard starts in the field the tab is opened for.
    QWidget* field = general_->ui().earchivename;
    if (tab == EditorTab::General && newPreset_)
        field = general_->ui().epresetname;
    else if (tab == EditorTab::FileLists)
        field = fileLists_->ui().eincludelist;
    else if (tab != EditorTab::General)
        field = ui_->pages->currentWidget();
    field->setFocus();
}

EditorTab PresetEditor::currentTab() const {
    return static_cast<EditorTab>(ui_->pages->currentIndex());
}

void PresetEditor::showHelp() {
    if (s_.showHelp)
        s_.showHelp(helpTopicForTab(currentTab()));
}

QStringList PresetEditor::includeLines() const {
    return textLines(*fileLists_->ui().eincludelist);
}

QStringList PresetEditor::excludeLines() const {
    return textLines(*fileLists_->ui().eexcludelist);
}

void PresetEditor::setIncludeLines(const QStringList& lines) {
    FileListsPage::setLines(*fileLists_->ui().eincludelist, lines);
}

void PresetEditor::setExcludeLines(const QStringList& lines) {
    FileListsPage::setLines(*fileLists_->ui().eexcludelist, lines);
}

bool PresetEditor::confirmNameForNewPreset(QString& name) {
    name = presetName();
    QStringList taken = s_.presetNames ? s_.presetNames() : QStringList();
    // Files of a preset that is not complete would be overwritten too.
    for (const QFileInfo& file :
         QDir(s_.folders.presets).entryInfoList({QStringLiteral("*.pst")}, QDir::Files))
        taken << file.completeBaseName();
    const QString refusal = newPresetNameRefusal(name, taken);
    if (refusal.isEmpty())
        return true;
    s_.prompts.showError(kNewline + text(refusal));
    return false;
}

bool PresetEditor::confirm() {
    backup::tarcopt preset = shownPreset();
    const QString name = presetName();
    const QStringList include = includeLines();
    const OkCheckResult checked = checkBeforeSave({name, preset, include, discAvailable_});
    if (checked.clearDiscTask) {
        preset.cdw = false;
        actions_->ui().cdisctask2->setChecked(false);
    }
    if (!checked.failedKey.isEmpty()) {
        s_.prompts.showError(kNewline + text(checked.failedKey));
        return false;
    }
    QString newName;
    // A name accepted for the text editor already passed these checks: its list files
    // are the preset's own.
    if (newPreset_ && !general_->ui().epresetname->isReadOnly() &&
        !confirmNameForNewPreset(newName))
        return false;
    if (preset.pwd.isEmpty()) {
        preset.pas = false;
        general_->ui().cencrypt->setChecked(false);
    }
    // A failed save keeps the window open with everything entered; the store has said
    // why.
    if (!s_.store.SavePreset(name, preset, include, excludeLines(), textLines(*notes_->ui().enotes),
                             textLines(*notes_->ui().ecomment)))
        return false;
    if (newPreset_) {
        s_.prompts.showMessage(kNewline + text(u"presetwasadded"));
        if (s_.presetListChanged)
            s_.presetListChanged();
    }
    accept();
    return true;
}

void PresetEditor::saveAsDefault() {
    if (s_.prompts.askYesNo(kNewline + text(u"saveasdefault")))
        s_.store.SavePresetDefaults(shownPreset());
}

void PresetEditor::loadDefaults() {
    if (!QFile::exists(s_.store.defaultsFilePath())) {
        s_.prompts.showMessage(kNewline + text(u"firstsavethenrestore"));
        return;
    }
    if (!s_.prompts.askYesNo(kNewline + text(u"replacesettingsdef")))
        return;
    backup::tarcopt defaults;
    if (s_.store.LoadPreset(QString::fromLatin1(backup::kDefaultsPresetName), defaults))
        showPreset(defaults);
}

void PresetEditor::editListInTextEditor(QPlainTextEdit& list, const QString& extension) {
    QLineEdit& nameField = *general_->ui().epresetname;
    const QString name = presetName();
    if (newPreset_ && !nameField.isReadOnly()) {
        if (name.isEmpty()) {
            s_.prompts.showMessage(kNewline + text(u"firstenterpresetname"));
            return;
        }
        QString checkedName;
        if (!confirmNameForNewPreset(checkedName) ||
            !s_.prompts.askYesNo(kNewline +
                                 core::formatMessage(text(u"reqtosavefornewpreset"), {name})))
            return;
        // The list files now carry this name.
        nameField.setReadOnly(true);
    }
    const bool include = extension == QLatin1String(".inc");
    if (!s_.prompts.askYesNo(kNewline + text(include ? u"updateinclist" : u"updateexclist")))
        return;
    const QString path = s_.store.presetFilePath(name, extension);
    if (!core::writeTextLinesAtomically(path, FileListsPage::lines(list))) {
        s_.prompts.showError(kNewline + text(u"errorcannotedit") + path);
        return;
    }
    const auto [program, parameters] = textEditorCommand(path);
    QString error;
    std::unique_ptr<platform::RunningProcess> editor =
        s_.launcher.start(program, parameters, false, &error);
    if (!editor) {
        s_.prompts.showError(kNewline + text(u"errorcannotedit") + path + QStringLiteral(": ") +
                             error);
        return;
    }
    QPushButton* button = include ? fileLists_->ui().editinclude : fileLists_->ui().editexclude;
    button->setEnabled(false);
    waitingForTextEditor_ = true;
    const QPointer<PresetEditor> alive(this);
    core::waitForProgram(*editor, s_.flags);
    if (!alive)
        return;
    waitingForTextEditor_ = false;
    button->setEnabled(true);
    FileListsPage::setLines(list, core::readTextLines(path).value_or(QStringList()));
}

QString PresetEditor::imagePath() const {
    return s_.store.presetFilePath(name_, QStringLiteral(".bmp"));
}

void PresetEditor::showPresetImage() {
    QLabel& label = *notes_->ui().limage;
    const QPixmap picture = newPreset_ ? QPixmap() : PresetViewModel::loadPicture(imagePath());
    label.setPixmap(picture);
}

void PresetEditor::selectImage() {
    if (newPreset_) {
        s_.prompts.showMessage(kNewline + text(u"createpresfirst"));
        return;
    }
    QString source;
    if (!s_.prompts.askOpenFile(QString(), source))
        return;
    const QString target = imagePath();
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    const bool copied = QFile::copy(source, partial) &&
                        (!QFile::exists(target) || QFile::remove(target)) &&
                        QFile::rename(partial, target);
    if (!copied) {
        QFile::remove(partial);
        s_.prompts.showError(kNewline + text(u"errorattachimage"));
        return;
    }
    s_.prompts.showMessage(kNewline + text(u"imagewasattached"));
    showPresetImage();
    if (s_.presetListChanged)
        s_.presetListChanged();
}

void PresetEditor::removeImage() {
    if (newPreset_) {
        s_.prompts.showMessage(kNewline + text(u"createpresfirst"));
        return;
    }
    if (!QFile::exists(imagePath())) {
        s_.prompts.showMessage(kNewline + text(u"nouniqueimage"));
        return;
    }
    if (!s_.prompts.askYesNo(kNewline + text(u"setstdimage")))
        return;
    QFile::remove(imagePath());
    showPresetImage();
    if (s_.presetListChanged)
        s_.presetListChanged();
}

void PresetEditor::openFilter() {
    QString checkedName;
    if (presetName().isEmpty()) {
        s_.prompts.showMessage(kNewline + text(u"firstenterpresetname"));
        return;
    }
    if (newPreset_ && !general_->ui().epresetname->isReadOnly() &&
        !confirmNameForNewPreset(checkedName))
        return;
    backup::tarcopt preset = shownPreset();
    QStringList exclude = excludeLines();
    FilterDialog filter(
        FilterDialogServices{s_.messages, s_.prompts, s_.programFolder, s_.language},
        s_.store.presetFilePath(presetName(), QStringLiteral(".flt")), preset.efa, exclude, this);
    if (filter.exec() != QDialog::Accepted) {
        setExcludeLines(exclude);
        return;
    }
    loaded_.efa = filter.attributeSwitch();
    setExcludeLines(exclude);
}

void PresetEditor::openPicker() {
    AddFoldersForm picker(
        AddFoldersServices{s_.messages, s_.prompts, s_.programFolder, s_.language, s_.showHelp},
        fileLists_->onlyFiles(), this);
    hide();
    const bool accepted = picker.exec() == QDialog::Accepted;
    show();
    if (!accepted)
        return;
    QStringList include = includeLines() + picker.includeAdditions();
    QStringList exclude = excludeLines() + picker.excludeAdditions();
    collapseEqualNeighbours(include);
    collapseEqualNeighbours(exclude);
    setIncludeLines(include);
    setExcludeLines(exclude);
}

void PresetEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        showHelp();
        return;
    }
    QDialog::keyPressEvent(event);
}

void PresetEditor::closeEvent(QCloseEvent* event) {
    if (waitingForTextEditor_) {
        s_.prompts.showMessage(kNewline + text(u"editorstillopen"));
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void PresetEditor::reject() {
    if (waitingForTextEditor_) {
        s_.prompts.showMessage(kNewline + text(u"editorstillopen"));
        return;
    }
    QDialog::reject();
}

} // namespace stowline::ui
