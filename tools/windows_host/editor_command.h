#pragma once

// `trob_windows editor ...`: argv[0] is the program, then the subcommand's options.
int runEditorCommand(int argc, char** argv);
