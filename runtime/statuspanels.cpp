#include "runtime/statuspanels.h"

#include "base/runtimeerror.h"

#include <QHBoxLayout>

namespace lumora::runtime {

StatusPanels::StatusPanels(QStatusBar &bar, const std::vector<int> &widthsTwips, TwipScale scale)
    : m_bar(bar)
{
    for (const int twips : widthsTwips) {
        auto *panel = new QWidget(&bar);
        auto *layout = new QHBoxLayout(panel);
        layout->setContentsMargins(2, 0, 2, 0);
        layout->setSpacing(3);
        auto *picture = new QLabel(panel);
        picture->hide();
        auto *label = new QLabel(panel);
        layout->addWidget(picture);
        layout->addWidget(label, 1);
        panel->setFixedWidth(scale.toPixels(twips));
        bar.addWidget(panel);
        m_panels.push_back(label);
        m_pictures.push_back(picture);
    }
}

QLabel &StatusPanels::at(int panel) const
{
    if (panel < 1 || panel > count())
        throw RuntimeError(errors::InvalidProcedureCall, QStringLiteral("Index out of bounds"));
    return *m_panels[static_cast<size_t>(panel - 1)];
}

QString StatusPanels::text(int panel) const
{
    return at(panel).text();
}
void StatusPanels::setText(int panel, const QString &text)
{
    at(panel).setText(text);
}
QLabel *StatusPanels::label(int panel) const
{
    return &at(panel);
}

void StatusPanels::setPicture(int panel, const QPixmap &picture, const QString &name)
{
    at(panel);
    QLabel *holder = m_pictures[static_cast<size_t>(panel - 1)];
    holder->setPixmap(picture);
    holder->setAccessibleName(name);
    holder->setVisible(!picture.isNull());
}

void StatusPanels::Refresh()
{
    m_bar.repaint();
}

} // namespace lumora::runtime
