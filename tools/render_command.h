#pragma once
// `trob render [FILE]`: the editor's window while FILE (or the demo) plays, as PNG pictures
// or an animated PNG.

// argv[1] is "render"; returns the exit status.
int renderCommand(int argc, char** argv);
