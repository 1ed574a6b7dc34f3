#pragma once

#include "status_to_say.h"

#include <QWidget>

namespace tarvoni {

// Has a screen reader say the player's new status at once, wherever the keyboard focus is.
// Neither Qt 6.4 nor AT-SPI 2.46 has an announcement of its own, and a screen reader does not
// say the new text of a label or status bar away from the focus; what it does say unasked is a
// notification as it appears. So this is a notification that is never drawn: each status worth
// saying becomes its name, and it is shown to assistive technology.
class StatusAnnouncer : public QWidget {
    Q_OBJECT

public:
    explicit StatusAnnouncer(QWidget *parent);

    void announce(const QString &status);

private:
    StatusToSay m_toSay;
};

} // namespace tarvoni
