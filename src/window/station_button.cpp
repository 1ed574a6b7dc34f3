#include "station_button.h"

#include <QPainter>
#include <QStyleOptionButton>

namespace tarvoni {

namespace {

constexpr int kCaptionMargin = 3;
constexpr int kLogoToCaption = 2;

} // namespace

StationButton::StationButton(const QString &controlName, const QString &caption, const QPixmap &logo,
                             QWidget *parent)
    : QAbstractButton(parent)
    , m_logo(logo)
{
    setObjectName(controlName);
    setText(caption);
    setFocusPolicy(Qt::StrongFocus);
    QPalette face = palette();
    face.setColor(QPalette::Button, Qt::white);
    face.setColor(QPalette::Window, Qt::white);
    face.setColor(QPalette::ButtonText, Qt::black);
    setPalette(face);
}

void StationButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionButton option;
    option.initFrom(this);
    option.features = QStyleOptionButton::None;
    if (isDown())
        option.state |= QStyle::State_Sunken;
    else
        option.state |= QStyle::State_Raised;
    painter.fillRect(rect(), Qt::white);
    style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &option, &painter, this);

    // Logo and caption form one block, centred in the face; a pressed button shifts it by a
    // pixel. A logo too tall to leave room for the caption is drawn smaller, never clipped.
    const int shift = isDown() ? 1 : 0;
    const QRect inner = rect().adjusted(kCaptionMargin, kCaptionMargin, -kCaptionMargin, -kCaptionMargin);
    const int textFlags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap;
    const int captionHeight = text().isEmpty()
        ? 0
        : kLogoToCaption + fontMetrics().boundingRect(inner, textFlags, text()).height();
    QSize logoSize = m_logo.deviceIndependentSize().toSize();
    if (logoSize.height() > inner.height() - captionHeight)
        logoSize = logoSize.scaled(inner.width(), std::max(1, inner.height() - captionHeight),
                                   Qt::KeepAspectRatio);
    const int blockHeight = logoSize.height() + captionHeight;
    int top = inner.top() + std::max(0, (inner.height() - blockHeight) / 2);

    if (!m_logo.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(
            QRect(QPoint(inner.left() + (inner.width() - logoSize.width()) / 2 + shift, top + shift),
                  logoSize),
            m_logo);
        top += logoSize.height() + kLogoToCaption;
    }
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    painter.drawText(QRect(inner.left() + shift, top + shift, inner.width(), inner.bottom() - top + 1),
                     textFlags, text());

    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(4, 4, -4, -4);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
    }
}

} // namespace tarvoni
