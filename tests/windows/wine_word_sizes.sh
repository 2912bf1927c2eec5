# Sourced by the tests that run the Windows builds under Wine: sets `wine_presets` to the
# presets whose word size the installed Wine runs (win32 needs Debian's wine32, win64 its
# wine64) and says which part is skipped and why.
wine_presets=()
if [ -x /usr/lib/wine/wine ] || [ -x /usr/lib/i386-linux-gnu/wine/wine ]; then
    wine_presets+=(win32)
else
    echo "skipped: wine32 could not be installed (scripts/install-deps.sh wine);" \
         "the 32-bit build was not run under Wine."
fi
if [ -x /usr/lib/wine/wine64 ] || [ -x /usr/lib/x86_64-linux-gnu/wine/wine64 ]; then
    wine_presets+=(win64)
else
    echo "skipped: wine64 could not be installed (scripts/install-deps.sh wine);" \
         "the 64-bit build was not run under Wine."
fi
