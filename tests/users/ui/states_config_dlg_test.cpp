// SPDX-License-Identifier: GPL-3.0-or-later
#include "states_config_dlg.h"

#include "artwork.h"
#include "message_box_answerer.h"
#include "modal_answerer.h"
#include "qt_printers.h"
#include "settings_layout.h"
#include "settings_sandbox.h"

#include <QAbstractItemView>
#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace kovrel::test {
namespace {

enum Row
{
    Current = 0,
    OnLine = 1,
    Busy = 4,
};

QImage shown(const QIcon& picture)
{
    return picture.pixmap(QSize(kStatePictureSize, kStatePictureSize), 1.0).toImage();
}

bool showsBuiltIn(const StateImageList& pictures, int position)
{
    return shown(pictures.picture(position)) == shown(artwork::statePicture(position));
}

// The dialog over the pictures in use, run as the main window runs it, the user's steps played inside it.
class StatesConfigDlgTest : public testing::Test
{
protected:
    using Steps = std::function<void(TStatesConfigDlg&)>;

    bool runDialog(const Steps& steps)
    {
        TStatesConfigDlg dialog(pictures);
        dialogAnswerer.answerNext<TStatesConfigDlg>(steps);
        return dialog.ExecuteStatesDialog(roster);
    }

    static QTreeWidget& list(TStatesConfigDlg& dialog) { return control<QTreeWidget>(dialog, "ListView1"); }

    static void selectRow(TStatesConfigDlg& dialog, int row)
    {
        list(dialog).setCurrentItem(list(dialog).topLevelItem(row));
    }

    // Types `path` into the picture dialog that the menu item opens and accepts it.
    void choose(TStatesConfigDlg& dialog, const char* item, const QString& path)
    {
        fileAnswerer.answerNext<QFileDialog>([path](QFileDialog& files) {
            EXPECT_EQ(files.objectName(), "OpenPictureDialog1");
            control<QLineEdit>(files, "fileNameEdit").setText(path);
            static_cast<QDialog&>(files).accept(); // as its Open button does
        });
        control<QAction>(dialog, item).trigger();
    }

    static void click(TStatesConfigDlg& dialog, const char* button)
    {
        control<QPushButton>(dialog, button).click();
    }

    // The picture dialog's file list as shown, in list or in detail mode.
    static QAbstractItemView& shownFiles(const QFileDialog& files)
    {
        auto& list = control<QAbstractItemView>(files, "listView");
        return list.isVisible() ? list : control<QAbstractItemView>(files, "treeView");
    }

    // The file list's row that shows `name`; invalid until the folder has been read.
    static QModelIndex listed(const QAbstractItemView& files, const QString& name)
    {
        const QAbstractItemModel& model = *files.model();
        for (int row = 0; row < model.rowCount(files.rootIndex()); ++row) {
            const QModelIndex index = model.index(row, 0, files.rootIndex());
            if (index.data().toString() == name)
                return index;
        }
        return {};
    }

    static QString shownPath(TStatesConfigDlg& dialog, int row, int column)
    {
        return list(dialog).topLevelItem(row)->text(column);
    }

    QString writePicture(const QString& name, const QColor& color) const
    {
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(color);
        const QString path = sandbox.path(name);
        EXPECT_TRUE(image.save(path, "PNG"));
        return path;
    }

    SettingsSandbox sandbox;
    StateImageList pictures;
    QTreeView roster;
    ModalAnswerer dialogAnswerer;
    ModalAnswerer fileAnswerer;
};

TEST_F(StatesConfigDlgTest, OkStoresTheChosenFilesAndPutsThePicturesIntoUse)
{
    const QString plain = writePicture("busy.png", Qt::red);
    const QString incoming = writePicture("busy-lit.png", Qt::yellow);
    QSignalSpy changed(&pictures, &StateImageList::changed);

    const bool confirmed = runDialog([&](TStatesConfigDlg& dialog) {
        EXPECT_EQ(list(dialog).topLevelItemCount(), 5);
        EXPECT_EQ(list(dialog).topLevelItem(Busy)->text(0), "Busy");
        selectRow(dialog, Busy);
        choose(dialog, "SelectPicture1", plain);
        choose(dialog, "SelectIncommingPicture1", incoming);
        EXPECT_EQ(shownPath(dialog, Busy, 1), plain);
        EXPECT_EQ(shownPath(dialog, Busy, 2), incoming);
        EXPECT_EQ(shown(list(dialog).topLevelItem(Busy)->icon(1)).pixelColor(8, 8), QColor(Qt::red));
        EXPECT_TRUE(showsBuiltIn(pictures, 8)) << "nothing is in use before Ok";
        click(dialog, "SpeedButton5");
    });

    EXPECT_TRUE(confirmed);
    EXPECT_EQ(ReadStatePicture(u"Busy", StatePicture::Plain), plain);
    EXPECT_EQ(ReadStatePicture(u"Busy", StatePicture::Incoming), incoming);
    EXPECT_EQ(ReadStatePicture(u"OnLine", StatePicture::Plain), "");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(shown(pictures.picture(8)).pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(shown(pictures.picture(9)).pixelColor(8, 8), QColor(Qt::yellow));
    EXPECT_TRUE(showsBuiltIn(pictures, 0));
}

TEST_F(StatesConfigDlgTest, ThePictureDialogListsAnUpperCaseFilePreviewsItAndLoadsIt)
{
    // The row's stored file makes the picture dialog open in the sandbox folder.
    WriteStatePicture(u"OnLine", StatePicture::Plain, writePicture("earlier.png", Qt::red));
    const QString upper = writePicture("LAMP.PNG", Qt::green);
    runDialog([&](TStatesConfigDlg& dialog) {
        selectRow(dialog, OnLine);
        fileAnswerer.answerNext<QFileDialog>([&](QFileDialog& files) {
            EXPECT_TRUE(files.testOption(QFileDialog::DontUseNativeDialog)) << "the dialog with the preview";
            QAbstractItemView& view = shownFiles(files);
            QModelIndex lamp;
            if (!QTest::qWaitFor([&] { return (lamp = listed(view, "LAMP.PNG")).isValid(); })) {
                ADD_FAILURE() << "LAMP.PNG is not listed";
                files.reject();
                return;
            }
            QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, view.visualRect(lamp).center());
            const QPixmap preview = control<QLabel>(files, "PicturePreview").pixmap();
            EXPECT_EQ(preview.toImage().pixelColor(preview.rect().center()), QColor(Qt::green));
            control<QDialogButtonBox>(files, "buttonBox").button(QDialogButtonBox::Open)->click();
        });
        control<QAction>(dialog, "SelectPicture1").trigger();
        EXPECT_EQ(shownPath(dialog, OnLine, 1), upper);
        EXPECT_EQ(shown(list(dialog).topLevelItem(OnLine)->icon(1)).pixelColor(8, 8), QColor(Qt::green));
        click(dialog, "SpeedButton6");
    });
}

TEST_F(StatesConfigDlgTest, CancelStoresNothingAndChangesNoPicture)
{
    const QString path = writePicture("online.png", Qt::green);
    QSignalSpy changed(&pictures, &StateImageList::changed);
    const bool confirmed = runDialog([&](TStatesConfigDlg& dialog) {
        selectRow(dialog, OnLine);
        choose(dialog, "SelectPicture1", path);
        EXPECT_EQ(shownPath(dialog, OnLine, 1), path);
        click(dialog, "SpeedButton6");
    });
    EXPECT_FALSE(confirmed);
    EXPECT_EQ(ReadStatePicture(u"OnLine", StatePicture::Plain), "");
    EXPECT_EQ(changed.count(), 0);
    EXPECT_TRUE(showsBuiltIn(pictures, 0));

    // The next opening shows what is stored, not what was chosen and cancelled.
    runDialog([&](TStatesConfigDlg& dialog) {
        EXPECT_EQ(shownPath(dialog, OnLine, 1), "");
        EXPECT_EQ(shown(list(dialog).topLevelItem(OnLine)->icon(1)), shown(artwork::statePicture(0)));
        click(dialog, "SpeedButton6");
    });
}

TEST_F(StatesConfigDlgTest, ResetReturnsARowToTheBuiltInPicturesOnlyWhenConfirmed)
{
    WriteStatePicture(u"Current", StatePicture::Plain, writePicture("own.png", Qt::red));
    WriteStatePicture(u"Current", StatePicture::Incoming, writePicture("own-lit.png", Qt::yellow));
    WriteStatePicture(u"Busy", StatePicture::Plain, writePicture("busy.png", Qt::blue));
    ASSERT_TRUE(ApplyStoredPictures(pictures).isEmpty());
    const auto resetCurrent = [&](const char* button) {
        return runDialog([&](TStatesConfigDlg& dialog) {
            selectRow(dialog, Current);
            control<QAction>(dialog, "ResetDefault1").trigger();
            EXPECT_EQ(shownPath(dialog, Current, 1), "");
            EXPECT_EQ(shownPath(dialog, Current, 2), "");
            EXPECT_EQ(shown(list(dialog).topLevelItem(Current)->icon(1)), shown(artwork::statePicture(2)));
            click(dialog, button);
        });
    };

    EXPECT_FALSE(resetCurrent("SpeedButton6"));
    EXPECT_EQ(ReadStatePicture(u"Current", StatePicture::Plain), sandbox.path("own.png"));
    EXPECT_EQ(shown(pictures.picture(2)).pixelColor(8, 8), QColor(Qt::red));

    EXPECT_TRUE(resetCurrent("SpeedButton5"));
    EXPECT_EQ(ReadStatePicture(u"Current", StatePicture::Plain), "");
    EXPECT_EQ(ReadStatePicture(u"Current", StatePicture::Incoming), "");
    EXPECT_TRUE(showsBuiltIn(pictures, 2));
    EXPECT_TRUE(showsBuiltIn(pictures, 3));
    EXPECT_EQ(ReadStatePicture(u"Busy", StatePicture::Plain), sandbox.path("busy.png")) << "other rows stay";
    EXPECT_EQ(shown(pictures.picture(8)).pixelColor(8, 8), QColor(Qt::blue));
}

TEST_F(StatesConfigDlgTest, AFileThatIsNoPictureIsToldAndTheRowKeepsItsPicture)
{
    const QString good = writePicture("away.png", Qt::red);
    QFile broken(sandbox.path("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("no PNG inside");
    broken.close();
    MessageBoxAnswerer boxes;
    runDialog([&](TStatesConfigDlg& dialog) {
        selectRow(dialog, 3);
        choose(dialog, "SelectPicture1", good);
        choose(dialog, "SelectPicture1", broken.fileName());
        EXPECT_EQ(shownPath(dialog, 3, 1), good);
        EXPECT_EQ(shown(list(dialog).topLevelItem(3)->icon(1)).pixelColor(8, 8), QColor(Qt::red));
        click(dialog, "SpeedButton5");
    });
    ASSERT_EQ(boxes.texts.size(), 1);
    EXPECT_TRUE(boxes.texts.front().startsWith("Kovrel: Картинка не загружена:\n" + broken.fileName()))
        << boxes.texts.front().toStdString();
    EXPECT_EQ(ReadStatePicture(u"Away", StatePicture::Plain), good);
}

TEST_F(StatesConfigDlgTest, TheMenuDoesNothingWithoutASelectedRow)
{
    runDialog([&](TStatesConfigDlg& dialog) {
        list(dialog).clearSelection();
        control<QAction>(dialog, "SelectPicture1").trigger();
        control<QAction>(dialog, "ResetDefault1").trigger();
        EXPECT_EQ(QApplication::activeModalWidget(), &dialog) << "no picture dialog opened";
        click(dialog, "SpeedButton5");
    });
    for (const QStringView row : kStatePictureRows) {
        EXPECT_EQ(ReadStatePicture(row, StatePicture::Plain), "");
    }
}

} // namespace
} // namespace kovrel::test
