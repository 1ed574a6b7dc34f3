#pragma once

// The one function the web-engine part of the ad panes exports. It is looked up by name
// after the library has been loaded at run time, so the program itself never links the
// web engine.

class QUrl;
class QWidget;

namespace tarvoni {

// Covers `pane` with a web view that loads `pageUrl`; the view shows itself only while it
// holds a page that loaded.
using AttachAdViewFunction = void (*)(QWidget *pane, const QUrl *pageUrl);

inline constexpr char attachAdViewSymbol[] = "tarvoni_attach_ad_view";
inline constexpr char adEngineLibraryName[] = "tarvoni_ad_panes_engine";

} // namespace tarvoni
