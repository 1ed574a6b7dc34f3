#pragma once

#include <QString>
#include <QStringView>

namespace tarvoni {

// Resource paths of the window's pictures, embedded by the tarvoni_assets library.
inline constexpr char16_t kBackgroundPicture[] = u":/assets/background.jpg";
inline constexpr char16_t kWindowIcon[] = u":/assets/icon.ico";
inline constexpr char16_t kBannerPicture[] = u":/assets/banner.gif";
inline constexpr char16_t kInformationPanelPicture[] = u":/assets/panel.gif";

// The resource path of a station's logo, by the file the station's catalogue row names
// ("sirasa.gif" gives ":/assets/logos/sirasa.gif").
QString logoPicturePath(QStringView logoFile);

} // namespace tarvoni
