#include "ui/skins/SkinApplier.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QTemporaryDir>
#include <QTreeView>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "QtPrinters.h"

namespace stowline::ui {
namespace {

// A window shaped like the main window's lists with room around them for the picture,
// and a 10x10 red picture in a program folder.
class SkinApplierTest : public ::testing::Test {
protected:
    SkinApplierTest() : applier(dir.path()) {
        QImage picture(10, 10, QImage::Format_RGB32);
        picture.fill(Qt::red);
        picture.save(dir.filePath(QStringLiteral("red.png")));
        window.resize(200, 200);
        list = new QTreeView(&window);
        list->setObjectName(QStringLiteral("list"));
        list->setGeometry(0, 0, 40, 40);
        field = new QLineEdit(&window);
        field->setGeometry(0, 160, 40, 20);
        window.show();
    }

    QColor pixel(int x, int y) { return window.grab().toImage().pixelColor(x, y); }

    QTemporaryDir dir;
    SkinApplier applier;
    QWidget window;
    QTreeView* list;
    QLineEdit* field;
};

TEST_F(SkinApplierTest, MainWindowPictureCentredOrTiled) {
    core::tskin skin;
    skin.MW_Image = QStringLiteral("red.png"); // below the program folder
    skin.MW_Type = 1;
    applier.attach(window, SkinnedWindow::Main);
    applier.setSkin(skin, true);
    EXPECT_EQ(pixel(100, 100), QColor(Qt::red));
    EXPECT_EQ(pixel(150, 100), window.palette().color(QPalette::Window));

    skin.MW_Type = 2;
    applier.setSkin(skin, true);
    EXPECT_EQ(pixel(150, 100), QColor(Qt::red));
    EXPECT_EQ(pixel(100, 100), QColor(Qt::red));

    // Skins off: the normal look.
    applier.setSkin(skin, false);
    EXPECT_EQ(pixel(100, 100), window.palette().color(QPalette::Window));
}

TEST_F(SkinApplierTest, MissingPictureDrawsNothingAndKeepsTheStyle) {
    core::tskin skin;
    skin.MW_Image = dir.filePath(QStringLiteral("gone.png"));
    skin.MW_Type = 2;
    applier.attach(window, SkinnedWindow::Main);
    applier.setSkin(skin, true);
    EXPECT_EQ(pixel(100, 100), window.palette().color(QPalette::Window));
    EXPECT_EQ(applier.skin().MW_Type, 2);
}

TEST_F(SkinApplierTest, ListAndFieldColoursFollowTheSkinAndGoBackWhenOff) {
    core::tskin skin;
    skin.MW_TableBackground = QStringLiteral("#0000ff");
    skin.MW_TableColor = QStringLiteral("ffff00");
    skin.LW_FileListBackground = QStringLiteral("00ff00");
    skin.LW_FileListColor = QStringLiteral("not ok"); // no colour: the normal text colour
    const QColor normalBase = list->palette().color(QPalette::Base);
    const QColor normalText = field->palette().color(QPalette::Text);

    applier.attach(window, SkinnedWindow::Main);
    applier.setSkin(skin, true);
    EXPECT_EQ(pixel(20, 20), QColor(Qt::blue));
    EXPECT_EQ(list->palette().color(QPalette::Text), QColor(Qt::yellow));
    // The main window's fields are not the dialogs' fields.
    EXPECT_EQ(field->palette().color(QPalette::Base), normalBase);

    QWidget dialog;
    auto* edit = new QLineEdit(&dialog);
    applier.attach(dialog, SkinnedWindow::Dialog);
    EXPECT_EQ(edit->palette().color(QPalette::Base), QColor(Qt::green));
    EXPECT_EQ(edit->palette().color(QPalette::Text), normalText);

    applier.setSkin(skin, false);
    EXPECT_EQ(pixel(20, 20), normalBase);
    EXPECT_EQ(edit->palette().color(QPalette::Base), normalBase);
}

} // namespace
} // namespace stowline::ui

namespace stowline::ui {
namespace {

// The skins shipped in the program folder name pictures that are there and colours that
// are colours.
TEST(ShippedSkins, PicturesAndColoursResolve) {
    const QString programFolder = QStringLiteral(STOWLINE_BUILT_PROGRAM_DIR);
    const QStringList files = QDir(programFolder + QStringLiteral("/skins"))
                                  .entryList({QStringLiteral("*.ocs")}, QDir::Files);
    EXPECT_EQ(files.size(), 3);
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        const core::tskin skin = core::LoadSkin(programFolder + QStringLiteral("/skins/") + name);
        for (const QString& picture : {skin.MW_Image, skin.SW_Image, skin.PW_Image})
            EXPECT_FALSE(QImage(core::resolveSkinImagePath(picture, programFolder)).isNull())
                << picture.toStdString();
        for (const core::SkinField& field : core::skinFields()) {
            if (field.text && !QByteArray(field.key).endsWith("_Image")) {
                EXPECT_TRUE(skinQColor(skin.*field.text).has_value()) << field.key;
            }
        }
    }
}

} // namespace
} // namespace stowline::ui
