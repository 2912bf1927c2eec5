#pragma once
// `trob view [FILE]`: the plug-in's editor in a window of its own, as a host shows it, with
// FILE (or the demo, or the capture device) running through the plug-in in real time.

// argv[1] is "view"; returns the exit status.
int viewCommand(int argc, char** argv);
