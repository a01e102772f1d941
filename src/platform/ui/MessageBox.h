#pragma once

#include "platform/trace/UserMessage.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace ui {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgResult { Ok, Cancel, Yes, No };

// Shows a modal message box on the UI thread and returns the answer. Called from any other thread
// (the sound thread, a loader) the message is queued to the UI thread and the caller returns at
// once with the default answer (Ok, or Cancel/No where those exist): no thread ever waits on a person.
MsgResult ShowMessageBox(const std::string& text, const std::string& caption = "Sonorel",
                         MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::None);

// The plain message of most failures: an information box with an OK button.
void ShowMessage(const std::string& text);

// A yes/no question; true for Yes. Off the UI thread it answers No without waiting.
bool AskYesNo(const std::string& text, const std::string& caption = "Sonorel");

// An input box: the caption, the prompt above one line of text that starts as `text`. The entered
// text, or nothing when the user cancels.
std::optional<std::string> InputBox(const std::string& caption, const std::string& prompt, const std::string& text);

// A file dialog. Filters are "Caption|*.a;*.b" pairs separated by "|".
struct FileDialogSpec {
    bool save = false;
    std::string filter;
    std::string defaultExt;
    std::string fileName;          // shown first (a folder ending in "/" opens that folder)
    bool confirmOverwrite = true;  // a save dialog asks before it picks an existing file
    std::string initialFolder;     // where a file name without a folder of its own opens
};
// Runs the dialog modally: the chosen path, or nothing on Cancel.
std::optional<std::string> ChooseFile(QWidget* parent, const FileDialogSpec& spec);

// Routes the user messages of the layers without a window system (engine, sound layer) to
// ShowMessage and lets their long work process pending events. The application calls it once.
void InstallMessageSinks();

struct RecordedMessage {
    std::string text;
    std::string caption;
    MsgButtons buttons;
    MsgIcon icon;
    bool fromUiThread;
};

// An input box or file dialog the recorder answered: file dialogs have the caption "File", their
// filter as prompt and their initial folder as folder.
struct RecordedInput {
    std::string caption;
    std::string prompt;
    std::string text;
    std::string folder;
};

// Tests install a recorder: while it lives, no box is shown; every message (from any thread, and
// from the layers without a window system) is recorded, and questions are answered from the
// queue of answers (then by the default answer). Input boxes and file dialogs take their answers
// from a second queue; with none queued the real dialog runs (a test that drives it itself).
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void QueueAnswer(MsgResult answer);
    void QueueInput(std::optional<std::string> answer); // nothing: Cancel
    std::vector<RecordedInput> Inputs() const;
    std::vector<RecordedMessage> Messages() const;
    std::vector<std::string> Texts() const;
    void Clear();

private:
    UserMessageSink previousSink_;
};

} // namespace ui
