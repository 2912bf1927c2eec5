// How much the X11 home enlarges its windows: `TROB_SCALE` when it is set, else GDK_SCALE (the
// factor the desktop's GTK programs use), else the Xft.dpi resource against 96 dots per inch,
// rounded; always a whole number from 1 to 4.
#include "platform/window_scale.h"
#include "platform/x11/x11_home.h"

#include <X11/Xresource.h>

#include <cstdlib>

namespace platform::x11 {

namespace {

// A whole number from the environment, held to 1..4; 0 when unset or not a number.
int fromEnvironment(const char* name) {
    return scaleFromText(std::getenv(name));
}

// Xft.dpi as a number of dots per inch; 0 when the server's resources have none. Read without
// the C library's number parsing, which follows the host's locale.
double resourceDpi(Display* display) {
    const char* resources = XResourceManagerString(display);
    if (!resources) return 0.0;
    XrmDatabase database = XrmGetStringDatabase(resources);
    if (!database) return 0.0;
    char* type = nullptr;
    XrmValue value{};
    double dpi = 0.0;
    if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
        const char* p = value.addr;
        while (*p == ' ' || *p == '\t')
            ++p;
        for (; *p >= '0' && *p <= '9' && dpi < 1e6; ++p)
            dpi = dpi * 10.0 + (*p - '0');
        if (*p == '.')
            for (double unit = 0.1; *++p >= '0' && *p <= '9'; unit /= 10.0)
                dpi += (*p - '0') * unit;
    }
    XrmDestroyDatabase(database);
    return dpi;
}

} // namespace

int chooseScale(Display* display) {
    if (const int chosen = fromEnvironment("TROB_SCALE")) return chosen;
    if (const int desktop = fromEnvironment("GDK_SCALE")) return desktop;
    return display ? scaleFromDpi(resourceDpi(display)) : 1;
}

} // namespace platform::x11
