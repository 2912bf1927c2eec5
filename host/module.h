#pragma once
// Process-wide state of the plug-in library.

// The library's module handle, recorded by the load hook; the toolkit loads its bitmaps and
// registers its window class with it.
extern void* moduleInstance;

// Set when an effect could not create its editor; `main` then refuses the effect. Never cleared.
extern bool editorCreationFailed;
