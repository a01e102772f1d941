#include "windows/class_ProjectFileDialog.h"

#include <QApplication>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Answers the dialog that Execute opens: checks its filter, types a name and accepts.
void AnswerDialogWith(const QString& path, QStringList* filters)
{
    QTimer::singleShot(0, [path, filters] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        *filters = dialog->nameFilters();
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept(); // runs the file dialog's own accept
    });
}

TEST(ProjectFileDialog, SaveDialogOffersProjectsAndAddsTheExtension)
{
    QTemporaryDir dir;
    cProjectFileDialog dialog(cProjectFileDialog::Mode::Save);
    QStringList filters;
    AnswerDialogWith(dir.filePath("my mix"), &filters);
    ASSERT_TRUE(dialog.Execute());
    EXPECT_EQ(filters, QStringList{"Sonorel Mix (*.snmx)"});
    EXPECT_EQ(dialog.FileName, dir.filePath("my mix.snmx").toStdString());
}

TEST(ProjectFileDialog, CancelKeepsTheFileName)
{
    cProjectFileDialog dialog;
    dialog.FileName = "/projects/old.snmx";
    QTimer::singleShot(0, [] {
        if (QWidget* modal = QApplication::activeModalWidget())
            qobject_cast<QDialog*>(modal)->reject();
    });
    EXPECT_FALSE(dialog.Execute());
    EXPECT_EQ(dialog.FileName, "/projects/old.snmx");
}

// The initial folder holds a name without a folder of its own; a path names its own folder.
TEST(ProjectFileDialog, OpensInTheInitialFolderUnlessTheNameHasItsOwn)
{
    QTemporaryDir initial;
    QTemporaryDir own;
    const struct {
        std::string fileName;
        QString folder;
        QString name;
    } cases[] = {
        {"", initial.path(), ""},
        {"mix.snmx", initial.path(), "mix.snmx"},
        {own.filePath("loaded.snmx").toStdString(), own.path(), "loaded.snmx"},
    };
    for (const auto& c : cases) {
        cProjectFileDialog dialog(cProjectFileDialog::Mode::Save);
        dialog.FileName = c.fileName;
        dialog.InitialDir = initial.path().toStdString();
        QString folder;
        QStringList names;
        QTimer::singleShot(0, [&folder, &names] {
            auto* shown = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(shown, nullptr);
            folder = shown->directory().absolutePath();
            names = shown->selectedFiles();
            shown->reject();
        });
        EXPECT_FALSE(dialog.Execute());
        EXPECT_EQ(folder.toStdString(), c.folder.toStdString()) << c.fileName;
        if (!c.name.isEmpty()) {
            EXPECT_EQ(names.join("|").toStdString(), (c.folder + "/" + c.name).toStdString()) << c.fileName;
        }
    }
}

} // namespace
