#pragma once

#include <QObject>
#include <QTimer>

namespace lumora::runtime {

// The classic timer control: an interval of 0 never fires, a negative one is refused with a
// run-time error, and it fires while enabled.
class Timer final : public QObject {
    Q_OBJECT
public:
    explicit Timer(QObject *parent = nullptr);

    int Interval() const { return m_interval; }
    void setInterval(int milliseconds);
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

signals:
    // The Timer event.
    void fired();

private:
    void update();

    QTimer m_timer;
    int m_interval = 0;
    bool m_enabled = true;
};

} // namespace lumora::runtime
