#pragma once

#include <QString>
#include <QStringView>

namespace tarvoni {

// Resource paths of the window's pictures, embedded by the tarvoni_assets library.
inline constexpr char16_t kBackgroundPicture[] = u":/assets/background.jpg";
inline constexpr char16_t kWindowIcon[] = u":/assets/icon.ico";
inline constexpr char16_t kBannerPicture[] = u":/assets/banner.gif";
inline constexpr char16_t kInformationPanelPicture[] = u":/assets/panel.gif";

// The logo of a station button, by the button's control name ("sirasa" gives
// ":/assets/logos/sirasa.gif"; "tns" and "comservice" share logo_a.jpg, the four lb* channels
// share logo_b.gif). An empty string for a name that is not a station button.
QString stationLogoPath(QStringView controlName);

} // namespace tarvoni
