#include "ui/skins/SkinApplier.h"

#include <QApplication>
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
