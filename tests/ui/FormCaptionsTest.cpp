#include "ui/FormCaptions.h"
#include "core/LanguageFile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace stowline::ui {
namespace {

template <typename Widget> Widget* add(QWidget* parent, const char* name) {
    auto* widget = new Widget(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if (parent->layout())
        parent->layout()->addWidget(widget);
    return widget;
}

QIcon someIcon() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::red);
    return QIcon(pixmap);
}

// A settings-like window with one control of each kind the captions reach.
struct TestWindow {
    TestWindow() {
        window.setWindowTitle(QStringLiteral("Settings"));
        new QVBoxLayout(&window);
        label = add<QLabel>(&window, "tempLabel");
        label->setText(QStringLiteral("Temp folder:"));
        ok = add<QPushButton>(&window, "okButton");
        ok->setText(QStringLiteral("OK"));
        sound = add<QCheckBox>(&window, "soundCheck");
        sound->setText(QStringLiteral("Play a sound"));
        edit = add<QLineEdit>(&window, "portEdit");
        edit->setText(QStringLiteral("80"));
        tabs = add<QTabWidget>(&window, "pages");
        tabs->addTab(add<QWidget>(tabs, "generalPage"), QStringLiteral("General"));
        tabs->addTab(add<QWidget>(tabs, "mailPage"), QStringLiteral("Mail"));
        tabs->widget(0)->setLayout(new QVBoxLayout);
        remote = add<QGroupBox>(tabs->widget(0), "remoteGroup");
        remote->setTitle(QStringLiteral("Remote access"));
        find = add<QToolButton>(tabs->widget(0), "findwinrarexe");
        find->setIcon(someIcon());
        find->setText(QStringLiteral("..."));
        find->setToolButtonStyle(Qt::ToolButtonIconOnly);
        for (const char* name : {"image1Button", "image2Button", "image3Button"}) {
            auto* button = add<QPushButton>(&window, name);
            button->setIcon(someIcon());
            imageButtons << button;
        }
        startup = add<QComboBox>(&window, "startupCombo");
        startup->addItems({QStringLiteral("Not started"), QStringLiteral("Hidden, exit"),
                           QStringLiteral("Hidden"), QStringLiteral("Service")});
        swlbin = add<QGroupBox>(&window, "swlbinGroup");
        swlbin->setTitle(QStringLiteral("SWL-BIN window"));
        new QVBoxLayout(swlbin);
        for (const char* text : {"Hidden", "Keeper", "Recycle"})
            add<QRadioButton>(swlbin, "")->setText(QString::fromLatin1(text));
        menu = new QMenu(&window);
        menu->setObjectName(QStringLiteral("fileMenu"));
        menu->setTitle(QStringLiteral("File"));
        run = menu->addAction(QStringLiteral("Run"));
        run->setObjectName(QStringLiteral("runAction"));
        dialog = new QDialog(&window);
        dialogLabel = add<QLabel>(dialog, "tempLabel");
        dialogLabel->setText(QStringLiteral("Dialog label"));
    }

    QWidget window;
    QLabel* label;
    QPushButton* ok;
    QCheckBox* sound;
    QLineEdit* edit;
    QTabWidget* tabs;
    QGroupBox* remote;
    QToolButton* find;
    QList<QWidget*> imageButtons;
    QComboBox* startup;
    QGroupBox* swlbin;
    QMenu* menu;
    QAction* run;
    QDialog* dialog;
    QLabel* dialogLabel;
};

core::LanguageSection forms(const QStringList& lines) {
    return core::LanguageFile::parse(QStringList{QStringLiteral("[FORMS]")} + lines)
        .section(u"FORMS");
}

QStringList radioTexts(QGroupBox* group) {
    QStringList texts;
    for (QRadioButton* button : group->findChildren<QRadioButton*>())
        texts << button->text();
    return texts;
}

QStringList comboTexts(QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

TEST(FormCaptions, WindowNamePlusObjectNameSetsTheCaptionOfEachKind) {
    TestWindow w;
    ApplyFormCaptions(w.window, QStringLiteral("Form4"),
                      forms({
                          QStringLiteral("Form4=Einstellungen"),
                          QStringLiteral("Form4tempLabel=Temp-Ordner:"),
                          QStringLiteral("form4SOUNDCHECK=\"  Ton abspielen  \""),
                          QStringLiteral("Form4portEdit=8080"),
                          QStringLiteral("Form4generalPage=Allgemein"),
                          QStringLiteral("Form4remoteGroup=Fernzugriff"),
                          QStringLiteral("Form4findwinrarexe=WinRAR suchen"),
                          QStringLiteral("Form4fileMenu=Datei"),
                          QStringLiteral("Form4runAction=Starten"),
                          QStringLiteral("Form5okButton=not this window"),
                      }));
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(w.label->text(), QStringLiteral("Temp-Ordner:"));
    EXPECT_EQ(w.sound->text(), QStringLiteral("  Ton abspielen  "));
    EXPECT_EQ(w.edit->text(), QStringLiteral("8080"));
    EXPECT_EQ(w.tabs->tabText(0), QStringLiteral("Allgemein"));
    EXPECT_EQ(w.tabs->tabText(1), QStringLiteral("Mail")); // no key
    EXPECT_EQ(w.remote->title(), QStringLiteral("Fernzugriff"));
    EXPECT_EQ(w.find->toolTip(), QStringLiteral("WinRAR suchen")); // icon only: the hint
    EXPECT_EQ(w.find->text(), QStringLiteral("..."));
    EXPECT_EQ(w.menu->title(), QStringLiteral("Datei"));
    EXPECT_EQ(w.run->text(), QStringLiteral("Starten"));
    EXPECT_EQ(w.ok->text(), QStringLiteral("OK"));
    EXPECT_EQ(w.dialogLabel->text(), QStringLiteral("Dialog label")); // another window
}

TEST(FormCaptions, NamedKeysSetSharedHintsAndListEntriesByPosition) {
    TestWindow w;
    NamedCaptionKeys named;
    named.hints << HintCaptionKey{QStringLiteral("Form4selectbmpimage"), w.imageButtons};
    named.lists << ListCaptionKeys{QStringLiteral("Form4startup"), w.startup}
                << ListCaptionKeys{QStringLiteral("Form4swlbintask"), w.swlbin};
    ApplyFormCaptions(w.window, QStringLiteral("Form4"),
                      forms({
                          QStringLiteral("Form4selectbmpimage=Bild waehlen"),
                          QStringLiteral("Form4startup1=Nicht gestartet"),
                          QStringLiteral("Form4startup2=Versteckt, beenden"),
                          QStringLiteral("Form4startup4=Dienst"),
                          QStringLiteral("Form4startup5=no fifth entry"),
                          QStringLiteral("Form4swlbinGroup=SWL-BIN-Fenster"),
                          QStringLiteral("Form4swlbintask1=Versteckt"),
                          QStringLiteral("Form4swlbintask3=Papierkorb"),
                      }),
                      named);
    for (QWidget* button : w.imageButtons)
        EXPECT_EQ(button->toolTip(), QStringLiteral("Bild waehlen"));
    EXPECT_EQ(comboTexts(w.startup),
              (QStringList{QStringLiteral("Nicht gestartet"), QStringLiteral("Versteckt, beenden"),
                           QStringLiteral("Hidden"), QStringLiteral("Dienst")}));
    EXPECT_EQ(w.swlbin->title(), QStringLiteral("SWL-BIN-Fenster"));
    EXPECT_EQ(radioTexts(w.swlbin),
              (QStringList{QStringLiteral("Versteckt"), QStringLiteral("Keeper"),
                           QStringLiteral("Papierkorb")}));
}

TEST(FormCaptions, ListKeysNameTheColumnHeadingsOfItemViews) {
    QWidget window;
    auto* tree = add<QTreeWidget>(&window, "presetList");
    tree->setHeaderLabels(
        {QStringLiteral("Preset"), QStringLiteral("Last run"), QStringLiteral("Next run")});
    auto* table = add<QTableView>(&window, "restoreList");
    auto* model = new QStandardItemModel(0, 2, table);
    model->setHorizontalHeaderLabels({QStringLiteral("File"), QStringLiteral("Date")});
    table->setModel(model);
    auto* list = add<QListWidget>(&window, "pathList");
    list->addItems({QStringLiteral("Add"), QStringLiteral("Remove")});

    NamedCaptionKeys named;
    named.lists << ListCaptionKeys{QStringLiteral("Form1ListColumn"), tree}
                << ListCaptionKeys{QStringLiteral("restoreformcolumn"), table}
                << ListCaptionKeys{QStringLiteral("addfoldersformlist"), list};
    ApplyFormCaptions(window, QStringLiteral("Form1"),
                      forms({
                          QStringLiteral("Form1ListColumn1=Vorgabe"),
                          QStringLiteral("Form1ListColumn3=Naechster Lauf"),
                          QStringLiteral("restoreformcolumn2=Datum"),
                          QStringLiteral("addfoldersformlist2=Entfernen"),
                      }),
                      named);
    EXPECT_EQ(tree->headerItem()->text(0), QStringLiteral("Vorgabe"));
    EXPECT_EQ(tree->headerItem()->text(1), QStringLiteral("Last run"));
    EXPECT_EQ(tree->headerItem()->text(2), QStringLiteral("Naechster Lauf"));
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("File"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Datum"));
    EXPECT_EQ(list->item(0)->text(), QStringLiteral("Add"));
    EXPECT_EQ(list->item(1)->text(), QStringLiteral("Entfernen"));
}

class ChangeLangTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(programDir.isValid()); }
    void writeLanguage(const QString& name) {
        QFile file(programDir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[FORMS]\r\nForm4=Einstellungen\r\nForm4tempLabel=\" Temp: \"\r\n");
    }
    QTemporaryDir programDir;
    TestWindow w;
};

TEST_F(ChangeLangTest, ReadsTheNamedFileFromTheProgramFolder) {
    writeLanguage(QStringLiteral("Deutsch.lng"));
    ChangeLang(w.window, QStringLiteral("Form4"), programDir.path(), QStringLiteral("Deutsch.lng"));
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Einstellungen"));
    EXPECT_EQ(w.label->text(), QStringLiteral(" Temp: "));
}

TEST_F(ChangeLangTest, TheBuiltInNameAndMissingFilesChangeNothing) {
    writeLanguage(QStringLiteral("English (default).lng"));
    for (const char* name : {"English (default).lng", "Deleted.lng"}) {
        ChangeLang(w.window, QStringLiteral("Form4"), programDir.path(), QString::fromUtf8(name));
        EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Settings")) << name;
        EXPECT_EQ(w.label->text(), QStringLiteral("Temp folder:")) << name;
    }
}

} // namespace
} // namespace stowline::ui
