#include "model/class_Application.h"

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

} // namespace
