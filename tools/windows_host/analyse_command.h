#pragma once
// `trob_windows analyse`: runs the demo signal or a WAV file through TROBEdit.dll as
// `trob analyse` does and prints the final meter values in the same JSON form.

int runAnalyseCommand(int argc, char** argv);
