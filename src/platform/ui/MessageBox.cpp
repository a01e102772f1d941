#include "platform/ui/MessageBox.h"

#include "platform/ui/FittedText.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QScreen>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <mutex>
#include <optional>

namespace ui {
namespace {

struct RecorderState {
    std::mutex lock;
    bool active = false;
    std::vector<RecordedMessage> messages;
    std::deque<MsgResult> answers;
    std::vector<RecordedInput> inputs;
    std::deque<std::optional<std::string>> inputAnswers;
};

RecorderState& Recorder()
{
    static RecorderState state;
    return state;
}

MsgResult DefaultAnswer(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok: return MsgResult::Ok;
    case MsgButtons::OkCancel: return MsgResult::Cancel;
    case MsgButtons::YesNo: return MsgResult::No;
    case MsgButtons::YesNoCancel: return MsgResult::Cancel;
    }
    return MsgResult::Ok;
}

bool OnUiThread()
{
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

QMessageBox::StandardButtons QtButtons(MsgButtons buttons)
{
    switch (buttons) {
    case MsgButtons::Ok: return QMessageBox::Ok;
    case MsgButtons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case MsgButtons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon QtIcon(MsgIcon icon)
{
    switch (icon) {
    case MsgIcon::None: return QMessageBox::NoIcon;
    case MsgIcon::Information: return QMessageBox::Information;
    case MsgIcon::Warning: return QMessageBox::Warning;
    case MsgIcon::Error: return QMessageBox::Critical;
    case MsgIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MsgResult FromQt(int button)
{
    switch (button) {
    case QMessageBox::Yes: return MsgResult::Yes;
    case QMessageBox::No: return MsgResult::No;
    case QMessageBox::Cancel: return MsgResult::Cancel;
    default: return MsgResult::Ok;
    }
}

// Message texts use "\r\n" line breaks; Qt wants "\n".
QString DisplayText(const std::string& text)
{
    return QString::fromStdString(text).replace("\r\n", "\n");
}

MsgResult ShowModal(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return DefaultAnswer(buttons);
    }
    QMessageBox box(QtIcon(icon), QString::fromStdString(caption), DisplayText(text), QtButtons(buttons));
    return FromQt(box.exec());
}

// With a recorder installed, records the message and gives its answer; otherwise nothing.
std::optional<MsgResult> Record(const RecordedMessage& message)
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    if (!rec.active)
        return std::nullopt;
    rec.messages.push_back(message);
    if (!message.fromUiThread || rec.answers.empty())
        return DefaultAnswer(message.buttons);
    MsgResult answer = rec.answers.front();
    rec.answers.pop_front();
    return answer;
}

// With a recorder installed and an answer queued, records the input and gives the answer;
// otherwise nothing (the real dialog runs).
std::optional<std::optional<std::string>> RecordInput(const RecordedInput& input)
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    if (!rec.active || rec.inputAnswers.empty())
        return std::nullopt;
    rec.inputs.push_back(input);
    std::optional<std::string> answer = rec.inputAnswers.front();
    rec.inputAnswers.pop_front();
    return answer;
}

// Qt wants "Caption (*.ext)" filters; ours are "Caption|*.ext" pairs.
QString QtFilter(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
    return filters.join(";;");
}

// A file name with a folder of its own opens there; a bare name (or none) in the initial folder.
QString StartPath(const FileDialogSpec& spec)
{
    const QString name = QString::fromStdString(spec.fileName);
    if (spec.initialFolder.empty() || name.contains('/'))
        return name;
    return QString::fromStdString(spec.initialFolder) + "/" + name;
}

} // namespace

std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt, const std::string& text)
{
    if (auto answer = RecordInput({caption, prompt, text, {}}))
        return *answer;
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(QString::fromStdString(caption));
    dialog.setLabelText(QString::fromStdString(prompt));
    dialog.setTextValue(QString::fromStdString(text));
    const QScreen* screen = dialog.screen();
    const int widest = screen ? screen->availableGeometry().width() : QWIDGETSIZE_MAX;
    const QSize natural = dialog.sizeHint();
    dialog.resize(std::max(natural.width(), std::min(WholeTitleWidth(dialog.windowTitle()), widest)), natural.height());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue().toStdString();
}

std::optional<std::string> ChooseFile(QWidget* parent, const FileDialogSpec& spec)
{
    if (auto answer = RecordInput({"File", spec.filter, spec.fileName, spec.initialFolder}))
        return *answer;
    QFileDialog dialog(parent, QString(), StartPath(spec), QtFilter(spec.filter));
    dialog.setDefaultSuffix(QString::fromStdString(spec.defaultExt));
    dialog.setAcceptMode(spec.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.confirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().front().toStdString();
}

MsgResult ShowMessageBox(const std::string& text, const std::string& caption, MsgButtons buttons, MsgIcon icon)
{
    const bool uiThread = OnUiThread();
    if (std::optional<MsgResult> answer = Record({text, caption, buttons, icon, uiThread}))
        return *answer;
    if (uiThread)
        return ShowModal(text, caption, buttons, icon);
    if (QCoreApplication* app = QCoreApplication::instance()) {
        // A recorder installed before the queued message arrives takes it, so a test never
        // meets a real box.
        QMetaObject::invokeMethod(app, [=] {
            if (!Record({text, caption, buttons, icon, false}))
                ShowModal(text, caption, buttons, icon);
        }, Qt::QueuedConnection);
    } else {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    return DefaultAnswer(buttons);
}

void ShowMessage(const std::string& text)
{
    ShowMessageBox(text, "Sonorel", MsgButtons::Ok, MsgIcon::Information);
}

bool AskYesNo(const std::string& text, const std::string& caption)
{
    return ShowMessageBox(text, caption, MsgButtons::YesNo, MsgIcon::Question) == MsgResult::Yes;
}

void InstallMessageSinks()
{
    SetUserMessageSink(ShowMessage);
    SetBreatheHook([] {
        if (QCoreApplication::instance())
            QCoreApplication::processEvents();
    });
}

MessageRecorder::MessageRecorder() : previousSink_(SetUserMessageSink(ShowMessage))
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    rec.active = true;
    rec.messages.clear();
    rec.answers.clear();
    rec.inputs.clear();
    rec.inputAnswers.clear();
}

MessageRecorder::~MessageRecorder()
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    rec.active = false;
    SetUserMessageSink(std::move(previousSink_));
}

void MessageRecorder::QueueAnswer(MsgResult answer)
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    rec.answers.push_back(answer);
}

void MessageRecorder::QueueInput(std::optional<std::string> answer)
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    rec.inputAnswers.push_back(std::move(answer));
}

std::vector<RecordedInput> MessageRecorder::Inputs() const
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    return rec.inputs;
}

std::vector<RecordedMessage> MessageRecorder::Messages() const
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    return rec.messages;
}

std::vector<std::string> MessageRecorder::Texts() const
{
    std::vector<std::string> texts;
    for (const RecordedMessage& m : Messages())
        texts.push_back(m.text);
    return texts;
}

void MessageRecorder::Clear()
{
    RecorderState& rec = Recorder();
    std::lock_guard<std::mutex> lock(rec.lock);
    rec.messages.clear();
}

} // namespace ui
