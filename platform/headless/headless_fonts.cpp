// The programs of the headless home (the tests, trob) own their process, unlike the plug-in
// in a host's: at their exit they hand fontconfig back, so that leak checkers see nothing of
// it left.
#include "platform/soft/font_match.h"

namespace {

struct FontconfigAtExit {
    ~FontconfigAtExit() { platform::soft::releaseFontconfig(); }
} fontconfigAtExit;

} // namespace
