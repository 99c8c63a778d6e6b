#pragma once

#include <QListWidget>
#include <QLocale>
#include <QStringList>
#include <optional>

class QWidget;

namespace lumora::show {

// The show settings: written by BEGIN in the set-up dialog, read by the player. The show's
// commands keep the one object for as long as the main window lives; the dialog and the
// player are handed it.
struct ShowSettings {
    QStringList ShowFiles;  // full paths in show order
    short ShowAuto = 0;     // 1: a timer steps the show
    short ShowInterval = 0; // milliseconds between timed steps
    short ShowLoop = 0;     // 1: start again at the first picture after the last
};

// The most pictures a show holds: its position is a 16-bit number that must be able to step
// one past the last picture.
inline constexpr int kMaxShowFiles = 32767;

// The interval typed in seconds (in the user's locale) as whole milliseconds, halves to even;
// nothing for a text that is not a number or an interval outside 1 ms to 32.767 s, which the
// show's 16-bit timer setting cannot hold or would never fire with.
std::optional<short> intervalMilliseconds(const QString &text, const QLocale &locale);

// A list box whose horizontal scroll range is set by the program, not by its entries: it can
// be scrolled sideways over `horizontalExtent` pixels and shows a scroll bar when that exceeds
// its width.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

    int horizontalExtent() const { return m_extent; }
    void setHorizontalExtent(int pixels);

    // The selected entry, or -1 when none is selected.
    int ListIndex() const;
    void setListIndex(int index);
    void AddItem(const QString &text) { addItem(text); }
    void RemoveItem(int index);
    int ListCount() const { return count(); }
    QString List(int index) const;

signals:
    // The user selected an entry, by mouse or keyboard.
    void Click();
    void DblClick();

protected:
    void updateGeometries() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_extent = 0;
};

// Gives `list` a horizontal scroll range as wide as `text` is in the font of `form`.
void SetHorizontalExtent(QWidget &form, ListBox &list, const QString &text);

} // namespace lumora::show
