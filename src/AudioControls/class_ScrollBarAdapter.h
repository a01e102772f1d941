#pragma once

#include <functional>

#include <QMetaObject>
#include <QPointer>
#include <QScrollBar>

// A QScrollBar seen with the class library's numbers: Max includes the page, so the highest
// position is Max - PageSize + 1, while QScrollBar's maximum is the highest position itself.
// OnChange fires when the bar's position changes (by the user or by code), unless detached.
// QScrollBar has one page step for the handle's size and for a click in the trough; here the
// handle shows PageSize and a trough click moves by LargeChange, as the class library's bar does.
class TScrollBarAdapter {
public:
    explicit TScrollBarAdapter(QScrollBar* bar);
    ~TScrollBarAdapter();
    TScrollBarAdapter(const TScrollBarAdapter&) = delete;
    TScrollBarAdapter& operator=(const TScrollBarAdapter&) = delete;

    QScrollBar* Bar() const { return bar; }

    int Min() const { return min; }
    int Max() const { return max; }
    int PageSize() const { return pageSize; }
    int Position() const;
    int SmallChange() const;
    int LargeChange() const { return largeChange; }

    void SetMin(int value);
    void SetMax(int value);
    void SetPageSize(int value);
    void SetPosition(int value);
    void SetSmallChange(int value);
    void SetLargeChange(int value);

    std::function<void()> OnChange;

private:
    void ApplyRange();

    QPointer<QScrollBar> bar;
    QMetaObject::Connection valueConnection;
    QMetaObject::Connection actionConnection;
    int min = 0;
    int max = 100;
    int pageSize = 0;
    int largeChange = 1;
};
