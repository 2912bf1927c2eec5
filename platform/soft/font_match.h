#pragma once
// The font file fontconfig finds for a family at a weight and slant, shared by the soft home's
// text and by the tools that draw labels of their own.

#include <string>

namespace platform::soft {

struct FontMatch {
    std::string path;
    int index = 0; // face within the file
    bool bold = false;
    bool italic = false; // what the matched face itself is
};

// The scalable face for `family`; false when fontconfig cannot start or offers none.
bool matchFont(const char* family, bool bold, bool italic, FontMatch& match);

// Hands fontconfig's configuration back. Only for a program that owns its process, at its
// exit: the plug-in shares fontconfig with its host and must never call it.
void releaseFontconfig();

} // namespace platform::soft
