// Tells other clients that Tilewise is up: a root-window property holding
// its process id, set once every hot key is grabbed and removed at exit.
// Scripts and tests wait for its PropertyNotify instead of guessing.
#pragma once

namespace tilewise {

class X11Connection;

inline constexpr const char* runningPropertyName = "_TILEWISE_RUNNING";

void announceRunning(X11Connection& x);
void withdrawRunning(X11Connection& x);

} // namespace tilewise
