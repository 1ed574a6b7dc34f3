#pragma once

namespace tarvoni {

class AdEngine;

// The panes' web-engine module, loaded on the first call and kept for the life of the
// process: from beside the executable (the build tree), else from the installed module
// directory reached from the executable (so a relocated installation finds it), else from
// the directory it was installed to. Null, said once on stderr, when none of them loads.
AdEngine *adEngine();

} // namespace tarvoni
