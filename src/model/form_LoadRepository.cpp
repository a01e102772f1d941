#include "model/form_LoadRepository.h"

#include "platform/ui/MessageBox.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

TFormLoadRepository* FormLoadRepository = nullptr;

namespace {

const QString kImportMark = QStringLiteral("Import");

} // namespace

void CopyBin(cBin& destination, const cBin& source)
{
    destination.title = source.title;
    destination.filename = source.filename;
    destination.SourceMissing = source.SourceMissing;
    destination.Items.Clear();
    for (const auto& item : source.Items)
        *destination.Items.Add() = *item;
}

TFormLoadRepository::TFormLoadRepository(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Load Repository");
    setFixedSize(511, 229);
    Label1 = new QLabel("The project contains following repositories, select which you want to  import to "
                        "current project.",
                        this);
    Label1->setWordWrap(true);
    Label1->setGeometry(8, 8, 495, 32);
    Grid = new QTableWidget(0, 2, this);
    Grid->setGeometry(8, 44, 495, 140);
    Grid->horizontalHeader()->hide();
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setDefaultSectionSize(20);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The title column ends where the view ends. A column wider than the view would be scrolled
    // into sight when its cell becomes current (shortly after a click), leaving only its empty
    // right end visible with no scroll bar to come back, also at the next opening.
    Grid->horizontalHeader()->setStretchLastSection(true);
    Grid->setFont(QFont("Tahoma", 8));
    OKBtn = new QPushButton("OK", this);
    OKBtn->setGeometry(344, 194, 75, 25);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton("Cancel", this);
    CancelBtn->setGeometry(428, 194, 75, 25);
    connect(Grid, &QTableWidget::cellClicked, this, [this] { GridClick(); });
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        OKBtnClick();
        accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormLoadRepository::LoadProject(const std::string& path)
{
    // A file that is not there must not list (or import) the bins of the project read before.
    Repository.FileName.clear();
    Repository.LoadFromFile(path);
    if (Repository.FileName.empty())
        return;
    Grid->setColumnWidth(0, 64); // the title column takes the rest; a longer title ends in "..."
    if (Repository.Bins.Count() == 0) {
        ui::ShowMessage("No repositories found in the project.");
        return;
    }
    Grid->setRowCount(Repository.Bins.Count());
    for (int i = 0; i < Repository.Bins.Count(); ++i) {
        Grid->setItem(i, 0, new QTableWidgetItem(kImportMark));
        Grid->setItem(i, 1, new QTableWidgetItem(QString::fromStdString(Repository.Bins.At(i)->title)));
    }
    exec();
}

void TFormLoadRepository::GridClick()
{
    QTableWidgetItem* mark = Grid->item(Grid->currentRow(), 0);
    if (mark)
        mark->setText(mark->text() == kImportMark ? QString() : kImportMark);
}

void TFormLoadRepository::OKBtnClick()
{
    for (int i = 0; i < Grid->rowCount(); ++i) {
        const QTableWidgetItem* mark = Grid->item(i, 0);
        const cBin* source = Repository.Bins.Get(i);
        if (mark && mark->text() == kImportMark && source)
            CopyBin(*snl.Bins.Add(), *source);
    }
    if (snl.OnChange)
        snl.OnChange(nullptr);
}
