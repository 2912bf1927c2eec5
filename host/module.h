#pragma once
// Process-wide state of the effect library.

// Set when an effect could not create its editor; `main` then refuses the effect. Never cleared.
extern bool editorCreationFailed;
