#include "windows/form_Trace.h"

#include "model/class_Switches.h"

#include <QPlainTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

TFormTrace::TFormTrace(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint)
{
    setWindowTitle("Trace Log (Debug Info)");
    move(145, 3);
    resize(879, 138);

    PauseButton = new QToolButton(this);
    PauseButton->setText("Pause");
    PauseButton->setCheckable(true);
    PauseButton->setAutoRaise(true);
    connect(PauseButton, &QToolButton::toggled, this, [this](bool down) { paused_ = down; });

    Memo1 = new QPlainTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font("Courier New", 8);
    font.setStyleHint(QFont::TypeWriter);
    Memo1->setFont(font);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(PauseButton, 0, Qt::AlignLeft);
    layout->addWidget(Memo1, 1);

    ApplySwitches();
    SetTraceTarget(this);

    // The sound thread's lines wait in the trace ring until a thread that may block takes them.
    auto* drain = new QTimer(this);
    connect(drain, &QTimer::timeout, this, [] { DrainTraceRing(); });
    drain->start(100);
}

TFormTrace::~TFormTrace()
{
    DetachTraceTarget(this); // after this no thread is inside our TraceTarget calls
}

void TFormTrace::ApplySwitches()
{
    clearLog_ = !IsSwitch("noclearlog");
    if (IsSwitch("trace") || IsSwitch("debug"))
        setVisible(true);
    if (IsSwitch("traceheight")) {
        // A missing or non-positive height would leave a window nobody can see or grab.
        const int height = SwitchInt("traceheight", 0);
        if (height > 0)
            resize(width(), height);
    }
    if (IsSwitch("traceup")) {
        setVisible(true);
        move(0, 0);
    }
    if (IsSwitch("debugmax"))
        showMaximized();
}

void TFormTrace::ClearLines()
{
    std::lock_guard<std::mutex> lock(pendingLock_);
    clearPending_ = true;
    pendingLines_.clear(); // lines not shown yet would be cleared with the rest
    PostFlush();
}

void TFormTrace::AppendLine(const std::string& line)
{
    std::lock_guard<std::mutex> lock(pendingLock_);
    pendingLines_.push_back(line);
    PostFlush();
}

bool TFormTrace::Paused() const
{
    return paused_;
}

bool TFormTrace::ClearLogEnabled() const
{
    return clearLog_;
}

// Always queued, also on the UI thread: `trace` holds its lock while calling us, and a line traced
// from the UI thread must not overtake lines the sound thread queued before it.
void TFormTrace::PostFlush()
{
    if (flushPosted_)
        return;
    flushPosted_ = true;
    QMetaObject::invokeMethod(this, &TFormTrace::FlushPendingLines, Qt::QueuedConnection);
}

void TFormTrace::FlushPendingLines()
{
    bool clear = false;
    std::vector<std::string> lines;
    {
        std::lock_guard<std::mutex> lock(pendingLock_);
        clear = clearPending_;
        clearPending_ = false;
        lines.swap(pendingLines_);
        flushPosted_ = false;
    }
    if (clear)
        Memo1->clear();
    for (const std::string& line : lines)
        Memo1->appendPlainText(QString::fromStdString(line));
}
