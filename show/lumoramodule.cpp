#include "show/lumoramodule.h"

#include "runtime/twips.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QScrollBar>
#include <cmath>

namespace lumora::show {

std::optional<short> intervalMilliseconds(const QString &text, const QLocale &locale)
{
    bool ok = false;
    const double seconds = locale.toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(seconds))
        return std::nullopt;
    const double milliseconds = std::nearbyint(seconds * 1000.0);
    if (milliseconds < 1 || milliseconds > 32767)
        return std::nullopt;
    return static_cast<short>(milliseconds);
}

ListBox::ListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setTextElideMode(Qt::ElideNone);
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemClicked, this, &ListBox::Click);
    connect(this, &QListWidget::itemDoubleClicked, this, &ListBox::DblClick);
}

void ListBox::setHorizontalExtent(int pixels)
{
    m_extent = std::max(0, pixels);
    updateGeometries();
}

int ListBox::ListIndex() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

void ListBox::setListIndex(int index)
{
    if (index < 0 || index >= count()) {
        clearSelection();
        return;
    }
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
}

void ListBox::RemoveItem(int index)
{
    delete takeItem(index);
    // The entry that moved into the removed one's place is not selected.
    clearSelection();
}

QString ListBox::List(int index) const
{
    const QListWidgetItem *entry = item(index);
    return entry ? entry->text() : QString();
}

void ListBox::updateGeometries()
{
    QListWidget::updateGeometries();
    // The entries do not widen the list; only the extent the program set does.
    horizontalScrollBar()->setRange(0, std::max(0, m_extent - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

void ListBox::keyPressEvent(QKeyEvent *event)
{
    const int before = ListIndex();
    QListWidget::keyPressEvent(event);
    if (ListIndex() != before && ListIndex() != -1)
        emit Click();
}

void SetHorizontalExtent(QWidget &form, ListBox &list, const QString &text)
{
    const int width = QFontMetrics(form.font()).horizontalAdvance(text);
    list.setHorizontalExtent(runtime::roundHalfEven16(width));
}

} // namespace lumora::show
