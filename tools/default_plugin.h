#pragma once
// Where trob finds the plug-in when no --plugin names one.

#include <string>

namespace trob {

// The plug-in beside this program: the build's when trob runs in the build tree, the
// installed one when it runs from <prefix>/bin. Empty, with `error` naming every file looked
// for, when none of them exists.
std::string defaultPlugin(std::string& error);

} // namespace trob
