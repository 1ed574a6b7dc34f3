#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace tarvoni {

// A station's button: a white face with the station's logo centred above its caption.
class StationButton : public QAbstractButton {
    Q_OBJECT

public:
    StationButton(const QString &controlName, const QString &caption, const QPixmap &logo, QWidget *parent);

    const QPixmap &logo() const { return m_logo; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_logo;
};

} // namespace tarvoni
