#pragma once

#include "platform/trace/Trace.h"

#include <QWidget>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

class QPlainTextEdit;
class QToolButton;

// The always-on-top trace log. Hidden unless a switch asks for it ("trace", "debug", "traceup",
// "debugmax"; "traceheight" sets its height, "noclearlog" keeps every line). It receives the lines
// of `trace` from any thread and shows them on the UI thread in the order they were traced.
class TFormTrace : public QWidget, public TraceTarget {
    Q_OBJECT
public:
    explicit TFormTrace(QWidget* parent = nullptr);
    ~TFormTrace() override;

    QPlainTextEdit* Memo1;
    QToolButton* PauseButton; // toggle: while down, new lines are dropped

    // TraceTarget: called by `trace` under its lock, from any thread; never blocks on the UI.
    void ClearLines() override;
    void AppendLine(const std::string& line) override;
    bool Paused() const override;
    bool ClearLogEnabled() const override;

private:
    void ApplySwitches();
    void PostFlush();          // caller holds pendingLock_
    void FlushPendingLines();  // UI thread

    std::atomic<bool> clearLog_{true};
    std::atomic<bool> paused_{false};

    std::mutex pendingLock_;
    bool clearPending_ = false;
    std::vector<std::string> pendingLines_; // after the pending clear, if any
    bool flushPosted_ = false;
};
