#include "ad_pane.h"

#include "ad_engine.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QUrl>

namespace tarvoni {

namespace {

// The colours of the information panel, so an empty pane reads as part of the window.
const QColor panelColour(40, 70, 140);
const QColor frameColour(92, 124, 190);
const QColor wordColour(118, 146, 200);

// To a screen reader each pane is a panel named "Advertisement" around the ad page, so that
// its review mode tells the ads from the player; as the plain widget Qt sees, the pane would be
// filler, which a screen reader passes over.
QAccessibleInterface *adPanePanel(const QString &className, QObject *object)
{
    if (className != QLatin1String(AdPane::staticMetaObject.className()))
        return nullptr;
    return new QAccessibleWidget(static_cast<AdPane *>(object), QAccessible::Pane);
}

} // namespace

AdPane::AdPane(const QString &name, const QRect &geometry, const QUrl &pageUrl, QWidget *parent)
    : QWidget(parent)
    , m_pageUrl(pageUrl)
{
    static const bool described = [] {
        QAccessible::installFactory(adPanePanel);
        return true;
    }();
    Q_UNUSED(described);
    setObjectName(name);
    setAccessibleName(QStringLiteral("Advertisement"));
    setGeometry(geometry);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void AdPane::attachView(AdEngine &engine)
{
    // The view is the pane's child and stops reporting before it goes.
    engine.attachView(this, m_pageUrl, [this](bool showsPage) { emit loadEnded(showsPage); });
}

void AdPane::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), panelColour);
    painter.setPen(frameColour);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));

    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(9);
    painter.setFont(font);
    painter.setPen(wordColour);
    // Wraps to two lines in the narrow pane.
    painter.drawText(rect().adjusted(3, 3, -3, -3), Qt::AlignCenter | Qt::TextWordWrap,
                     QStringLiteral("Tarvoni Radio"));
}

} // namespace tarvoni
