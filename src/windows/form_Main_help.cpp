// The main window's help panel: topics from help.txt, context help as the pointer moves.
#include "windows/form_Main.h"

#include "GraphControls/class_SkinPicture.h"
#include "model/class_Folders.h"
#include "model/class_Settings.h"
#include "platform/ui/MessageBox.h"
#include "platform/ui/WindowHelpers.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBrowser>
#include <QUrl>

#include <stdexcept>

namespace {

constexpr int kMaxHelpAddress = 1024;

QString WithAppDir(QString topic)
{
    return topic.replace("<APPDIR>", QString::fromStdString(ExecutableFolder()));
}

} // namespace

void TFormMain::WatchHelp(QWidget* control, int helpContext)
{
    SetHelpContext(control, helpContext);
    control->setMouseTracking(true);
    control->installEventFilter(this);
    // Scrolling lists get their mouse moves on the viewport.
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) {
        SetHelpContext(area->viewport(), helpContext);
        area->viewport()->setMouseTracking(true);
        area->viewport()->installEventFilter(this);
    }
}

void TFormMain::WatchHelpOfControls()
{
    for (QWidget* control : findChildren<QWidget*>())
        if (HasHelpContext(control))
            WatchHelp(control, HelpContext(control));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove && watched->isWidgetType())
        HelpMouseMove(static_cast<QWidget*>(watched));
    return QWidget::eventFilter(watched, event);
}

// Each line is one topic; whatever follows a line's first "#" is a remark for the writers of the
// file. A missing file leaves no topics, and every control then shows an empty topic.
void TFormMain::LoadHelpTopics()
{
    HelpTopics.clear();
    QFile file(QString::fromStdString(ExecutableFolder() + "/help.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
    for (QString line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype hash = line.indexOf('#');
        HelpTopics.append(ShowNotBuiltMarks(hash < 0 ? line : line.left(hash)));
    }
    if (!lines.isEmpty() && lines.back().isEmpty())
        HelpTopics.removeLast(); // the line end of the last line starts no topic
}

void TFormMain::HelpMouseMove(QWidget* sender)
{
    const int index = std::max(HelpContext(sender) - 1, 0);
    // A line the file does not have reads as an empty topic.
    QString topic = HelpTopics.value(index);
    if (IsNotBuilt(*this, sender))
        topic = NotBuiltText(topic);
    if (topic == LastHelpTopic)
        return;
    LastHelpTopic = topic;
    const QString path = WithAppDir(topic);
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        sender->setToolTip(QString());
        HelpHTML->raise();
        HelpHTML->show();
        if (path == LastHelpPage)
            return;
        LastHelpPage = path;
        HelpHTML->setSource(QUrl::fromLocalFile(path.left(kMaxHelpAddress)));
        return;
    }
    Help->raise();
    Help->setPlainText(path);
    HelpHTML->hide();
    sender->setToolTip(Help->toPlainText());
}

void TFormMain::HelpButtonClick()
{
    const int pagesWidth = PagesSize().width();
    if (HelpPanel->isVisible()) {
        HelpPanel->hide();
        resize(pagesWidth, height());
        WriteSettingString(ShowHelp, "0");
    } else {
        HelpPanel->resize(HelpPanelWidth, HelpPanel->height());
        HelpPanel->show();
        resize(pagesWidth + HelpPanel->width(), height());
        WriteSettingString(ShowHelp, "1");
    }
    HelpButton->SetLatched(HelpPanel->isVisible());
    if (const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move((screen->geometry().width() - width()) / 2, y());
    ui::SetRoundWindowRegion(this, 3);
}

// Every topic that names an HTML page must name one that exists.
void TFormMain::HelpTopicsTest()
{
    std::string report;
    for (const QString& topic : HelpTopics) {
        const QString line = WithAppDir(topic);
        if (!line.endsWith(".html"))
            continue;
        if (!QFileInfo(line).isFile())
            throw std::runtime_error("Test failed:" + line.toStdString());
        report += line.toStdString() + "\r\n";
    }
    ui::ShowMessage("Help Test passed:" + report);
}
